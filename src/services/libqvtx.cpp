#include "libqvtx.h"

#include "archivo_ini.h"

#include <QChar>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QMutex>
#include <QObject>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcIni, "vendaro.ini")

namespace {
// Read-modify-write of a file must not interleave between threads.
QMutex g_mutexIni;

// Each file as last read, parsed once: the settings are read key by key, and a hand-edited file
// may be large. A file changed on disk (another size or modification time) is read again.
struct Leido {
    QDateTime modificado;
    qint64 tamano = -1;
    bool legible = true;
    QString error;
    ArchivoIni ini;
};
QHash<QString, Leido> g_leidos;

Leido& leido(const QString& ruta) {
    const QFileInfo info(ruta);
    const QDateTime modificado = info.exists() ? info.lastModified() : QDateTime();
    const qint64 tamano = info.exists() ? info.size() : -1;
    auto it = g_leidos.find(ruta);
    if (it != g_leidos.end() && it->modificado == modificado && it->tamano == tamano)
        return *it;
    Leido l;
    l.modificado = modificado;
    l.tamano = tamano;
    l.legible = l.ini.cargar(ruta, &l.error);
    if (!l.legible)
        qCWarning(lcIni).noquote() << "No se pudo leer" << ruta << ":" << l.error;
    else if (!l.ini.problema().isEmpty())
        qCCritical(lcIni).noquote()
            << "El archivo" << ruta << "no parece un archivo de configuración:" << l.ini.problema();
    for (const QString& aviso : l.ini.clavesRepetidas())
        qCWarning(lcIni).noquote() << ruta << ":" << aviso;
    return *g_leidos.insert(ruta, l);
}
} // namespace

QString libQVTX::LeeIni(const QString& seccion, const QString& clave,
                        const QString& rutaIni) const {
    QMutexLocker bloqueo(&g_mutexIni);
    const Leido& l = leido(rutaIni);
    return l.ini.problema().isEmpty() ? l.ini.valor(seccion, clave) : QString();
}

libQVTX::EstadoIni libQVTX::EstadoArchivo(const QString& rutaIni) const {
    QMutexLocker bloqueo(&g_mutexIni);
    const Leido& l = leido(rutaIni);
    EstadoIni estado;
    if (!l.legible)
        estado.problema = u"no se pudo leer: "_s + l.error;
    else if (!l.ini.problema().isEmpty())
        estado.problema = u"no parece un archivo de configuración ("_s + l.ini.problema() + u')';
    estado.sinSentido = l.ini.lineasSinSentido();
    estado.repetidas = l.ini.clavesRepetidas();
    return estado;
}

bool libQVTX::EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                         const QString& rutaIni) const {
    return EscribeIniVarios(seccion, {{clave, valor}}, rutaIni);
}

bool libQVTX::EscribeIniVarios(const QString& seccion,
                               const QList<std::pair<QString, QString>>& claves,
                               const QString& rutaIni, QString* error) const {
    QMutexLocker bloqueo(&g_mutexIni);
    Leido& l = leido(rutaIni);
    QString causa;
    if (!l.legible) {
        // Rewriting a file we could not read would lose its content.
        causa = u"no se pudo leer: "_s + l.error;
    } else {
        ArchivoIni ini = l.ini;
        for (const auto& [clave, valor] : claves)
            ini.fijar(seccion, clave, valor);
        if (ini.guardar(rutaIni, Permisos::SoloDueno, &causa)) {
            g_leidos.remove(rutaIni);
            return true;
        }
    }
    qCWarning(lcIni).noquote() << "No se pudo escribir" << rutaIni << ":" << causa;
    if (error)
        *error = u"No se pudo escribir el archivo de configuración "_s + rutaIni + u": "_s + causa;
    return false;
}

double libQVTX::qvVal(const QString& texto) {
    // Blanks anywhere are skipped, then the longest prefix of the form
    // [+-]digits[.digits][E[+-]digits] is taken.
    QString limpio;
    for (QChar c : texto)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            limpio += c;
    qsizetype i = 0;
    const qsizetype n = limpio.size();
    auto digitos = [&] {
        const qsizetype inicio = i;
        while (i < n && limpio[i].isDigit() && limpio[i].unicode() < 128)
            ++i;
        return i - inicio;
    };
    if (i < n && (limpio[i] == u'+' || limpio[i] == u'-'))
        ++i;
    const qsizetype enteros = digitos();
    qsizetype decimales = 0;
    if (i < n && limpio[i] == u'.') {
        ++i;
        decimales = digitos();
    }
    if (enteros + decimales == 0)
        return 0;
    qsizetype fin = i;
    if (i < n &&
        (limpio[i] == u'e' || limpio[i] == u'E' || limpio[i] == u'd' || limpio[i] == u'D')) {
        ++i;
        if (i < n && (limpio[i] == u'+' || limpio[i] == u'-'))
            ++i;
        if (digitos() > 0)
            fin = i;
    }
    QString numero = limpio.left(fin);
    numero.replace(u'd', u'e').replace(u'D', u'e');
    if (numero.endsWith(u'.'))
        numero.chop(1);
    bool ok = false;
    const double valor = numero.toDouble(&ok);
    return ok ? valor : 0;
}

AccionTecla libQVTX::Teclas(int& codigoTecla, int cambio) const {
    if (cambio != Cambio::Ninguno)
        return AccionTecla::Ninguna;
    if (codigoTecla == Tecla::Abajo) {
        codigoTecla = 0;
        return AccionTecla::Siguiente;
    }
    if (codigoTecla == Tecla::Arriba) {
        codigoTecla = 0;
        return AccionTecla::Anterior;
    }
    return AccionTecla::Ninguna;
}

AccionTecla libQVTX::Enter(int& codigoCaracter, const QString& clase) const {
    if (codigoCaracter == Tecla::Enter) {
        codigoCaracter = 0;
        return AccionTecla::Siguiente;
    }
    if (codigoCaracter < 32) // backspace and other control characters keep their meaning
        return AccionTecla::Ninguna;
    const char32_t c = char32_t(codigoCaracter);
    auto rechazar = [&] {
        codigoCaracter = 0;
        return AccionTecla::Rechazo;
    };
    if (clase == u"9"_s) {
        if (c < U'0' || c > U'9')
            return rechazar();
    } else if (clase == u"T"_s) {
        if (c != U'.' && (c < U'0' || c > U':'))
            return rechazar();
    } else if (clase == u"N"_s) {
        // Database and table names as typed: MySQL on Linux tells "MiTienda" from "mitienda".
        if (c == U'\\' || c == U'`')
            return rechazar();
    } else if (clase == u"¡"_s || clase == u"!"_s) {
        if (c == U'\\')
            return rechazar();
        if (c <= 0xFFFF) {
            const QChar q{char16_t(c)};
            codigoCaracter = (clase == u"¡"_s ? q.toLower() : q.toUpper()).unicode();
        }
    }
    return AccionTecla::Ninguna;
}

void libQVTX::Resalta(QObject* control) const {
    if (control)
        QMetaObject::invokeMethod(control, "selectAll");
}
