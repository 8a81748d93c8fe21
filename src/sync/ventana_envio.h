#pragma once

#include "services/valor.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What a send run tells at its end.
struct ResumenEnvio {
    enum class Estado {
        Terminado,        // the product loop ran to its end
        Interrumpido,     // the user asked to stop
        MapeoInvalido,    // refused before opening anything
        AjustesIlegibles, // values it needs are encrypted under another key: refused likewise
        EnCurso,          // another run on the same settings file or shop database is active
        SinConexion,      // a database did not open (or could not be reopened)
        ErrorLectura,     // the product list could not be read
        TiendaNoSirve, // the shop lacks a table, column or privilege the run needs: nothing written
    };
    Estado estado = Estado::Terminado;
    QString mensaje; // why the run stopped early, for the user
    qint64 leidos = 0;
    qint64 creados = 0;
    qint64 actualizados = 0; // existing products with something changed
    qint64 sinCambios = 0;   // existing products the shop already held as they are
    qint64 fallidos = 0;
    // Products written, but with a value the shop's column could not hold as sent (cut, replaced).
    qint64 conAvisos = 0;
    // Of the failed, those whose key the shop's key column takes for another's ("CASO-01" after
    // "caso-01").
    qint64 gemelas = 0;
    struct Fallo {
        QString clave;
        QString mensaje;       // the server's or the run's own, without the statement (in the log)
        QString descripcion{}; // the product's name in the point of sale
    };
    QList<Fallo> productosFallidos; // in send order
    qint64 sentencias = 0;          // statements and queries sent to both servers
    qint64 viajesTienda = 0;        // round trips to the shop's server
    double segundos = 0;
    QString rutaBitacora;
    // The catalogue around the products.
    qint64 categoriasCreadas = 0;
    qint64 fabricantesCreados = 0;
    qint64 enlacesCategoria = 0; // product-category links made
    qint64 enlacesQuitados = 0;  // Vendaro's links taken back when a line changed
    qint64 palabrasCreadas = 0;  // search-friendly keywords made
    qint64 bajas = 0;            // products that left the point of sale, taken out of sale
    qint64 vuelven = 0;          // products back in the point of sale, back on sale
    QString bajasDetenidas;      // why none was taken out of sale (too many at once)
    int cacheBorrada = 0;        // files of the shop's cache deleted; -1: no cache folder set
    QStringList avisosEnvio;     // what the run could not do, though the products went
    // The picture pass, when it was asked for.
    bool conImagenes = false;
    qint64 imagenesSubidas = 0;
    qint64 imagenesFallidas = 0;
    QString motivoImagenes; // why pictures failed: the server's reason (login, folder, upload)

    // Every product read was written.
    bool completo() const {
        return estado == Estado::Terminado && fallidos == 0 &&
               creados + actualizados + sinCambios == leidos && imagenesFallidas == 0 &&
               bajasDetenidas.isEmpty();
    }
    QString texto() const;
    // "1 producto no se envió", "2 productos no se enviaron".
    static QString textoNoEnviados(qint64 n);
    // What went wrong, in a sentence for a notification: failed products and pictures, or why the
    // run stopped. Empty when nothing did.
    QString textoProblemas() const;
};

// A server's message without the statement it answered ("Error 1644 al ejecutar «UPDATE …»: x"
// becomes "Error 1644: x"), for the window; the log keeps the whole text.
QString sinSentencia(const QString& error);

// One change a dry run found: the value a column of a shop row would get.
struct CambioPrevisto {
    QString tabla;
    QString clave;          // the point-of-sale product's key
    bool insercion = false; // the row would be inserted (anterior is then null)
    QString columna;
    Valor anterior;
    Valor posterior;
};

// How a run shows itself: the tray program's main page and the command line implement it. The run
// may call it from a worker thread; implementations marshal to their own thread.
class VentanaEnvio {
public:
    virtual ~VentanaEnvio() = default;
    // The databases are open and the products are about to be read ("Interrumpir" from now on).
    virtual void inicio() {}
    // Product n (from 1) of total is being written.
    virtual void producto(const QString& clave, const QString& descripcion, qint64 n,
                          qint64 total) {
        Q_UNUSED(clave)
        Q_UNUSED(descripcion)
        Q_UNUSED(n)
        Q_UNUSED(total)
    }
    // The picture pass is on product n (from 1) of total.
    virtual void imagenProducto(const QString& clave, const QString& descripcion, qint64 n,
                                qint64 total) {
        Q_UNUSED(clave)
        Q_UNUSED(descripcion)
        Q_UNUSED(n)
        Q_UNUSED(total)
    }
    // The product's picture files are being uploaded (the progress bar shows) or done.
    virtual void subiendoArchivos(bool subiendo) { Q_UNUSED(subiendo) }
    // The one-shot request to upload pictures with this run, and its clearing at the end.
    virtual bool imagenesPedidas() { return false; }
    virtual void limpiarImagenes() {}
    // A dry run reports what it would write, one column of one row at a time.
    virtual void cambioPrevisto(const CambioPrevisto& cambio) { Q_UNUSED(cambio) }
    // The run has finished (whatever happened).
    virtual void fin(const ResumenEnvio& resumen) { Q_UNUSED(resumen) }
};
