#pragma once

#include "conexion.h"
#include "valor.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

// Equality conditions, joined with AND.
using Condicion = QList<std::pair<QString, Valor>>;

// A query on one table: the stand-in for "table WHERE ... ORDER BY ... LIMIT n", with values kept
// apart from the statement so that they are always escaped.
struct Consulta {
    // Rows whose column lies between two values as the column's collation orders them: from
    // `desde` (included) up to `hasta` (excluded, or included with hastaIncluido). A NULL bound is
    // open; an open lower bound also takes the NULLs, which sort first.
    struct Tramo {
        QString columna;
        Valor desde;
        Valor hasta;
        bool hastaIncluido = false;
    };

    QString tabla;
    QStringList columnas; // empty: every column
    Condicion donde;
    std::optional<Tramo> tramo;
    QString ordenarPor;
    qint64 limite = -1;

    explicit Consulta(QString t = {})
        : tabla(std::move(t)) {}
    Consulta& donde_(const QString& columna, const Valor& valor) {
        donde.append({columna, valor});
        return *this;
    }
    Consulta& entre(Tramo t) {
        tramo = std::move(t);
        return *this;
    }
    Consulta& ordenar(const QString& columna) {
        ordenarPor = columna;
        return *this;
    }
    Consulta& limitar(qint64 n) {
        limite = n;
        return *this;
    }
    Consulta& con(const QStringList& lista) {
        columnas = lista;
        return *this;
    }
};

// The statements built from tables, columns and values: the one place where SQL text is made.
namespace Sql {
QString select(const Conexion& cn, const Consulta& consulta);
QString where(const Conexion& cn, const Condicion& condicion);
QString insert(const Conexion& cn, const QString& tabla, const QStringList& columnas,
               const QList<Valor>& valores);
QString update(const Conexion& cn, const QString& tabla, const QStringList& columnas,
               const QList<Valor>& valores, const Condicion& condicion, qint64 limite = -1);
// Never without a condition: an empty one deletes nothing.
QString borrar(const Conexion& cn, const QString& tabla, const Condicion& condicion);
} // namespace Sql

// Rows of a query held in memory (the stand-in for a detached ADO recordset): fields by name
// (without regard to letter case) and index, NULL values, a current row, and AddNew/Update as an
// INSERT through the active connection.
class Recordset {
public:
    // Fills the recordset from the query; false (and closed) when the query failed.
    bool abrir(Conexion& cn, const Consulta& consulta);
    void cerrar();
    bool abierto() const { return m_abierto; }
    const QString& tabla() const { return m_tabla; }

    int Count() const { return int(m_campos.size()); }
    const CampoRecordset& campo(int i) const { return m_campos[i]; }
    // The field's index, or -1.
    int indice(const QString& nombre) const;

    // The current row's value; NULL when there is no current row or no such field (*existe tells).
    Valor valor(int i) const;
    Valor valor(const QString& nombre, bool* existe = nullptr) const;

    bool Eof() const { return m_fila >= m_filas.size(); }
    void MoveNext() {
        if (!Eof())
            ++m_fila;
    }
    void MoveFirst() { m_fila = 0; }
    qint64 RecordCount() const { return m_filas.size(); }

    // Starts a new row: columns set with fijar() are inserted by Update(), the others take the
    // table's defaults.
    void AddNew();
    void fijar(const QString& columna, const Valor& valor);
    bool enAlta() const { return m_enAlta; }
    // Inserts the new row; on success it becomes the current row and ultimoId() holds its
    // AUTO_INCREMENT value.
    bool Update();
    // The INSERT of the new row into `tabla` (Update() sends it into the recordset's table), for a
    // caller that sends it along with others.
    QString sentenciaAlta(const Conexion& cn, const QString& tabla) const;
    quint64 ultimoId() const { return m_ultimoId; }

    Conexion* ActiveConnection() const { return m_conexion; }
    void setActiveConnection(Conexion* cn) { m_conexion = cn; }

    QString ultimoError() const { return m_ultimoError; }

private:
    bool m_abierto = false;
    QString m_tabla;
    Conexion* m_conexion = nullptr;
    QList<CampoRecordset> m_campos;
    QHash<QString, int> m_indices; // name, as given and lower-cased → index
    QList<QList<Valor>> m_filas;
    qsizetype m_fila = 0;
    bool m_enAlta = false;
    QStringList m_columnasAlta;
    QList<Valor> m_valoresAlta;
    quint64 m_ultimoId = 0;
    QString m_ultimoError;
};
