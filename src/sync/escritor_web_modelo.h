#pragma once

// The model of the shop's rows that the files of EscritorWeb share: what a block read, what it
// decided to write, and the helpers both sides use.

#include "escritor_web.h"
#include "escritura.h"
#include "registro_tienda.h"
#include "services/conexion.h"
#include "services/recordset.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

struct EscritorWeb::Fila {
    // Lower-cased column → position, shared by the rows of one read: a block holds thousands of
    // rows, and a table of names per row cost more than the values.
    using Forma = QHash<QString, int>;
    std::shared_ptr<const Forma> forma;
    QList<Valor> valores;
    QString peso;
    int insercion = -1; // pending insert of this block that makes the row

    static QString nombre(const QString& c) { return c.trimmed().toLower(); }
    static std::shared_ptr<const Forma> formaDe(const QStringList& columnas) {
        auto forma = std::make_shared<Forma>();
        forma->reserve(columnas.size());
        for (qsizetype i = 0; i < columnas.size(); ++i)
            forma->insert(nombre(columnas[i]), int(i));
        return forma;
    }
    int posicion(const QString& c) const { return forma ? forma->value(nombre(c), -1) : -1; }
    Valor valor(const QString& c) const {
        const int i = posicion(c);
        return i < 0 ? Valor() : valores[i];
    }
    bool tiene(const QString& c) const { return posicion(c) >= 0; }
    void poner(const QString& c, const Valor& valor) {
        if (const int i = posicion(c); i >= 0) {
            valores[i] = valor;
            return;
        }
        auto otra = std::make_shared<Forma>(forma ? *forma : Forma());
        otra->insert(nombre(c), int(valores.size()));
        forma = std::move(otra);
        valores.append(valor);
    }
};

namespace escritor {
// The weight of a product row's key, read with its columns.
inline const QString ColumnaPeso = QStringLiteral("vendaro_peso");
// An id the shop has not given yet, as a dry run shows it.
inline const QString Nuevo = QStringLiteral("(nuevo)");

inline QString id(const QString& nombre) {
    return Conexion::identificador(nombre);
}

// Sets a column of a write, once whatever its letter case.
void fijar(Escritura& e, const QString& columna, const Valor& valor);
// A value as identity: numbers at the column's scale, text as it is.
QString identidad(const ColumnaTienda* columna, const Valor& valor);
// The row an insert will make, as the block sees it until the shop gives it back with its ids.
EscritorWeb::Fila filaNueva(const Escritura& alta, int insercion);
// A new row's text columns that nothing fills get the empty text, as the shop's admin writes
// them: OpenCart 4.1's columns take NULL, and its pages break on it.
void completarTextos(Escritura& alta, const TablaTienda& tabla);
// The rows of a query, sharing their column positions.
QList<EscritorWeb::Fila> filasDe(const ResultadoConsulta& r);

// Rows with an index on the key the run looks them up by, so a block costs linear time.
struct Indice {
    QList<EscritorWeb::Fila> filas;
    QHash<QString, QList<int>> por;

    template <typename Clave>
    void poner(QList<EscritorWeb::Fila> nuevas, Clave clave) {
        filas = std::move(nuevas);
        por.clear();
        for (int i = 0; i < filas.size(); ++i)
            por[clave(filas[i])].append(i);
    }
    int agregar(const EscritorWeb::Fila& fila, const QString& clave) {
        filas.append(fila);
        por[clave].append(int(filas.size() - 1));
        return int(filas.size() - 1);
    }
    EscritorWeb::Fila* primera(const QString& clave) {
        const auto it = por.constFind(clave);
        return it == por.constEnd() || it->isEmpty() ? nullptr : &filas[it->first()];
    }
};
} // namespace escritor

struct EscritorWeb::Bloque {
    const QList<PlanProducto>* planes = nullptr;
    QList<ResultadoProducto>* resultados = nullptr;
    QStringList llaves;            // the key as stored, per product
    QStringList crudas;            // the key in the form the other text setting stores it, or null
    QHash<QString, QString> pesos; // key text → weight under the key column's collation
    escritor::Indice productos;    // in primary-key order, by key weight
    QList<int> filaDe;             // per product: its row in productos, or -1
    QHash<QString, escritor::Indice> externas; // "table|key|product column" → rows by key value
    escritor::Indice opciones;             // product options of the block's products, by product id
    escritor::Indice valores;              // their stock rows, by option, product and value
    escritor::Indice tiendas;              // their store links, by product and store
    escritor::Indice enCategorias;         // their category links, by product and category
    RegistroDeBloque registro;             // what the record says of their keys
    QSet<QString> palabras;                // "store|language|object" of their keywords
    QList<escritor::Escritura> escrituras; // decided, not yet sent
    bool hayInserciones = false;
    bool escrito = false; // some of its writes were sent
};
