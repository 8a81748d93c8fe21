#include "esquema_tienda.h"

#include "services/conexion.h"
#include "texto_tienda.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

const ColumnaTienda* TablaTienda::columna(const QString& nombre) const {
    const auto it = m_indices.constFind(nombre.trimmed().toLower());
    return it == m_indices.constEnd() ? nullptr : &columnas[*it];
}

bool LeerEsquemaTienda(Conexion& cn, const QStringList& tablas,
                       QHash<QString, TablaTienda>* esquema, QString* error) {
    QStringList nombres;
    for (const QString& t : tablas) {
        nombres.append(cn.literal(t.trimmed()));
        TablaTienda vacia;
        vacia.nombre = t.trimmed();
        esquema->insert(t, vacia);
    }
    if (nombres.isEmpty())
        return true;
    const QString lista = nombres.join(u',');
    const QString sqlColumnas =
        u"SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_SCALE, "
        u"IS_NULLABLE, EXTRA, COLUMN_KEY, CHARACTER_SET_NAME, COLLATION_NAME, COLUMN_TYPE, "
        u"NUMERIC_PRECISION, COLUMN_DEFAULT FROM information_schema.COLUMNS WHERE "
        u"TABLE_SCHEMA=DATABASE() AND TABLE_NAME IN ("_s +
        lista + u") ORDER BY TABLE_NAME, ORDINAL_POSITION"_s;
    const QString sqlMotores = u"SELECT TABLE_NAME, ENGINE FROM information_schema.TABLES WHERE "
                               u"TABLE_SCHEMA=DATABASE() AND TABLE_NAME IN ("_s +
                               lista + u')';
    ResultadoConsulta columnas;
    ResultadoConsulta motores;
    // One round trip where the session takes several statements.
    QList<ResultadoConsulta> ambas;
    const bool bien =
        cn.opciones().variasSentencias
            ? cn.consultarVarios(sqlColumnas + u';' + sqlMotores, ambas) && ambas.size() == 2
            : cn.consultar(sqlColumnas, columnas) && cn.consultar(sqlMotores, motores);
    if (!bien) {
        *error = cn.ultimoError();
        return false;
    }
    if (!ambas.isEmpty()) {
        columnas = std::move(ambas[0]);
        motores = std::move(ambas[1]);
    }
    for (auto it = esquema->begin(); it != esquema->end(); ++it) {
        TablaTienda& t = *it;
        for (const QList<Valor>& m : motores.filas)
            if (m[0].texto() == t.nombre)
                t.transaccional = m[1].texto().compare(u"InnoDB"_s, Qt::CaseInsensitive) == 0;
        for (const QList<Valor>& f : columnas.filas) {
            if (f[0].texto() != t.nombre)
                continue;
            ColumnaTienda c;
            c.nombre = f[1].texto();
            c.tipo = f[2].texto().toLower();
            static const QStringList textos{u"char"_s, u"varchar"_s,    u"tinytext"_s,
                                            u"text"_s, u"mediumtext"_s, u"longtext"_s};
            static const QStringList numeros{
                u"tinyint"_s, u"smallint"_s, u"mediumint"_s, u"int"_s, u"bigint"_s,
                u"decimal"_s, u"float"_s,    u"double"_s,    u"bit"_s, u"year"_s};
            c.texto = textos.contains(c.tipo) && !f[8].esNulo();
            c.numerico = numeros.contains(c.tipo);
            c.escala = f[4].texto().toInt();
            c.largo = f[3].esNulo() ? -1 : f[3].texto().toLongLong();
            c.noNulo = f[5].texto() == u"NO"_s;
            c.autoIncremento = f[6].texto().contains(u"auto_increment"_s, Qt::CaseInsensitive);
            c.generada = f[6].texto().contains(u"generated"_s, Qt::CaseInsensitive);
            c.juego = f[8].texto();
            c.intercalacion = f[9].texto();
            c.tipoCompleto = f[10].texto();
            c.precision = f[11].texto().toInt();
            c.sinSigno = c.tipoCompleto.contains(u"unsigned"_s, Qt::CaseInsensitive);
            c.sinDefecto = f[12].esNulo() || f[12].texto() == u"NULL"_s;
            if (c.autoIncremento)
                t.autoIncremento = c.nombre;
            if (f[7].texto() == u"PRI"_s)
                t.primaria.append(c.nombre);
            t.m_indices.insert(c.nombre.toLower(), int(t.columnas.size()));
            t.columnas.append(c);
        }
    }
    return true;
}

