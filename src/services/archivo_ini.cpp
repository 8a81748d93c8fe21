#include "archivo_ini.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QUtf8StringView>

using namespace Qt::StringLiterals;

namespace {
// Letter case aside, and an accent typed as a combining mark (as some editors save it) matches the
// precomposed letter.
bool igual(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0 ||
           a.normalized(QString::NormalizationForm_C)
                   .compare(b.normalized(QString::NormalizationForm_C), Qt::CaseInsensitive) == 0;
}

// A line break inside a value would inject new keys on the next read.
QString enUnaLinea(QString texto) {
    texto.replace(u'\r', u' ');
    texto.replace(u'\n', u' ');
    return texto;
}

// Windows-1252 at 0x80..0x9F (the rest of the code page is Latin-1); its five unassigned bytes
// keep their C1 code points so that no byte is lost.
constexpr char16_t Windows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t deWindows1252(uchar byte) {
    return byte >= 0x80 && byte < 0xA0 ? Windows1252[byte - 0x80] : char16_t(byte);
}

// The length of the well-formed UTF-8 sequence at i (overlong forms and surrogates refused), or 0.
int secuenciaUtf8(const QByteArray& b, qsizetype i, char32_t& codigo) {
    const auto c = uchar(b[i]);
    int largo = 0;
    char32_t minimo = 0;
    if (c < 0x80) {
        codigo = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        largo = 2;
        codigo = c & 0x1F;
        minimo = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        largo = 3;
        codigo = c & 0x0F;
        minimo = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        largo = 4;
        codigo = c & 0x07;
        minimo = 0x10000;
    } else {
        return 0;
    }
    if (i + largo > b.size())
        return 0;
    for (int k = 1; k < largo; ++k) {
        const auto d = uchar(b[i + k]);
        if ((d & 0xC0) != 0x80)
            return 0;
        codigo = (codigo << 6) | (d & 0x3F);
    }
    if (codigo < minimo || codigo > 0x10FFFF || (codigo >= 0xD800 && codigo <= 0xDFFF))
        return 0;
    return largo;
}

// UTF-8, with each byte that is not part of a well-formed sequence read as Windows-1252: a file
// that is all Windows-1252 reads whole, and a UTF-8 file with one line pasted from a Windows editor
// keeps the UTF-8 of every other line. *limpio says whether no byte needed the fallback.
QString decodificarUtf8OWindows(const QByteArray& bytes, bool& limpio) {
    limpio = true;
    // The usual case at the library's speed: a settings file may hold a line of megabytes.
    if (QUtf8StringView(bytes).isValidUtf8())
        return QString::fromUtf8(bytes);
    QString texto;
    texto.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codigo = 0;
        const int largo = secuenciaUtf8(bytes, i, codigo);
        if (largo == 0) {
            texto += QChar(deWindows1252(uchar(bytes[i])));
            limpio = false;
            ++i;
            continue;
        }
        if (codigo < 0x10000) {
            texto += QChar(char16_t(codigo));
        } else {
            texto += QChar(QChar::highSurrogate(codigo));
            texto += QChar(QChar::lowSurrogate(codigo));
        }
        i += largo;
    }
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

void ArchivoIni::desdeTexto(const QByteArray& bytes) {
    QString texto;
    bool limpio = true;
    m_bom = true;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE);
        texto = utf16.decode(bytes.mid(2));
        limpio = false;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        texto = decodificarUtf8OWindows(bytes.mid(3), limpio);
    } else {
        m_bom = false;
        texto = decodificarUtf8OWindows(bytes, limpio);
    }
    m_original = limpio ? QByteArray() : bytes;
    m_finLinea = texto.contains(u"\r\n"_s) ? u"\r\n"_s : u"\n"_s;
    m_terminaEnFinLinea = texto.isEmpty() || texto.endsWith(u'\n');
    texto.replace(u"\r\n"_s, u"\n"_s);
    QStringList lineas = texto.split(u'\n');
    if (m_terminaEnFinLinea && !lineas.isEmpty())
        lineas.removeLast();
    m_lineas.clear();
    m_lineas.reserve(lineas.size());
    for (const QString& l : lineas)
        m_lineas.append(analizar(l));
    m_problema.clear();
    // Anything can be renamed to .ini; rewriting it would append our keys to its bytes.
    if (bytes.contains('\0') && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        m_problema = u"tiene bytes nulos: no es un archivo de texto"_s;
    } else {
        bool conSeccion = false;
        qsizetype primera = -1;
        for (qsizetype i = 0; i < m_lineas.size() && !conSeccion; ++i) {
            conSeccion = m_lineas[i].tipo == Linea::Tipo::Seccion;
            if (primera < 0 && !m_lineas[i].texto.trimmed().isEmpty())
                primera = i;
        }
        if (primera >= 0 && !conSeccion)
            m_problema = u"no tiene ninguna sección [...]; empieza con «%1»"_s.arg(
                m_lineas[primera].texto.left(60));
    }
}

