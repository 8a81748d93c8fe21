#include "archivo_ini.h"

#include <QFile>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {
bool igual(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a value would inject new keys on the next read.
QString enUnaLinea(QString texto) {
    texto.replace(u'\r', u' ');
    texto.replace(u'\n', u' ');
    return texto;
}
} // namespace

ArchivoIni::Linea ArchivoIni::analizar(const QString& texto) {
    Linea linea;
    linea.texto = texto;
    const QString limpio = texto.trimmed();
    if (limpio.isEmpty() || limpio.startsWith(u';') || limpio.startsWith(u'#'))
        return linea;
    if (limpio.startsWith(u'[')) {
        const qsizetype cierre = limpio.lastIndexOf(u']');
        if (cierre > 0) {
            linea.tipo = Linea::Tipo::Seccion;
            linea.nombre = limpio.mid(1, cierre - 1).trimmed();
        }
        return linea;
    }
    const qsizetype igualdad = texto.indexOf(u'=');
    if (igualdad > 0) {
        linea.tipo = Linea::Tipo::Clave;
        linea.nombre = texto.left(igualdad).trimmed();
        linea.valor = texto.mid(igualdad + 1);
    }
    return linea;
}

void ArchivoIni::desdeTexto(const QByteArray& bytesOriginales) {
    QByteArray bytes = bytesOriginales;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString texto = utf8.decode(bytes);
    if (utf8.hasError()) {
        // Windows-1252 and Latin-1 agree on every letter a Spanish INI file holds.
        texto = QString::fromLatin1(bytes);
    }
    m_finLinea = texto.contains(u"\r\n"_s) ? u"\r\n"_s : u"\n"_s;
    m_terminaEnFinLinea = texto.isEmpty() || texto.endsWith(u'\n');
    texto.replace(u"\r\n"_s, u"\n"_s);
    QStringList lineas = texto.split(u'\n');
    if (m_terminaEnFinLinea && !lineas.isEmpty())
        lineas.removeLast();
    m_lineas.clear();
    for (const QString& l : lineas)
        m_lineas.append(analizar(l));
}

QByteArray ArchivoIni::aTexto() const {
    QString texto;
    for (qsizetype i = 0; i < m_lineas.size(); ++i) {
        texto += m_lineas[i].texto;
        if (i + 1 < m_lineas.size() || m_terminaEnFinLinea)
            texto += m_finLinea;
    }
    return texto.toUtf8();
}

bool ArchivoIni::cargar(const QString& ruta, QString* error) {
    QFile archivo(ruta);
    if (!archivo.exists()) {
        m_lineas.clear();
        return true;
    }
    if (!archivo.open(QIODevice::ReadOnly)) {
        if (error)
            *error = archivo.errorString();
        m_lineas.clear();
        return false;
    }
    desdeTexto(archivo.readAll());
    return true;
}

bool ArchivoIni::guardar(const QString& ruta, Permisos permisos, QString* error) const {
    return escribirArchivoAtomico(ruta, aTexto(), permisos, error);
}

int ArchivoIni::buscarSeccion(const QString& seccion) const {
    for (qsizetype i = 0; i < m_lineas.size(); ++i)
        if (m_lineas[i].tipo == Linea::Tipo::Seccion && igual(m_lineas[i].nombre, seccion))
            return int(i);
    return -1;
}

int ArchivoIni::buscarClave(int inicioSeccion, const QString& clave) const {
    for (qsizetype i = inicioSeccion + 1; i < m_lineas.size(); ++i) {
        if (m_lineas[i].tipo == Linea::Tipo::Seccion)
            break;
        if (m_lineas[i].tipo == Linea::Tipo::Clave && igual(m_lineas[i].nombre, clave))
            return int(i);
    }
    return -1;
}

QString ArchivoIni::valor(const QString& seccion, const QString& clave, bool* existe) const {
    const int s = buscarSeccion(seccion);
    const int k = s < 0 ? -1 : buscarClave(s, clave);
    if (existe)
        *existe = k >= 0;
    return k < 0 ? QString() : m_lineas[k].valor;
}

QStringList ArchivoIni::claves(const QString& seccion) const {
    QStringList resultado;
    const int s = buscarSeccion(seccion);
    if (s < 0)
        return resultado;
    for (qsizetype i = s + 1; i < m_lineas.size() && m_lineas[i].tipo != Linea::Tipo::Seccion; ++i)
        if (m_lineas[i].tipo == Linea::Tipo::Clave)
            resultado.append(m_lineas[i].nombre);
    return resultado;
}

void ArchivoIni::fijar(const QString& seccion, const QString& clave, const QString& valorNuevo) {
    const QString valor = enUnaLinea(valorNuevo);
    const QString nombre = enUnaLinea(clave).trimmed();
    Linea nueva;
    nueva.tipo = Linea::Tipo::Clave;
    nueva.nombre = nombre;
    nueva.valor = valor;

    int s = buscarSeccion(seccion);
    if (s < 0) {
        if (!m_lineas.isEmpty() && !m_lineas.last().texto.trimmed().isEmpty())
            m_lineas.append(Linea{});
        Linea cabecera;
        cabecera.tipo = Linea::Tipo::Seccion;
        cabecera.nombre = enUnaLinea(seccion).trimmed();
        cabecera.texto = u'[' + cabecera.nombre + u']';
        m_lineas.append(cabecera);
        nueva.texto = nombre + u'=' + valor;
        m_lineas.append(nueva);
        m_terminaEnFinLinea = true;
        return;
    }
    const int k = buscarClave(s, clave);
    if (k >= 0) {
        Linea& linea = m_lineas[k];
        // Keep the spelling and the blanks the user gave the key.
        const qsizetype igualdad = linea.texto.indexOf(u'=');
        linea.texto = linea.texto.left(igualdad + 1) + valor;
        linea.valor = valor;
        return;
    }
    // After the section's last key, so blank lines and comments that lead into the next section
    // stay with it.
    qsizetype donde = s + 1;
    for (qsizetype i = s + 1; i < m_lineas.size() && m_lineas[i].tipo != Linea::Tipo::Seccion; ++i)
        if (m_lineas[i].tipo == Linea::Tipo::Clave)
            donde = i + 1;
    nueva.texto = nombre + u'=' + valor;
    m_lineas.insert(donde, nueva);
    if (donde == m_lineas.size() - 1)
        m_terminaEnFinLinea = true;
}
