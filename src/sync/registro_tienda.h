#pragma once

#include "escritura.h"
#include "services/conexion.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class Conexion;

// What Vendaro made, or last wrote, in the shop, kept in a table of the shop's own named with the
// shop's prefix ("oc_vendaro_registro", so the shop's own backups carry it). It is what lets a send
// tell its own work from the owner's: a category, a link or a product the record does not name is
// the owner's, and the features that change or take back what Vendaro made leave it alone.
//
// Each row: a kind, a key (the point-of-sale product's key, a line's or a brand's id, an object's
// query), the shop row it names, and a datum (a value last written, or what a product had before
// Vendaro took it out of sale).
class RegistroTienda {
public:
    static inline const QString Producto = QStringLiteral("producto");            // made by Vendaro
    static inline const QString Categoria = QStringLiteral("categoria");          // of a line
    static inline const QString Fabricante = QStringLiteral("fabricante");        // of a brand
    static inline const QString EnlaceCategoria = QStringLiteral("en_categoria"); // fila: category
    static inline const QString EnlaceTienda = QStringLiteral("en_tienda");       // fila: store
    static inline const QString FabricanteDe = QStringLiteral("fabricante_de");   // dato: its id
    static inline const QString Palabra = QStringLiteral("palabra");              // keyword made
    static inline const QString Baja = QStringLiteral("baja");                    // out of sale

    struct Fila {
        QString tipo;
        QString clave;
        qint64 fila = 0;
        QString dato;
    };

    explicit RegistroTienda(const QString& prefijo);
    const QString& tabla() const { return m_tabla; }
    static QString tablaDe(const QString& prefijo);
    bool disponible() const { return m_disponible; }

    // Makes the table when it is missing (with the engine of the shop's product table, so that on
    // a transactional shop it commits with the rows it records). False when it cannot be made or
    // read: *aviso then says that the features needing it stay off for this send. A dry run makes
    // nothing and reads an absent table as empty.
    // existe: the table was found by a read of the shop's schema already (no need to ask);
    // probada: and this account wrote it in the last send (no need to try).
    bool preparar(Conexion& cn, const QString& motor, bool simulacro, bool existe, bool probada,
                  QString* aviso);

    // The query of the rows of those kinds and keys.
    QString consulta(const Conexion& cn, const QStringList& tipos, const QStringList& claves) const;
    static QList<Fila> filasDe(const ResultadoConsulta& r);

    // Writes that note a row (replacing the same kind, key and shop row) or forget it.
    escritor::Escritura anotar(const QString& tipo, const QString& clave, qint64 fila,
                               const QString& dato, int producto) const;
    escritor::Escritura olvidar(const QString& tipo, const QString& clave, qint64 fila,
                                int producto) const;

private:
    QString m_tabla;
    bool m_disponible = false;
};

// The rows of a block by kind and key.
struct RegistroDeBloque {
    QHash<QString, QList<RegistroTienda::Fila>> por; // "kind|key" → rows
    void poner(const QList<RegistroTienda::Fila>& filas);
    QList<RegistroTienda::Fila> de(const QString& tipo, const QString& clave) const {
        return por.value(tipo + u'|' + clave);
    }
};