bool TablasDeLaBase(Conexion& cn, QStringList* tablas, QString* error) {
    ResultadoConsulta nombres;
    if (!cn.consultar(u"SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                      u"TABLE_SCHEMA=DATABASE() ORDER BY TABLE_NAME"_s,
                      nombres)) {
        *error = cn.ultimoError();
        return false;
    }
    tablas->clear();
    for (const QList<Valor>& f : nombres.filas)
        tablas->append(f[0].texto());
    return true;
}

namespace {
// The empty value of a NOT NULL column: what the server itself would store for a NULL.
QString vacioDe(const ColumnaTienda& c) {
    if (c.numerico)
        return u"0"_s;
    if (c.tipo == u"date"_s)
        return u"0000-00-00"_s;
    if (c.tipo == u"datetime"_s || c.tipo == u"timestamp"_s)
        return u"0000-00-00 00:00:00"_s;
    if (c.tipo == u"time"_s)
        return u"00:00:00"_s;
    return {};
}

// A date or time as the column shows it: a date column drops a midnight time, a date-time column
// gets one.
QString fechaCanonica(const ColumnaTienda& c, const QString& texto) {
    static const QRegularExpression fecha(u"^(\\d{4}-\\d{2}-\\d{2})( 00:00:00(\\.0*)?)?$"_s);
    const QRegularExpressionMatch m = fecha.match(texto.trimmed());
    if (!m.hasMatch())
        return texto;
    if (c.tipo == u"date"_s)
        return m.captured(1);
    return m.captured(1) + u" 00:00:00"_s;
}
} // namespace

