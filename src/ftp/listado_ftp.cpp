#include "listado_ftp.h"

#include "cdiritem.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace listado {
namespace {
QDateTime horaMLSD(const QString& valor) {
    // YYYYMMDDHHMMSS with optional fraction, always UTC.
    QDateTime t = QDateTime::fromString(valor.left(14), u"yyyyMMddHHmmss"_s);
    if (!t.isValid())
        return {};
    t.setTimeSpec(Qt::UTC);
    const qsizetype punto = valor.indexOf(u'.');
    if (punto == 14) {
        const QString fraccion = (valor.mid(15) + u"000"_s).left(3);
        t = t.addMSecs(fraccion.toInt());
    }
    return t;
}

int numeroDeMes(const QString& nombre) {
    static const QStringList meses = {u"jan"_s, u"feb"_s, u"mar"_s, u"apr"_s, u"may"_s, u"jun"_s,
                                      u"jul"_s, u"aug"_s, u"sep"_s, u"oct"_s, u"nov"_s, u"dec"_s};
    return int(meses.indexOf(nombre.toLower())) + 1;
}
} // namespace

bool interpretarMLSD(const QString& linea, EntradaListado& entrada) {
    const qsizetype espacio = linea.indexOf(u' ');
    if (espacio <= 0)
        return false;
    EntradaListado e;
    e.nombre = linea.mid(espacio + 1);
    bool conTipo = false;
    QString permisos;
    bool conPermisos = false;
    for (const QString& hecho : linea.left(espacio).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype igual = hecho.indexOf(u'=');
        if (igual <= 0)
            return false;
        const QString clave = hecho.left(igual).toLower();
        const QString valor = hecho.mid(igual + 1);
        if (clave == u"type"_s) {
            const QString tipo = valor.toLower();
            if (tipo == u"cdir"_s || tipo == u"pdir"_s)
                return false;
            e.carpeta = tipo == u"dir"_s;
            conTipo = true;
        } else if (clave == u"size"_s || clave == u"sizd"_s) {
            e.tamano = valor.toLongLong();
        } else if (clave == u"modify"_s) {
            e.modificado = horaMLSD(valor);
        } else if (clave == u"create"_s) {
            e.creado = horaMLSD(valor);
        } else if (clave == u"perm"_s) {
            permisos = valor.toLower();
            conPermisos = true;
        }
    }
    if (!conTipo || e.nombre.isEmpty() || e.nombre == u"."_s || e.nombre == u".."_s)
        return false;
    if (conPermisos)
        e.soloLectura = e.carpeta ? !permisos.contains(u'c') && !permisos.contains(u'm')
                                  : !permisos.contains(u'w') && !permisos.contains(u'a');
    entrada = e;
    return true;
}

bool interpretarLIST(const QString& linea, const QDateTime& ahora, EntradaListado& entrada) {
    static const QRegularExpression unix(
        uR"(^([-dlbcps])([-rwxsStTl]{9})[.+@]?\s+\d+\s+\S+\s+(?:\S+\s+)?(\d+)\s+([A-Za-z]{3})\s+(\d{1,2})\s+(\d{1,2}):(\d{2}) (.+)$)"_s);
    static const QRegularExpression unixAno(
        uR"(^([-dlbcps])([-rwxsStTl]{9})[.+@]?\s+\d+\s+\S+\s+(?:\S+\s+)?(\d+)\s+([A-Za-z]{3})\s+(\d{1,2})\s+(\d{4}) (.+)$)"_s);
    static const QRegularExpression dos(
        uR"(^(\d{2})-(\d{2})-(\d{2}|\d{4})\s+(\d{1,2}):(\d{2})\s*([AaPp][Mm])?\s+(<DIR>|\d+)\s+(.+)$)"_s);

    EntradaListado e;
    QRegularExpressionMatch m = unix.match(linea);
    const bool conHora = m.hasMatch();
    if (!conHora)
        m = unixAno.match(linea);
    if (m.hasMatch()) {
        const QChar tipo = m.captured(1).at(0);
        e.carpeta = tipo == u'd';
        e.soloLectura = m.captured(2).at(1) != u'w';
        e.tamano = m.captured(3).toLongLong();
        const int mes = numeroDeMes(m.captured(4));
        const int dia = m.captured(5).toInt();
        if (mes == 0)
            return false;
        if (conHora) {
            const QTime hora(m.captured(6).toInt(), m.captured(7).toInt());
            const QDateTime ref = ahora.toUTC();
            QDateTime t(QDate(ref.date().year(), mes, dia), hora, Qt::UTC);
            // A listing shows the time instead of the year for the last months; a date ahead of
            // today (beyond clock skew) belongs to last year.
            if (t > ref.addDays(1))
                t = QDateTime(QDate(ref.date().year() - 1, mes, dia), hora, Qt::UTC);
            e.modificado = t;
            e.nombre = m.captured(8);
        } else {
            e.modificado = QDateTime(QDate(m.captured(6).toInt(), mes, dia), QTime(0, 0), Qt::UTC);
            e.nombre = m.captured(7);
        }
        if (tipo == u'l') {
            const qsizetype flecha = e.nombre.indexOf(u" -> "_s);
            if (flecha > 0)
                e.nombre.truncate(flecha);
        }
    } else {
        m = dos.match(linea);
        if (!m.hasMatch())
            return false;
        int ano = m.captured(3).toInt();
        if (m.capturedLength(3) == 2)
            ano += ano < 70 ? 2000 : 1900;
        int horas = m.captured(4).toInt();
        const QString meridiano = m.captured(6).toUpper();
        if (meridiano == u"PM"_s && horas < 12)
            horas += 12;
        else if (meridiano == u"AM"_s && horas == 12)
            horas = 0;
        e.modificado = QDateTime(QDate(ano, m.captured(1).toInt(), m.captured(2).toInt()),
                                 QTime(horas, m.captured(5).toInt()), Qt::UTC);
        e.carpeta = m.captured(7) == u"<DIR>"_s;
        e.tamano = e.carpeta ? 0 : m.captured(7).toLongLong();
        e.nombre = m.captured(8);
    }
    if (!e.modificado.isValid() || e.nombre.isEmpty() || e.nombre == u"."_s || e.nombre == u".."_s)
        return false;
    entrada = e;
    return true;
}

qint64 atributos(const EntradaListado& entrada) {
    qint64 a = 0;
    if (entrada.carpeta)
        a |= AtributoFTP::Directory;
    if (entrada.soloLectura)
        a |= AtributoFTP::ReadOnly;
    if (a == 0)
        a = AtributoFTP::Normal;
    return a;
}

bool coincide(const QString& patron, const QString& nombre) {
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(patron));
    return re.match(nombre).hasMatch();
}

bool tieneComodines(const QString& texto) {
    return texto.contains(u'*') || texto.contains(u'?') || texto.contains(u'[');
}

} // namespace listado
