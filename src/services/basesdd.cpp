#include "basesdd.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcBd)

DatosConexion BasesDD::datosConexion(const QString& base) const {
    return DatosConexion{cRuta, cPuerto, cUsuario, cPassword, base, cIlegible};
}

bool BasesDD::AbrirBdD(Conexion& cn, const QString& base) {
    const DatosConexion datos = datosConexion(base);
    if (cn.abierta() && cn.datos() == datos && cn.opciones() == opciones)
        return true;
    if (cn.abrir(datos, opciones))
        return true;
    qCWarning(lcBd).noquote() << "No se abrió la base de datos" << base << "en" << cRuta << ":"
                              << cn.ultimoError();
    return false;
}

void BasesDD::CierraBdD(Conexion& cn) {
    cn.cerrar();
}

bool BasesDD::AbrirTabla(Recordset& rs, Conexion& cn, const Consulta& consulta) {
    if (!rs.abrir(cn, consulta)) {
        qCWarning(lcBd).noquote() << "No se abrió la tabla" << consulta.tabla << ":"
                                  << rs.ultimoError();
        return false;
    }
    return rs.RecordCount() > 0;
}

void BasesDD::CierraTabla(Recordset& rs) {
    rs.cerrar();
}

Valor BasesDD::LeeDato(const QString& nombre, Conexion& cn, const QString& tabla) {
    Recordset rs;
    if (!AbrirTabla(rs, cn, Consulta(tabla).con({nombre}).limitar(1)))
        return {};
    return rs.valor(0);
}

qint64 BasesDD::LastId(Conexion& cn, const QString& tabla, const QString& columnaId) {
    ResultadoConsulta r;
    const QString sql = u"SELECT MAX("_s + Conexion::identificador(columnaId) + u") FROM "_s +
                        Conexion::identificador(tabla);
    if (!cn.consultar(sql, r)) {
        qCWarning(lcBd).noquote() << cn.ultimoError();
        return 0;
    }
    return r.filas.isEmpty() ? 0 : r.filas.first().value(0).texto().toLongLong();
}

namespace {
// The value to write into a column: NULL where the column takes it, otherwise the type's empty
// value. (The send run decides this itself, knowing the shop's column types.)
Valor valorParaColumna(const CampoRecordset* campo, const Valor& valor) {
    if (!valor.esNulo() || !campo || !campo->noNulo)
        return valor;
    return campo->numerico ? Valor(u"0"_s) : Valor(QString());
}
} // namespace

bool BasesDD::ActualizaRegistro(Conexion& cn, const Recordset& rs, const QString& tabla,
                                const QStringList& nombres, const QList<Valor>& valores,
                                const Condicion& condicion, qint64* afectados) {
    QList<Valor> aEscribir;
    aEscribir.reserve(nombres.size());
    for (qsizetype i = 0; i < nombres.size(); ++i) {
        const int j = rs.indice(nombres[i]);
        aEscribir.append(valorParaColumna(j >= 0 ? &rs.campo(j) : nullptr, valores.value(i)));
    }
    if (!cn.Execute(Sql::update(cn, tabla, nombres, aEscribir, condicion), afectados)) {
        qCWarning(lcBd).noquote() << "No se actualizó" << tabla << ":" << cn.ultimoError();
        return false;
    }
    return true;
}