bool esControl(QChar c, bool unaLinea) {
    const char16_t u = c.unicode();
    if (u == u'\t' || u == u'\n' || u == u'\r')
        return unaLinea;
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

namespace {
bool unaLinea(const ColumnaTienda& c) {
    return c.tipo == u"char"_s || c.tipo == u"varchar"_s;
}
} // namespace

bool tieneControles(const ColumnaTienda* columna, const QString& texto) {
    if (!columna || !columna->texto)
        return false;
    const bool linea = unaLinea(*columna);
    return std::any_of(texto.begin(), texto.end(),
                       [linea](QChar c) { return esControl(c, linea); });
}

Valor valorParaTienda(const ColumnaTienda* columna, const Valor& valor, bool codificar) {
    if (!columna)
        return valor;
    if (valor.esNulo() || (columna->numerico && valor.texto().trimmed().isEmpty()))
        return columna->noNulo ? Valor(vacioDe(*columna)) : Valor::nulo();
    if (!columna->texto)
        return valor;
    QString texto = valor.texto();
    if (tieneControles(columna, texto)) {
        // A NUL, an escape or a bell from the point of sale would reach customers' pages; a line
        // break in a name splits lists and mails.
        const bool linea = unaLinea(*columna);
        QString limpio;
        limpio.reserve(texto.size());
        for (QChar c : texto)
            if (!esControl(c, linea))
                limpio += c;
            else if (c == u'\t' || c == u'\n')
                limpio += u' ';
        texto = limpio;
    }
    if (codificar && columna->nombre.compare(u"image"_s, Qt::CaseInsensitive) != 0)
        texto = CodificarComoTienda(texto);
    return Valor(texto);
}

QString numeroNoCabe(const ColumnaTienda& c, const QString& texto) {
    static const QStringList sinRango{u"float"_s, u"double"_s, u"bit"_s, u"year"_s};
    if (!c.numerico || sinRango.contains(c.tipo))
        return {};
    QString numero = decimalCanonico(texto, c.escala);
    if (numero.isNull()) {
        bool esNumero = false;
        texto.trimmed().toDouble(&esNumero);
        return esNumero
                   ? u"«%1» no cabe en la columna «%2» (%3)"_s.arg(texto, c.nombre, c.tipoCompleto)
                   : u"«%1» no es un número, y la columna «%2» (%3) guardaría 0"_s.arg(
                         texto, c.nombre, c.tipoCompleto);
    }
    const bool negativo = numero.startsWith(u'-');
    if (negativo)
        numero.remove(0, 1);
    const QString entera =
        numero.left(numero.indexOf(u'.') < 0 ? numero.size() : numero.indexOf(u'.'));
    bool cabe = true;
    if (negativo && c.sinSigno) {
        cabe = false;
    } else if (c.tipo == u"decimal"_s) {
        cabe = c.precision <= 0 || entera.size() <= c.precision - c.escala || entera == u"0"_s;
    } else {
        // The integer types: bits, and the range of each sign.
        static const QHash<QString, int> bits{{u"tinyint"_s, 8},    {u"smallint"_s, 16},
                                              {u"mediumint"_s, 24}, {u"int"_s, 32},
                                              {u"integer"_s, 32},   {u"bigint"_s, 64}};
        const int b = bits.value(c.tipo, 64);
        const quint64 maximo = c.sinSigno ? (b == 64 ? ~quint64(0) : (quint64(1) << b) - 1)
                                          : (quint64(1) << (b - 1)) - 1;
        bool bien = false;
        const quint64 valor = entera.toULongLong(&bien);
        cabe = bien && (negativo && !c.sinSigno ? valor <= maximo + 1 : valor <= maximo);
    }
    if (cabe)
        return {};
    return u"«%1» no cabe en la columna «%2» (%3): la tienda guardaría otro número"_s.arg(
        texto, c.nombre, c.tipoCompleto);
}

QString decimalCanonico(const QString& texto, int escala) {
    QString t = texto.trimmed();
    bool negativo = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negativo = t.startsWith(u'-');
        t.remove(0, 1);
    }
    const qsizetype punto = t.indexOf(u'.');
    QString entera = punto < 0 ? t : t.left(punto);
    QString fraccion = punto < 0 ? QString() : t.mid(punto + 1);
    if (entera.isEmpty() && fraccion.isEmpty())
        return {};
    for (const QString* parte : {&entera, &fraccion})
        for (QChar c : *parte)
            if (!c.isDigit() || c.unicode() > u'9')
                return {};
    if (fraccion.size() > escala) {
        const bool subir = fraccion[escala].unicode() >= u'5';
        fraccion.truncate(escala);
        if (subir) {
            // Adds one unit at the last kept digit, carrying into the whole part.
            QString digitos = entera + fraccion;
            qsizetype i = digitos.size() - 1;
            for (; i >= 0; --i) {
                if (digitos[i] == u'9') {
                    digitos[i] = u'0';
                } else {
                    digitos[i] = QChar(digitos[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0)
                digitos.prepend(u'1');
            entera = digitos.left(digitos.size() - fraccion.size());
            fraccion = digitos.right(fraccion.size());
        }
    }
    while (entera.size() > 1 && entera.startsWith(u'0'))
        entera.remove(0, 1);
    if (entera.isEmpty())
        entera = u"0"_s;
    while (fraccion.endsWith(u'0'))
        fraccion.chop(1);
    const bool cero = entera == u"0"_s && fraccion.isEmpty();
    return (negativo && !cero ? u"-"_s : QString()) + entera +
           (fraccion.isEmpty() ? QString() : u'.' + fraccion);
}

namespace {
bool deTresBytes(const ColumnaTienda& c) {
    return c.juego.compare(u"utf8"_s, Qt::CaseInsensitive) == 0 ||
           c.juego.compare(u"utf8mb3"_s, Qt::CaseInsensitive) == 0;
}

// Whether the column's character set can hold the character: utf8mb4 holds all, the three-byte
// utf8 none past the basic plane, latin1 (the server's is Windows-1252) only its own repertoire.
bool cabeCaracter(const ColumnaTienda& c, uint p) {
    if (deTresBytes(c))
        return p <= 0xFFFF;
    if (c.juego.compare(u"latin1"_s, Qt::CaseInsensitive) == 0) {
        if (p <= 0x7F || (p >= 0xA0 && p <= 0xFF))
            return true;
        static const QString extra = u"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"_s;
        return p <= 0xFFFF && extra.contains(QChar(char16_t(p)));
    }
    if (c.juego.compare(u"ascii"_s, Qt::CaseInsensitive) == 0)
        return p <= 0x7F;
    return true;
}
} // namespace

QString textoQueCabe(const ColumnaTienda& c, const QString& texto) {
    if (!c.texto)
        return texto;
    QList<uint> puntos = texto.toUcs4();
    bool cambiado = false;
    for (uint& p : puntos)
        if (!cabeCaracter(c, p)) {
            p = u'?';
            cambiado = true;
        }
    if (c.largo >= 0 && puntos.size() > c.largo) {
        puntos.resize(c.largo);
        cambiado = true;
    }
    if (!cambiado)
        return texto;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(puntos.constData()), puntos.size());
}

bool mismoValor(const ColumnaTienda* columna, const Valor& almacenado, const Valor& nuevo) {
    if (almacenado.esNulo() || nuevo.esNulo())
        return almacenado.esNulo() == nuevo.esNulo();
    if (columna && columna->numerico && columna->tipo != u"float"_s &&
        columna->tipo != u"double"_s) {
        const QString a = decimalCanonico(almacenado.texto(), columna->escala);
        const QString b = decimalCanonico(nuevo.texto(), columna->escala);
        if (!a.isNull() && !b.isNull())
            return a == b;
    }
    if (columna && (columna->tipo == u"date"_s || columna->tipo == u"datetime"_s ||
                    columna->tipo == u"timestamp"_s))
        return fechaCanonica(*columna, almacenado.texto()) ==
               fechaCanonica(*columna, nuevo.texto());
    if (columna && columna->texto)
        return almacenado.texto() == textoQueCabe(*columna, nuevo.texto());
    return almacenado.texto() == nuevo.texto();
}

namespace {
bool rellenaConBlancos(const ColumnaTienda& c) {
    return !c.intercalacion.contains(u"nopad"_s, Qt::CaseInsensitive);
}
} // namespace

QString pesoDeColumna(const ColumnaTienda& c, const QString& expresion) {
    if (!c.texto)
        return u"CAST("_s + expresion + u" AS CHAR)"_s;
    const QString valor =
        rellenaConBlancos(c) ? u"TRIM(TRAILING ' ' FROM "_s + expresion + u')' : expresion;
    return u"HEX(WEIGHT_STRING("_s + valor + u"))"_s;
}

QString pesoDeLiteral(const ColumnaTienda& c, const QString& literal) {
    if (!c.texto)
        return u"CAST("_s + literal + u" AS CHAR)"_s;
    const QString valor =
        rellenaConBlancos(c) ? u"TRIM(TRAILING ' ' FROM "_s + literal + u')' : literal;
    return u"HEX(WEIGHT_STRING(CONVERT("_s + valor + u" USING "_s + c.juego + u") COLLATE "_s +
           c.intercalacion + u"))"_s;
}

QString textoNoCabe(const ColumnaTienda& c, const QString& texto) {
    if (!c.texto)
        return {};
    const QList<uint> puntos = texto.toUcs4();
    if (c.largo >= 0 && puntos.size() > c.largo)
        return u"tiene %1 caracteres y la columna «%2» admite %3"_s.arg(puntos.size())
            .arg(c.nombre)
            .arg(c.largo);
    for (uint p : puntos)
        if (!cabeCaracter(c, p))
            return u"tiene caracteres que la columna «%1» (%2) no guarda"_s.arg(c.nombre, c.juego);
    return {};
}

QString claveNoCabe(const ColumnaTienda& c, const QString& clave) {
    const QString motivo = textoNoCabe(c, clave);
    return motivo.isEmpty() ? motivo : u"la clave "_s + motivo;
}
