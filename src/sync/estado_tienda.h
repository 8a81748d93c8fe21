#pragma once

#include "plan_producto.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// What a batched send learnt of the shop, kept beside the settings file for the next one so that a
// send whose point of sale and shop have not changed moves almost nothing over the line:
// - per point-of-sale key, the primary key of its product row and a digest of what the send decided
//   from (its plan); the weights of the keys under the shop's key column and the rows they find;
// - the ids of each product's option and stock rows;
// - per table, the server's own checksum of the rows the run decides on, in buckets of products
//   (their primary key divided by TamanoCubeta): count, and XOR of a 64-bit digest of each row.
// At the next send the server checksums the buckets again: a product is skipped only when its plan
// is the one noted and its bucket's checksums are those noted, so a change made in the shop by hand
// is read and decided as before. Checksums are only ever compared with the server's own, so no
// type, collation or encoding has to be rendered alike on this side. Tied to a fingerprint of the
// shop and of the settings that decide what is written: any change there and the file is ignored.
class EstadoTienda {
public:
    static constexpr qint64 TamanoCubeta = 256;

    struct Producto {
        qint64 fila = 0; // the product row its key found (0: none)
        QByteArray plan;
    };
    struct Suma {
        qint64 filas = 0;
        quint64 mezcla = 0;
        bool operator==(const Suma&) const = default;
    };
    // Table (or "table|what") → bucket → checksum.
    using Sumas = QHash<QString, QHash<qint64, Suma>>;

    QByteArray huella; // of the shop and the settings
    QByteArray cuenta; // of the shop's account and the tables it writes, as a send found it able to
    QHash<QString, Producto> productos; // by point-of-sale key
    QHash<QString, QString> pesos;      // key as stored → its weight under the key column
    QHash<QString, QString> filaDePeso; // weight → primary key of the first row of that weight
    qint64 ultimaFila = 0;              // the product table's highest primary key
    QHash<qint64, QList<qint64>> opcionesDe;    // product id → option rows
    QHash<qint64, QList<qint64>> existenciasDe; // product id → stock rows
    qint64 ultimaOpcion = 0;
    qint64 ultimaExistencia = 0;
    Sumas sumas;

    // The file beside the settings: "<base>.tienda".
    static QString rutaPara(const QString& rutaIni);
    // False (and an empty state) when the file is missing, damaged or of another format.
    bool leer(const QString& ruta);
    bool guardar(const QString& ruta, QString* error) const;

    // The digest of what the send decides from for a product.
    static QByteArray huellaPlan(const PlanProducto& plan);
    // The buckets whose checksums differ between two readings, in any table; a table absent from
    // either makes every bucket count as changed (*todas).
    static QSet<qint64> cubetasDistintas(const Sumas& antes, const Sumas& ahora, bool* todas);
};
