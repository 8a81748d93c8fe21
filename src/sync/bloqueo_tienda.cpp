#include "bloqueo_tienda.h"

#include <QCryptographicHash>

using namespace Qt::StringLiterals;

namespace {
constexpr qsizetype LargoMaximoBloqueo = 64;
}

BloqueoTienda::BloqueoTienda(const DatosConexion& tienda, const OpcionesConexion& opciones,
                             int segundosEspera)
    : m_tienda(tienda)
    , m_opciones(opciones)
    , m_segundosEspera(segundosEspera)
    , m_base(tienda.base)
    , m_nombre(nombreBloqueo(tienda.base)) {
    // The lock's session needs no database of its own, keeps the server's sql_mode and commits
    // nothing; it stays idle through the run, so the server must not end it as idle.
    m_tienda.base.clear();
    m_opciones.sqlMode = QString();
    m_opciones.autocommit = true;
    // Its statements answer at once, or after the wait GET_LOCK asks for: a server that hangs
    // does not hold the run much longer than that.
    m_opciones.segundosLectura = unsigned(segundosEspera) + 10;
    m_opciones.segundosEscritura = m_opciones.segundosLectura;
}

BloqueoTienda::~BloqueoTienda() {
    soltar(false);
}

void BloqueoTienda::soltar(bool tiendaPerdida) {
    if (m_cn.abierta() && !tiendaPerdida)
        m_cn.Execute(u"DO RELEASE_LOCK("_s + m_cn.literal(Valor(m_nombre)) + u')');
    m_cn.cerrar();
}

QString BloqueoTienda::nombreBloqueo(const QString& base) {
    const QString nombre = u"vendaro:"_s + base;
    if (nombre.size() <= LargoMaximoBloqueo)
        return nombre;
    const QByteArray resumen =
        QCryptographicHash::hash(base.toUtf8(), QCryptographicHash::Sha256).toHex();
    return u"vendaro:"_s + QString::fromLatin1(resumen.left(LargoMaximoBloqueo - 8));
}

bool BloqueoTienda::tomar() {
    m_descripcion.clear();
    m_ocupado = false;
    if (!m_cn.abrir(m_tienda, m_opciones) || !m_cn.Execute(u"SET SESSION wait_timeout=86400"_s)) {
        m_descripcion =
            u"No se pudo pedir el bloqueo de la tienda «%1»: %2"_s.arg(m_base, m_cn.ultimoError());
        return false;
    }
    ResultadoConsulta r;
    if (!m_cn.consultar(
            u"SELECT GET_LOCK(%1, %2)"_s.arg(m_cn.literal(Valor(m_nombre))).arg(m_segundosEspera),
            r) ||
        r.filas.isEmpty()) {
        m_descripcion =
            u"No se pudo pedir el bloqueo de la tienda «%1»: %2"_s.arg(m_base, m_cn.ultimoError());
        m_cn.cerrar();
        return false;
    }
    if (r.filas[0][0].texto() == u"1"_s)
        return true;
    m_ocupado = true;
    m_descripcion = u"Otro envío a la tienda «%1» está en curso%2; este envío termina sin escribir "
                    u"en ella"_s.arg(m_base, quienLoTiene());
    m_cn.cerrar();
    return false;
}

QString BloqueoTienda::quienLoTiene() {
    // A session of the same user is visible without the PROCESS privilege; two workstations of
    // one shop usually share its user.
    ResultadoConsulta r;
    const QString sql = u"SELECT l.id, p.HOST, p.USER FROM (SELECT IS_USED_LOCK(%1) AS id) l "
                        u"LEFT JOIN information_schema.PROCESSLIST p ON p.ID = l.id"_s.arg(
                            m_cn.literal(Valor(m_nombre)));
    if (!m_cn.consultar(sql, r) || r.filas.isEmpty() || r.filas[0][0].esNulo())
        return {};
    const QList<Valor>& fila = r.filas[0];
    if (fila[1].esNulo())
        return u" (sesión %1 del servidor)"_s.arg(fila[0].texto());
    return u" desde %1 (usuario %2, sesión %3 del servidor)"_s.arg(fila[1].texto(), fila[2].texto(),
                                                                   fila[0].texto());
}

bool BloqueoTienda::asegurar() {
    ResultadoConsulta r;
    if (m_cn.abierta() &&
        m_cn.consultar(
            u"SELECT IS_USED_LOCK(%1) = CONNECTION_ID()"_s.arg(m_cn.literal(Valor(m_nombre))), r) &&
        !r.filas.isEmpty() && r.filas[0][0].texto() == u"1"_s)
        return true;
    return tomar();
}
