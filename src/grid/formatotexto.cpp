#include "formatotexto.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QLocale& espanol() {
    static const QLocale l(QLocale::Spanish, QLocale::Spain);
    return l;
}

const QDate& diaCero() {
    static const QDate d(1899, 12, 30);
    return d;
}

int anioCompleto(const QString& anio) {
    const int v = anio.toInt();
    if (anio.size() > 2)
        return v;
    return v < 30 ? 2000 + v : 1900 + v; // two-digit years: 00-29 this century, 30-99 the last
}

std::optional<QTime> leeHora(const QString& texto) {
    static const QRegularExpression re(
        uR"(^(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*([aApP][mM])?$)"_s);
    const QRegularExpressionMatch m = re.match(texto);
    if (!m.hasMatch())
        return std::nullopt;
    int h = m.captured(1).toInt();
    const QString ampm = m.captured(4).toLower();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return std::nullopt;
        h = (h % 12) + (ampm == u"pm"_s ? 12 : 0);
    }
    const QTime t(h, m.captured(2).toInt(), m.captured(3).toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

std::optional<double> leeNumero(const QString& texto) {
    static const QRegularExpression re(
        uR"(^[+-]?(\d{1,3}(,\d{3})+|\d*)(\.\d*)?([eE][+-]?\d+)?$)"_s);
    QString t = texto.trimmed();
    if (t.isEmpty() || !re.match(t).hasMatch())
        return std::nullopt;
    bool hayDigito = false;
    for (QChar c : t)
        if (c.isDigit()) {
            hayDigito = true;
            break;
        }
    if (!hayDigito)
        return std::nullopt;
    t.remove(u',');
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    return v;
}

// Splits a format expression into its ';' sections, leaving quoted text alone.
QStringList secciones(const QString& formato) {
    QStringList partes;
    QString actual;
    bool entreComillas = false;
    for (qsizetype i = 0; i < formato.size(); ++i) {
        const QChar c = formato[i];
        if (c == u'"')
            entreComillas = !entreComillas;
        if (c == u'\\' && i + 1 < formato.size()) {
            actual += c;
            actual += formato[++i];
            continue;
        }
        if (c == u';' && !entreComillas) {
            partes.append(actual);
            actual.clear();
            continue;
        }
        actual += c;
    }
    partes.append(actual);
    return partes;
}

// Whether the expression holds one of the given characters outside quotes and escapes.
bool contiene(const QString& formato, QStringView caracteres) {
    bool entreComillas = false;
    for (qsizetype i = 0; i < formato.size(); ++i) {
        const QChar c = formato[i];
        if (c == u'"') {
            entreComillas = !entreComillas;
            continue;
        }
        if (entreComillas)
            continue;
        if (c == u'\\') {
            ++i;
            continue;
        }
        if (caracteres.contains(c.toLower()))
            return true;
    }
    return false;
}

QString agrupar(const QString& enteros) {
    QString r;
    const qsizetype n = enteros.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            r += u',';
        r += enteros[i];
    }
    return r;
}

QString seccionNumerica(const QString& seccion, double valor, bool conSigno) {
    QString prefijo, sufijo, patron;
    bool porcentaje = false;
    bool patronTerminado = false;
    auto literal = [&](QChar c) {
        if (patron.isEmpty())
            prefijo += c;
        else {
            patronTerminado = true;
            sufijo += c;
        }
    };
    for (qsizetype i = 0; i < seccion.size(); ++i) {
        const QChar c = seccion[i];
        if (c == u'"') {
            while (++i < seccion.size() && seccion[i] != u'"')
                literal(seccion[i]);
        } else if (c == u'\\' && i + 1 < seccion.size()) {
            literal(seccion[++i]);
        } else if (!patronTerminado &&
                   (c == u'0' || c == u'#' || c == u'.' || (c == u',' && !patron.isEmpty()))) {
            patron += c;
        } else {
            if (c == u'%')
                porcentaje = true;
            literal(c);
        }
    }
    if (porcentaje)
        valor *= 100;

    const qsizetype punto = patron.indexOf(u'.');
    const QString parteEntera = punto < 0 ? patron : patron.left(punto);
    const QString parteDecimal = punto < 0 ? QString() : patron.mid(punto + 1);
    const int minEnteros = int(parteEntera.count(u'0'));
    const int minDecimales = int(parteDecimal.count(u'0'));
    const int maxDecimales = minDecimales + int(parteDecimal.count(u'#'));
    bool conGrupos = false;
    if (const qsizetype coma = parteEntera.indexOf(u','); coma >= 0) {
        const QString despues = parteEntera.mid(coma + 1);
        conGrupos = despues.contains(u'0') || despues.contains(u'#');
    }

    // A nudge of the last binary digits so that 2.675 rounds to 2.68 as it reads, not as it is
    // stored.
    const double redondeable = valor + valor * 1e-13;
    const QString cifras = QString::number(redondeable, 'f', maxDecimales);
    const qsizetype p = cifras.indexOf(u'.');
    QString enteros = p < 0 ? cifras : cifras.left(p);
    QString decimales = p < 0 ? QString() : cifras.mid(p + 1);
    while (decimales.size() > minDecimales && decimales.endsWith(u'0'))
        decimales.chop(1);
    if (enteros == u"0"_s && minEnteros == 0)
        enteros.clear();
    while (enteros.size() < minEnteros)
        enteros.prepend(u'0');
    if (conGrupos)
        enteros = agrupar(enteros);

    bool todoCero = true;
    for (QChar c : enteros + decimales)
        if (c.isDigit() && c != u'0')
            todoCero = false;
    QString r;
    if (conSigno && !todoCero)
        r += u'-';
    r += prefijo + enteros;
    if (punto >= 0)
        r += u'.' + decimales;
    return r + sufijo;
}

