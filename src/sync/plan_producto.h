#pragma once

#include "config/estrucs.h"
#include "services/valor.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class BuscadorNombres;
class Conexion;
class Recordset;
struct Consulta;

// What a send run decides for one product, apart from the statements that carry it to the shop: the
// values of the product's own row, the rows of external tables, and the sizes or colours with their
// stock.

// One mapped column written into an external table, in one or more rows of the product.
struct EscrituraExterna {
    QString tabla;
    QString columna; // receives the value
    Valor valor;
    QString llaveEnProds; // web product column whose value identifies the product
    QString llave;        // key column of the external table
    // One entry per external row: the extra condition (column, value) that picks it; a plain key
    // has a single row without extra condition (empty column).
    QList<std::pair<QString, QString>> filas;
};

struct Existencia {
    QString referencia; // size or colour name
    Valor cantidad;
};

// A row of a point-of-sale table a product points at by its id (line, sub-line, brand).
struct Relacion {
    qint64 id = 0;
    QString nombre;
    // NULL, 0 and an id without a row (or without a name) point at nothing.
    bool valida() const { return id > 0 && !nombre.trimmed().isEmpty(); }
    bool operator==(const Relacion&) const = default;
};

// Where a product belongs in the shop's catalogue: its line, sub-line and brand.
struct Pertenencia {
    Relacion linea;
    Relacion sublinea;
    Relacion marca;
    bool operator==(const Pertenencia&) const = default;
};

struct PlanProducto {
    QString clave;
    QString descripcion;
    QStringList columnas; // web product columns; the first is the key column
    QList<Valor> valores; // at the same positions
    QList<EscrituraExterna> externas;
    QList<Existencia> existencias; // in Referencia order
    Pertenencia pertenencia;       // read when the catalogue features are on
};

// The run's mapping check: an empty mapping, a first entry other than "Clave", or a "Clave" entry
// that goes to an external table, is refused with a message. True when the run may go on.
bool ValidarCamposEnvio(const clnCampos& campos);

// The key column and the conditions of an external table as written in LlaveEnTablaExterna: a plain
// column name, or the key column followed by ",column=value" conditions, one external row each.
// Conditions without an equals sign are reported in *descartadas and left out.
void AnalizarLlaveExterna(const QString& texto, QString* llave,
                          QList<std::pair<QString, QString>>* filas, QStringList* descartadas);

// Builds the plans of a run's products from their point-of-sale rows.
class PlanificadorEnvio {
public:
    PlanificadorEnvio(const clnCampos& campos, BuscadorNombres& nombres);

    // The web product columns, key first, in mapping order.
    const QStringList& columnas() const { return m_columnas; }
    // The layout every plan has: its columns and external rows, without values.
    PlanProducto modelo() const;

    // The stock rows of every product, read once (existenciaexterna, by product, in Referencia
    // order).
    bool cargarExistencias(Conexion& pos, QString* error);
    // Once every product is planned: the stock rows are the run's largest structure.
    void soltarExistencias() {
        m_existencias = {};
        m_sinMayusculas = {};
    }

    // The size or colour names of the products, each once, in the order the run first uses them.
    QStringList nombresDeExistencias(const QStringList& claves) const;

    // The plan for the product on the recordset's current row; false with *error when a mapped
    // column is missing or a related name cannot be read.
    bool planificar(const Recordset& producto, PlanProducto* plan, QString* error) const;

    // Also read each product's line, sub-line and brand (the point-of-sale columns "linea",
    // "sublinea", "marca").
    void conPertenencia(bool si) { m_conPertenencia = si; }
    static inline const QStringList ColumnasPertenencia{
        QStringLiteral("linea"), QStringLiteral("sublinea"), QStringLiteral("marca")};
    // The distinct lines, sub-lines and brands of the products the query reads, with their names.
    bool pertenencias(Conexion& pos, const Consulta& productos, QList<Pertenencia>* lista,
                      QString* error) const;

private:
    clnCampos m_campos;
    // Per mapping entry, its external table's key as written in the mapping, read once.
    struct Externa {
        QString llave;
        QList<std::pair<QString, QString>> filas;
        QStringList descartadas;
    };
    QList<Externa> m_externas;
    BuscadorNombres& m_nombres;
    QStringList m_columnas;
    bool m_conExistencias = false;
    bool m_conPertenencia = false;
    bool pertenenciaDe(const QList<Valor>& ids, Pertenencia* p, QString* error) const;
    QList<Existencia> existenciasDe(const QString& clave) const;
    QHash<QString, QList<Existencia>> m_existencias; // product key → stock rows
    QHash<QString, QStringList> m_sinMayusculas;     // lower-cased key → keys of m_existencias
};
