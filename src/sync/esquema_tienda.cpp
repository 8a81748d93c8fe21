#include "esquema_tienda.h"

#include "services/conexion.h"
#include "texto_tienda.h"

#include <QRegularExpression>

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
    ResultadoConsulta columnas;
    ResultadoConsulta motores;
    if (!cn.consultar(u"SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                      u"NUMERIC_SCALE, IS_NULLABLE, EXTRA, COLUMN_KEY, CHARACTER_SET_NAME, "
                      u"COLLATION_NAME FROM information_schema.COLUMNS WHERE "
                      u"TABLE_SCHEMA=DATABASE() AND TABLE_NAME IN ("_s +
                          lista + u") ORDER BY TABLE_NAME, ORDINAL_POSITION"_s,
                      columnas) ||
        !cn.consultar(u"SELECT TABLE_NAME, ENGINE FROM information_schema.TABLES WHERE "
                      u"TABLE_SCHEMA=DATABASE() AND TABLE_NAME IN ("_s +
                          lista + u')',
                      motores)) {
        *error = cn.ultimoError();
        return false;
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
            c.juego = f[8].texto();
            c.intercalacion = f[9].texto();
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

Valor valorParaTienda(const ColumnaTienda* columna, const Valor& valor, bool codificar) {
    if (!columna)
        return valor;
    if (valor.esNulo())
        return columna->noNulo ? Valor(vacioDe(*columna)) : valor;
    if (codificar && columna->texto &&
        columna->nombre.compare(u"image"_s, Qt::CaseInsensitive) != 0)
        return Valor(CodificarComoTienda(valor.texto()));
    return valor;
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
} // namespace

QString textoQueCabe(const ColumnaTienda& c, const QString& texto) {
    if (!c.texto)
        return texto;
    QList<uint> puntos = texto.toUcs4();
    const bool tresBytes = deTresBytes(c);
    bool cambiado = false;
    if (tresBytes)
        for (uint& p : puntos)
            if (p > 0xFFFF) {
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

QString claveNoCabe(const ColumnaTienda& c, const QString& clave) {
    if (!c.texto)
        return {};
    const QList<uint> puntos = clave.toUcs4();
    if (c.largo >= 0 && puntos.size() > c.largo)
        return u"la clave tiene %1 caracteres y la columna «%2» admite %3"_s.arg(puntos.size())
            .arg(c.nombre)
            .arg(c.largo);
    const bool tresBytes = deTresBytes(c);
    const bool latino = c.juego.compare(u"latin1"_s, Qt::CaseInsensitive) == 0;
    for (uint p : puntos)
        if ((tresBytes && p > 0xFFFF) || (latino && p > 0xFF))
            return u"la clave tiene caracteres que la columna «%1» (%2) no guarda"_s.arg(c.nombre,
                                                                                         c.juego);
    return {};
}