QString formatoNumerico(const QString& formato, double valor) {
    const QStringList partes = secciones(formato);
    if (valor < 0 && partes.size() >= 2 && !partes[1].isEmpty())
        return seccionNumerica(partes[1], -valor, false);
    if (valor == 0 && partes.size() >= 3 && !partes[2].isEmpty())
        return seccionNumerica(partes[2], 0, false);
    return seccionNumerica(partes[0], std::abs(valor), valor < 0);
}

QString dosCifras(int v) {
    return QString::number(v).rightJustified(2, u'0');
}

QString formatoFecha(const QString& formato, const QDateTime& momento) {
    const QDate d = momento.date();
    const QTime t = momento.time();
    const bool doceHoras = formato.contains(u"AM/PM"_s, Qt::CaseInsensitive) ||
                           formato.contains(u"A/P"_s, Qt::CaseInsensitive);
    QString r;
    QChar ultimoTiempo; // the last of h, n, s written: decides whether "m" means minutes
    const qsizetype n = formato.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = formato[i];
        const QChar menor = c.toLower();
        if (c == u'"') {
            while (++i < n && formato[i] != u'"')
                r += formato[i];
            ++i;
            continue;
        }
        if (c == u'\\' && i + 1 < n) {
            r += formato[i + 1];
            i += 2;
            continue;
        }
        if (formato.mid(i, 5).compare(u"AM/PM"_s, Qt::CaseInsensitive) == 0) {
            const bool tarde = t.hour() >= 12;
            const QString marca = tarde ? u"PM"_s : u"AM"_s;
            r += formato.mid(i, 5) == u"am/pm"_s ? marca.toLower() : marca;
            i += 5;
            continue;
        }
        if (formato.mid(i, 3).compare(u"A/P"_s, Qt::CaseInsensitive) == 0) {
            const QString marca = t.hour() >= 12 ? u"P"_s : u"A"_s;
            r += formato.mid(i, 3) == u"a/p"_s ? marca.toLower() : marca;
            i += 3;
            continue;
        }
        qsizetype largo = 1;
        while (i + largo < n && formato[i + largo].toLower() == menor)
            ++largo;
        switch (menor.unicode()) {
        case u'd':
            if (largo == 1)
                r += QString::number(d.day());
            else if (largo == 2)
                r += dosCifras(d.day());
            else if (largo == 3)
                r += espanol().dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else if (largo == 4)
                r += espanol().dayName(d.dayOfWeek(), QLocale::LongFormat);
            else
                r += d.toString(u"dd/MM/yyyy"_s);
            break;
        case u'w':
            if (largo == 1) {
                r += QString::number(d.dayOfWeek() % 7 + 1); // Sunday is day 1
            } else {
                // Week 1 is the one holding 1 January; weeks start on Sunday.
                const int inicio = QDate(d.year(), 1, 1).dayOfWeek() % 7;
                r += QString::number((d.dayOfYear() - 1 + inicio) / 7 + 1);
            }
            break;
        case u'm': {
            bool minutos = false;
            if (largo <= 2) {
                if (!ultimoTiempo.isNull() && ultimoTiempo == u'h')
                    minutos = true;
                else {
                    for (qsizetype j = i + largo; j < n; ++j) {
                        const QChar s = formato[j].toLower();
                        if (s == u's')
                            minutos = true;
                        if (s.isLetter())
                            break;
                    }
                }
            }
            if (minutos)
                r += largo == 1 ? QString::number(t.minute()) : dosCifras(t.minute());
            else if (largo == 1)
                r += QString::number(d.month());
            else if (largo == 2)
                r += dosCifras(d.month());
            else
                r += espanol().monthName(d.month(),
                                         largo == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            ultimoTiempo = minutos ? QChar(u'n') : QChar();
            break;
        }
        case u'q':
            r += QString::number((d.month() - 1) / 3 + 1);
            break;
        case u'y':
            if (largo == 1)
                r += QString::number(d.dayOfYear());
            else if (largo <= 3)
                r += dosCifras(d.year() % 100);
            else
                r += QString::number(d.year()).rightJustified(4, u'0');
            break;
        case u'h': {
            int h = t.hour();
            if (doceHoras) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            r += largo == 1 ? QString::number(h) : dosCifras(h);
            ultimoTiempo = u'h';
            break;
        }
        case u'n':
            r += largo == 1 ? QString::number(t.minute()) : dosCifras(t.minute());
            ultimoTiempo = u'n';
            break;
        case u's':
            r += largo == 1 ? QString::number(t.second()) : dosCifras(t.second());
            ultimoTiempo = u's';
            break;
        case u'c':
            r += momento.toString(t == QTime(0, 0) ? u"dd/MM/yyyy"_s : u"dd/MM/yyyy HH:mm:ss"_s);
            break;
        default:
            r += QString(largo, c);
            break;
        }
        i += largo;
    }
    return r;
}

