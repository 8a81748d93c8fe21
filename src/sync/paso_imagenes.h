#pragma once

#include "services/recordset.h"
#include "valores_iniciales.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

struct Ajustes;
class BasesDD;
class Conexion;
class LoteSql;
class ManifiestoImagenes;
class VentanaEnvio;
class clsFTP;

// The picture files of a product: the normal files of the point-of-sale picture folder named after
// its key with any extension ("P0001.jpg", "P0001.back.png"), matched without regard to letter
// case, in name order. An empty folder setting searches nothing.
QStringList ArchivosDeImagen(const QString& carpeta, const QString& clave);

// The picture folder read once: the files of every key, for a pass over thousands of products.
class CarpetaImagenes {
public:
    explicit CarpetaImagenes(const QString& carpeta);
    QStringList de(const QString& clave) const;

private:
    QHash<QString, QStringList> m_porClave; // lower-cased key → its files, in name order
};

// The second half of a send run: uploads each product's picture files by FTP and records the
// uploaded names in the web picture table, and the first one as the product's main picture when
// it has none. A picture is recorded only once it is on the server.
//
// Only files whose content changed since their last successful upload to that server and folder
// are sent (a manifest of content hashes beside the settings file, checked against the sizes of
// one listing of the remote folder, so a file removed or replaced on the server goes again); every
// name is still recorded. A refused login or an unreachable server ends the uploads at the first
// failure, and the remaining files count as failed.
class PasoImagenes {
public:
    // ftp: the window's client (its progress shows), or null for a client of the pass's own.
    PasoImagenes(BasesDD& web, Conexion& cn, const Ajustes& ajustes, const QString& columnaLlave,
                 const QString& carpetaPrograma, clsFTP* ftp);
    ~PasoImagenes();

    struct Producto {
        QString clave;
        QString descripcion;
    };
    // The products of a run's product list (columns Clave and Descrip), in its order.
    static QList<Producto> productosDe(Recordset& productos);

    struct Cuenta {
        qint64 subidas = 0;    // sent and recorded
        qint64 sinCambios = 0; // already on the server with this content, recorded
        qint64 fallidas = 0;   // not sent or not recorded
        bool interrumpido = false;
        QString motivo; // the first failure's reason, as the server or the shop gave it
    };
    // Uploads and records the pictures of the products, stopping between products when
    // interrumpir is set, and ends the FTP session.
    Cuenta enviar(const QList<Producto>& productos, std::atomic<bool>& interrumpir,
                  VentanaEnvio& ventana);

private:
    // A product whose pictures are on the server, to be recorded.
    struct Registro {
        QString clave;
        QStringList archivos; // name order
        qint64 subidas = 0;
        qint64 sinCambios = 0;
    };
    // What one product's recording writes.
    struct Escritura {
        Valor identificador;
        bool crearFila = false;     // no picture row yet
        bool cambiarImagen = false; // the picture row holds another name
        QString imagen;             // the name the picture row ends with
        bool fijarPrincipal = false;
        QString principal; // the product's main picture, when it has none
    };

    bool conectar(QString* error);
    bool prepararServidor(QString* error);
    QString nombreRemoto(const QString& archivo) const;
    void registrar(const QList<Registro>& registros, Cuenta& cuenta);
    // Records a group of products with a few round trips. False when a statement failed (what
    // the group wrote is then undone where the shop can undo it); products that cannot be
    // recorded for reasons of their own go to *fallos (index, why) and the rest is written.
    bool registrarGrupo(const QList<Registro>& grupo, const QStringList& columnas, int principal,
                        QList<std::pair<qsizetype, QString>>* fallos, QString* error);
    // The rows of `tabla` whose `columna` equals each value, as the server's own comparison finds
    // them (one look-up per chunk of values); columns in the order asked, the key column first.
    bool leerPorClaves(const QString& tabla, const QString& columna, const QStringList& columnas,
                       const QStringList& valores, QHash<QString, QList<Valor>>& filas,
                       QString* error);
    void encolar(const Escritura& w, LoteSql& lote);

    BasesDD& m_web;
    Conexion& m_cn;
    const Ajustes& m_ajustes;
    QString m_columnaLlave; // the web product table's key column
    QString m_carpetaPrograma;
    std::unique_ptr<clsFTP> m_ftpPropio;
    clsFTP& m_ftp;
    QHash<QString, qint64> m_remotos; // name → size in the remote folder
    ValoresIniciales m_defectos;
    bool m_defectosLeidos = false;
};