QStringList ArchivoIni::lineasSinSentido() const {
    QStringList lineas;
    for (qsizetype i = 0; i < m_lineas.size(); ++i) {
        const Linea& l = m_lineas[i];
        const QString t = l.texto.trimmed();
        if (l.tipo == Linea::Tipo::Otra && !t.isEmpty() && !t.startsWith(u';') &&
            !t.startsWith(u'#'))
            lineas.append(u"línea %1: «%2»"_s.arg(i + 1).arg(t.left(80)));
    }
    return lineas;
}

QStringList ArchivoIni::clavesRepetidas() const {
    QStringList avisos;
    QString seccion;
    QHash<QString, qsizetype> vistas; // section and key, lower-cased → first line
    for (qsizetype i = 0; i < m_lineas.size(); ++i) {
        const Linea& l = m_lineas[i];
        if (l.tipo == Linea::Tipo::Seccion) {
            seccion = l.nombre;
            continue;
        }
        if (l.tipo != Linea::Tipo::Clave)
            continue;
        const QString clave =
            (seccion + u'\n' + l.nombre).normalized(QString::NormalizationForm_C).toLower();
        const auto it = vistas.constFind(clave);
        if (it == vistas.constEnd()) {
            vistas.insert(clave, i);
            continue;
        }
        avisos.append(u"la clave «%1» de la sección [%2] está en las líneas %3 y %4; vale la de "
                      u"la línea %3"_s.arg(l.nombre, seccion)
                          .arg(*it + 1)
                          .arg(i + 1));
    }
    return avisos;
}

QByteArray ArchivoIni::aTexto() const {
    QString texto;
    for (qsizetype i = 0; i < m_lineas.size(); ++i) {
        texto += m_lineas[i].texto;
        if (i + 1 < m_lineas.size() || m_terminaEnFinLinea)
            texto += m_finLinea;
    }
    return (m_bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + texto.toUtf8();
}

bool ArchivoIni::cargar(const QString& ruta, QString* error) {
    QFile archivo(ruta);
    if (!archivo.exists()) {
        m_lineas.clear();
        m_original.clear();
        m_problema.clear();
        m_bom = false;
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
    if (!m_problema.isEmpty()) {
        if (error)
            *error =
                u"no parece un archivo de configuración ("_s + m_problema + u"); no se modifica"_s;
        return false;
    }
    // The conversion to UTF-8 is faithful, but the user keeps the bytes as they were in case an
    // editor of theirs meant something else by them.
    if (!eraUtf8Limpio() &&
        !escribirArchivoAtomico(rutaCopia(ruta), m_original, Permisos::SoloDueno, error)) {
        if (error)
            *error = u"no se pudo guardar la copia "_s + rutaCopia(ruta) + u": "_s + *error;
        return false;
    }
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

QStringList ArchivoIni::valores() const {
    QStringList resultado;
    for (const Linea& linea : m_lineas)
        if (linea.tipo == Linea::Tipo::Clave)
            resultado.append(linea.valor);
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