QString formatoNombrado(const QString& formato, const QDateTime& fecha) {
    const QString clave = formato.trimmed().toLower();
    if (clave == u"currency"_s)
        return u"$#,##0.00;($#,##0.00)"_s;
    if (clave == u"fixed"_s)
        return u"0.00"_s;
    if (clave == u"standard"_s)
        return u"#,##0.00"_s;
    if (clave == u"percent"_s)
        return u"0.00%"_s;
    if (clave == u"short date"_s)
        return u"dd/mm/yyyy"_s;
    if (clave == u"medium date"_s)
        return u"dd-mmm-yy"_s;
    if (clave == u"long date"_s)
        return u"dddd d \"de\" mmmm \"de\" yyyy"_s;
    if (clave == u"short time"_s)
        return u"hh:nn"_s;
    if (clave == u"medium time"_s)
        return u"hh:nn AM/PM"_s;
    if (clave == u"long time"_s)
        return u"hh:nn:ss"_s;
    if (clave == u"general date"_s) {
        if (fecha.isValid() && fecha.date() == diaCero())
            return u"hh:nn:ss"_s;
        if (fecha.isValid() && fecha.time() != QTime(0, 0))
            return u"dd/mm/yyyy hh:nn:ss"_s;
        return u"dd/mm/yyyy"_s;
    }
    return formato;
}

} // namespace

QDateTime FormatoTexto::LeeFecha(const QString& texto) {
    const QString t = texto.trimmed();
    if (t.isEmpty())
        return {};
    if (const std::optional<QTime> hora = leeHora(t))
        return QDateTime(diaCero(), *hora);

    static const QRegularExpression diaPrimero(
        uR"(^(\d{1,2})([/.-])(\d{1,2})\2(\d{4}|\d{2})(?:\s+(.+))?$)"_s);
    static const QRegularExpression anioPrimero(
        uR"(^(\d{4})([/.-])(\d{1,2})\2(\d{1,2})(?:\s+(.+))?$)"_s);
    QDate fecha;
    QString resto;
    if (const QRegularExpressionMatch m = diaPrimero.match(t); m.hasMatch()) {
        const int a = m.captured(1).toInt();
        const int b = m.captured(3).toInt();
        const int anio = anioCompleto(m.captured(4));
        fecha = QDate(anio, b, a);
        if (!fecha.isValid())
            fecha = QDate(anio, a, b); // month first, as a date that cannot be read day first
        resto = m.captured(5);
    } else if (const QRegularExpressionMatch y = anioPrimero.match(t); y.hasMatch()) {
        fecha = QDate(y.captured(1).toInt(), y.captured(3).toInt(), y.captured(4).toInt());
        resto = y.captured(5);
    }
    if (!fecha.isValid())
        return {};
    QTime hora(0, 0);
    if (!resto.isEmpty()) {
        const std::optional<QTime> h = leeHora(resto);
        if (!h)
            return {};
        hora = *h;
    }
    return QDateTime(fecha, hora);
}

bool FormatoTexto::EsFecha(const QString& texto) {
    return LeeFecha(texto).isValid();
}

QString FormatoTexto::Aplicar(const QString& texto, const QString& formato) {
    if (formato.isEmpty())
        return texto;
    const std::optional<double> numero = leeNumero(texto);
    QDateTime fecha = LeeFecha(texto);
    if (formato.trimmed().compare(u"General Number"_s, Qt::CaseInsensitive) == 0)
        return numero ? QString::number(*numero, 'g', 15) : texto;
    const QString f = formatoNombrado(formato, fecha);

    if (contiene(f, u"0#")) {
        if (!numero)
            return texto;
        return formatoNumerico(f, *numero);
    }
    if (contiene(f, u"dmyhnswqc")) {
        if (!fecha.isValid() && numero) // a number is a date serial: days since day zero
            fecha = QDateTime(
                diaCero().addDays(qint64(std::floor(*numero))),
                QTime(0, 0).addSecs(int(std::round((*numero - std::floor(*numero)) * 86400))));
        if (!fecha.isValid())
            return texto;
        return formatoFecha(f, fecha);
    }
    if (contiene(f, u"<"))
        return texto.toLower();
    if (contiene(f, u">"))
        return texto.toUpper();
    return texto;
}
