#include "libqvtx.h"

#include "archivo_ini.h"

#include <QChar>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QMutex>
#include <QObject>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcIni, "vendaro.ini")

namespace {
// Read-modify-write of a file must not interleave between threads.
QMutex g_mutexIni;
} // namespace

QString libQVTX::LeeIni(const QString& seccion, const QString& clave,
                        const QString& rutaIni) const {
    QMutexLocker bloqueo(&g_mutexIni);
    ArchivoIni ini;
    QString error;
    if (!ini.cargar(rutaIni, &error))
        qCWarning(lcIni).noquote() << "No se pudo leer" << rutaIni << ":" << error;
    return ini.valor(seccion, clave);
}

bool libQVTX::EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                         const QString& rutaIni) const {
    return EscribeIniVarios(seccion, {{clave, valor}}, rutaIni);
}

bool libQVTX::EscribeIniVarios(const QString& seccion,
                               const QList<std::pair<QString, QString>>& claves,
                               const QString& rutaIni) const {
    QMutexLocker bloqueo(&g_mutexIni);
    ArchivoIni ini;
    QString error;
    if (!ini.cargar(rutaIni, &error)) {
        // Rewriting a file we could not read would lose its content.
        qCWarning(lcIni).noquote() << "No se pudo leer" << rutaIni << ":" << error;
        return false;
    }
    for (const auto& [clave, valor] : claves)
        ini.fijar(seccion, clave, valor);
    if (!ini.guardar(rutaIni, Permisos::SoloDueno, &error)) {
        qCWarning(lcIni).noquote() << "No se pudo escribir" << rutaIni << ":" << error;
        return false;
    }
    return true;
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
