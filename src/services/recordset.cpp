#include "recordset.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace Sql {

QString where(const Conexion& cn, const Condicion& condicion) {
    QStringList partes;
    for (const auto& [columna, valor] : condicion)
        partes.append(valor.esNulo() ? Conexion::identificador(columna) + u" IS NULL"_s
                                     : Conexion::identificador(columna) + u'=' + cn.literal(valor));
    return partes.join(u" AND "_s);
}

QString select(const Conexion& cn, const Consulta& c) {
    QString sql = u"SELECT "_s;
    if (c.columnas.isEmpty()) {
        sql += u'*';
    } else {
        QStringList lista;
        for (const QString& col : c.columnas)
            lista.append(Conexion::identificador(col));
        sql += lista.join(u',');
    }
    sql += u" FROM "_s + Conexion::identificador(c.tabla);
    QStringList condiciones;
    if (!c.donde.isEmpty())
        condiciones.append(where(cn, c.donde));
    if (c.tramo) {
        const QString col = Conexion::identificador(c.tramo->columna);
        if (!c.tramo->desde.esNulo())
            condiciones.append(col + u">="_s + cn.literal(c.tramo->desde));
        if (!c.tramo->hasta.esNulo()) {
            const QString hasta =
                col + (c.tramo->hastaIncluido ? u"<="_s : u"<"_s) + cn.literal(c.tramo->hasta);
            condiciones.append(
                c.tramo->desde.esNulo() ? u'(' + hasta + u" OR "_s + col + u" IS NULL)"_s : hasta);
        }
    }
    if (!condiciones.isEmpty())
        sql += u" WHERE "_s + condiciones.join(u" AND "_s);
    if (!c.ordenarPor.isEmpty())
        sql += u" ORDER BY "_s + Conexion::identificador(c.ordenarPor);
    if (c.limite >= 0)
        sql += u" LIMIT "_s + QString::number(c.limite);
    return sql;
}

QString insert(const Conexion& cn, const QString& tabla, const QStringList& columnas,
               const QList<Valor>& valores) {
    QStringList cols;
    QStringList vals;
    for (qsizetype i = 0; i < columnas.size(); ++i) {
        cols.append(Conexion::identificador(columnas[i]));
        vals.append(cn.literal(valores.value(i)));
    }
    return u"INSERT INTO "_s + Conexion::identificador(tabla) + u" ("_s + cols.join(u',') +
           u") VALUES ("_s + vals.join(u',') + u')';
}

QString update(const Conexion& cn, const QString& tabla, const QStringList& columnas,
               const QList<Valor>& valores, const Condicion& condicion, qint64 limite) {
    QStringList asignaciones;
    for (qsizetype i = 0; i < columnas.size(); ++i)
        asignaciones.append(Conexion::identificador(columnas[i]) + u'=' +
                            cn.literal(valores.value(i)));
    QString sql =
        u"UPDATE "_s + Conexion::identificador(tabla) + u" SET "_s + asignaciones.join(u',');
    if (!condicion.isEmpty())
        sql += u" WHERE "_s + where(cn, condicion);
    if (limite >= 0)
        sql += u" LIMIT "_s + QString::number(limite);
    return sql;
}

QString borrar(const Conexion& cn, const QString& tabla, const Condicion& condicion) {
    return u"DELETE FROM "_s + Conexion::identificador(tabla) + u" WHERE "_s +
           (condicion.isEmpty() ? u"1=0"_s : where(cn, condicion));
}

} // namespace Sql

bool Recordset::abrir(Conexion& cn, const Consulta& consulta) {
    cerrar();
    ResultadoConsulta r;
    if (!cn.consultar(Sql::select(cn, consulta), r)) {
        m_ultimoError = cn.ultimoError();
        return false;
    }
    m_abierto = true;
    m_tabla = consulta.tabla;
    m_conexion = &cn;
    m_campos = std::move(r.campos);
    m_filas = std::move(r.filas);
    for (int i = 0; i < m_campos.size(); ++i) {
        m_indices.insert(m_campos[i].Name.toLower(), i);
        m_indices.insert(m_campos[i].Name, i);
    }
    return true;
}

void Recordset::cerrar() {
    m_abierto = false;
    m_tabla.clear();
    m_conexion = nullptr;
    m_campos.clear();
    m_indices.clear();
    m_filas.clear();
    m_fila = 0;
    m_enAlta = false;
    m_columnasAlta.clear();
    m_valoresAlta.clear();
}

int Recordset::indice(const QString& nombre) const {
    // Callers mostly spell a field as the server does: found without building a lower-cased copy.
    const auto tal = m_indices.constFind(nombre);
    return tal != m_indices.cend() ? *tal : m_indices.value(nombre.trimmed().toLower(), -1);
}

Valor Recordset::valor(int i) const {
    if (Eof() || i < 0 || i >= m_campos.size())
        return {};
    return m_filas[m_fila].value(i);
}

Valor Recordset::valor(const QString& nombre, bool* existe) const {
    const int i = indice(nombre);
    if (existe)
        *existe = i >= 0;
    return valor(i);
}

void Recordset::AddNew() {
    m_enAlta = true;
    m_columnasAlta.clear();
    m_valoresAlta.clear();
}

void Recordset::fijar(const QString& columna, const Valor& v) {
    if (m_enAlta) {
        for (qsizetype i = 0; i < m_columnasAlta.size(); ++i) {
            if (m_columnasAlta[i].compare(columna.trimmed(), Qt::CaseInsensitive) == 0) {
                m_valoresAlta[i] = v;
                return;
            }
        }
        m_columnasAlta.append(columna.trimmed());
        m_valoresAlta.append(v);
        return;
    }
    const int i = indice(columna);
    if (!Eof() && i >= 0)
        m_filas[m_fila][i] = v;
}

QString Recordset::sentenciaAlta(const Conexion& cn, const QString& tabla) const {
    return Sql::insert(cn, tabla, m_columnasAlta, m_valoresAlta);
}

bool Recordset::Update() {
    if (!m_enAlta)
        return true;
    if (!m_conexion || m_tabla.isEmpty()) {
        m_ultimoError = u"El recordset no tiene conexión activa"_s;
        return false;
    }
    if (!m_conexion->Execute(sentenciaAlta(*m_conexion, m_tabla))) {
        m_ultimoError = m_conexion->ultimoError();
        return false;
    }
    m_ultimoId = m_conexion->ultimoIdInsertado();
    QList<Valor> fila(m_campos.size());
    for (qsizetype i = 0; i < m_columnasAlta.size(); ++i) {
        const int j = indice(m_columnasAlta[i]);
        if (j >= 0)
            fila[j] = m_valoresAlta[i];
    }
    for (int j = 0; j < m_campos.size(); ++j)
        if (m_campos[j].autoIncremento && fila[j].esNulo() && m_ultimoId)
            fila[j] = Valor::numero(qint64(m_ultimoId));
    m_filas.append(fila);
    m_fila = m_filas.size() - 1;
    m_enAlta = false;
    return true;
}
