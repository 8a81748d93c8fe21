#pragma once

#include "catalogo_tienda.h"
#include "esquema_tienda.h"
#include "estado_tienda.h"
#include "lote_sql.h"
#include "plan_producto.h"
#include "registro_tienda.h"
#include "tablas_envio.h"
#include "valores_iniciales.h"
#include "ventana_envio.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Conexion;
class VentanaEnvio;

// What became of one product of a block.
struct ResultadoProducto {
    bool fallido = false;
    bool creado = false;   // its product row was new
    bool cambiado = false; // something of it was written
    bool gemela = false;   // failed: its key is another's under the shop's key column
    QString error;
    QStringList avisos;      // values the shop's columns did not take as sent
    QStringList omitidos;    // parts not sent (a size the shop cannot name): the product failed
    QStringList notas;       // repairs made (a product that was in no store), owner's values kept
    int enlacesNuevos = 0;   // category links made
    int enlacesQuitados = 0; // category links of Vendaro's taken back
    int palabras = 0;        // keywords made
    int vuelven = 0;         // back in the point of sale after Vendaro took it out of sale
};

// The products Vendaro made that left the point of sale.
struct ResultadoBajas {
    qint64 deVendaro = 0;   // products the record says Vendaro made
    qint64 candidatos = 0;  // of them, no longer in the point of sale
    qint64 hechos = 0;      // taken out of sale now
    bool detenidas = false; // too many at once, or an empty point of sale: none touched
    QString mensaje;
};

// Carries the products' plans into the shop: finds each product row by its key (as the key
// column's collation compares), decides what differs from what the shop holds, and writes only
// that: new rows with their defaults and mapped values in one statement, changed columns only,
// store links of new products, external rows and size/colour options. Decisions work on a model of
// the block's rows, so a product sees what earlier products of the run wrote.
// Blocks of one product sent statement by statement are the per-product run; larger blocks read in
// bulk and send several statements per round trip. Both reach the same end state.
// Error convention: false with the message in *error.
class EscritorWeb {
public:
    struct Configuracion {
        QString tablaProductos;
        QString campoTallaColor; // web product column holding the product id for options
        bool usaTallasOColores = false;
        bool usaTallas = false;     // sizes (true) or colours
        QString carpetaPrograma;    // where the defaults files are
        bool transaccional = false; // one transaction per block
        bool codificar = true;      // text stored as the shop's forms store it
        QList<int> tiendas{0};      // stores new products are linked to
        bool porLotes = true;       // several statements per round trip
        bool simulacro = false;     // report what would change (through the window), write nothing
        QDateTime ahora;            // the moment the run's new rows are made
        // The catalogue around the products.
        bool categorias = false;
        bool sublineas = false;
        bool fabricantes = false;
        bool palabras = false;
        bool bajas = false;           // products that left the point of sale are taken out of sale
        bool bajasDesactivan = false; // disabled (status 0) rather than out of stock
        int estadoSinExistencias = 0; // stock status for them; 0: the shop's "Out Of Stock"
        double limiteBajas = 10;      // percent of Vendaro's products one send may take out
        // What a batched send keeps of the shop for the next one (EstadoTienda), or empty; and
        // what names the shop there (server, port, database).
        QString estado;
        QString identidadTienda;
    };

    EscritorWeb(Conexion& cn, const Configuracion& configuracion, VentanaEnvio* ventana);

    // Reads the shop's tables and the server's packet limit, checks that the tables and columns
    // the run writes exist and may be written (`usos`; nothing is written otherwise), and finds or
    // creates the option values of the sizes or colours named (in first-use order).
    // Also learns which product row each point-of-sale key finds (`claves`, by key column
    // `columnaLlave`), so each block reads its rows by primary key.
    // `pertenencias`: the lines, sub-lines and brands of the products, when the catalogue
    // features are on.
    bool preparar(const QList<UsoDeTabla>& usos, const QStringList& nombresOpcion,
                  const QString& columnaLlave, const QStringList& claves,
                  const QList<Pertenencia>& pertenencias, QString* error);
    // The products' layout in the shop: their columns and external rows (a plan without values).
    void setModelo(const PlanProducto& modelo) { m_modelo = modelo; }
    // Told when a block starts being compared with the shop and when its writes go out.
    void setAlFase(std::function<void(FaseEnvio)> alFase) { m_alFase = std::move(alFase); }
    // True when, by the last send's state, the product is as the plan wants it in the shop and the
    // shop did not change around it: it need not be read nor written (counted unchanged).
    bool sinCambios(const PlanProducto& plan);
    // Notes what a block's products now are in the shop, for the next send's state.
    void anotarEnviados(const QList<PlanProducto>& planes,
                        const QList<ResultadoProducto>& resultados);
    // Writes the state for the next send (checksums taken now); a send that did not end whole
    // leaves the last one.
    bool guardarEstado(bool completo, QString* error);

    // Takes out of sale the products the record says Vendaro made whose keys are not among
    // `presentes` (the point of sale's keys this run read, `leidos` of them), unless too many would
    // go at once. False only when the shop failed.
    bool darDeBaja(const QSet<QString>& presentes, qint64 leidos, ResultadoBajas* resultado,
                   QString* error);

    // Writes a block of products. False when a statement failed: the block's transaction is rolled
    // back, and the results are not to be used.
    bool EnviarBloque(const QList<PlanProducto>& planes, QList<ResultadoProducto>* resultados,
                      QString* error);

    // The option numbers of the shop for sizes and colours, and the languages that get the names
    // when the shop has no language table.
    static constexpr int OpcionTallas = 11;
    static constexpr int OpcionColores = 5;
    static constexpr int Idiomas[2] = {1, 3};
    // The shop's tables share the prefix of the product table ("oc_" for "oc_product").
    static QString prefijoDe(const QString& tablaProductos);

    qint64 viajes() const { return m_viajes; }
    // preparar() failed because the shop lacks a table, a column or a privilege the run needs.
    bool tiendaNoSirve() const { return m_noSirve; }
    // Why the record of what Vendaro made cannot be kept (the features needing it are then off);
    // empty when it can.
    QString sinRegistro() const { return m_sinRegistro; }
    const CatalogoTienda* catalogo() const { return m_catalogo.get(); }
    RegistroTienda* registro() { return m_registro.get(); }

    struct Fila; // a shop row as read, or as this block will leave it
    struct Bloque;

private:
    bool opcionesDeValor(const QStringList& nombres, QString* error);
    QList<std::pair<QString, Valor>> defectosDe(const QString& tabla);
    const TablaTienda& tabla(const QString& nombre) const;
    QString tablaOpcion(const QString& sufijo) const { return m_prefijo + sufijo; }
    QString tiendasTexto() const;
    bool leer(Bloque& b, const QStringList& claves, bool soloFilas, QString* error);
    // The reads of leer(), queued on a batch of the caller's; hallarFilas() once it has run. With
    // soloDe, only the tables it names (trimmed, lower case) are read again.
    void pedirFilas(Bloque& b, LoteSql& lote, const QStringList& claves, bool soloFilas,
                    const QSet<QString>* soloDe = nullptr);
    void hallarFilas(Bloque& b);
    bool conocerFilas(const QStringList& claves, bool todas, QString* error);
    bool conocerFilasDe(const QStringList& claves, QString* error) {
        return conocerFilas(claves, false, error);
    }
    QString claveGuardada(const QString& clave) const;
    QString claveDeOtraForma(const QString& clave) const;
    void refusarGemelas(Bloque& b);
    void validar(Bloque& b);
    void decidirProductos(Bloque& b);
    void decidirRelacionadas(Bloque& b);
    void decidirExistencias(Bloque& b);
    void decidirCatalogo(Bloque& b);
    void leerCatalogo(Bloque& b, LoteSql& lote, const QStringList& claves,
                      const std::function<QString(const QString&, const QString&)>& deLosProductos);
    bool prepararCatalogo(const QList<Pertenencia>& pertenencias, QString* error);
    // The state of the last send (see EstadoTienda).
    bool filtroPosible() const;
    bool prepararEstado(const QStringList& claves, QString* error);
    // Every table's checksums, or with solo only those buckets of the tables bucketed by product.
    QList<std::pair<QString, QString>> consultasSuma(const QSet<qint64>* solo = nullptr) const;
    bool leerSumas(EstadoTienda::Sumas* sumas, QString* error, const QSet<qint64>* solo = nullptr);
    QString textoDeFila(const TablaTienda& t, const QStringList& columnas) const;
    QByteArray huellaConfiguracion() const;
    // The account and what it writes; with registro, also the record table (proven writable).
    QByteArray huellaCuenta(const QList<UsoDeTabla>& usos, bool registro) const;
    // Sends the writes decided so far; the block's last ones (ultima) commit its transaction.
    // Queries queued by despues go in the same round trip, after the writes; it is told the tables
    // written (trimmed, lower case), or nullptr when it cannot be told.
    using Despues = std::function<void(LoteSql&, const QSet<QString>* escritas)>;
    bool escribir(Bloque& b, bool ultima, QString* error, const Despues& despues = {});
    bool terminar(bool bien);

    Conexion& m_cn;
    Configuracion m_config;
    VentanaEnvio* m_ventana;
    std::function<void(FaseEnvio)> m_alFase;
    QString m_prefijo;
    int m_opcion = 0;
    qint64 m_bytesPorViaje = 1 << 20;
    qint64 m_viajes = 0;
    bool m_soloLecturas = false; // the open transaction holds only reads
    bool m_noSirve = false;
    QString m_sinRegistro;
    PlanProducto m_modelo;
    EstadoTienda m_previo; // the last send's state, as read
    QByteArray m_huellaCuenta;
    QByteArray m_huellaCuentaRegistro;
    bool m_registroProbado = false; // the last send wrote the record table with this account
    bool m_filtro = false;          // the last send's state is in use
    QSet<qint64> m_cubetasSucias;   // buckets the shop changed since
    // The checksums read as the run began, and what the run wrote since: the next state keeps the
    // former wherever the run wrote nothing, so a hand change made during the run is still found.
    std::optional<EstadoTienda::Sumas> m_sumasInicio;
    QSet<qint64> m_cubetasEscritas;
    bool m_escrituraComun = false; // rows of no one product (option values, categories, ...)
    QHash<QString, EstadoTienda::Producto> m_anterior; // by point-of-sale key
    QHash<QString, EstadoTienda::Producto> m_vistos;   // for the next state
    qint64 m_maximaFila = 0;
    std::unique_ptr<RegistroTienda> m_registro;
    std::unique_ptr<CatalogoTienda> m_catalogo;
    QHash<QString, TablaTienda> m_esquema;
    QHash<QString, QList<std::pair<QString, Valor>>> m_defectos; // by table, resolved and encoded
    QList<int> m_idiomas; // languages that get size and colour names; the first finds them
    QHash<QString, qint64> m_valoresOpcion;      // name's weight → option_value_id
    QHash<QString, QString> m_pesosOpcion;       // encoded name → weight
    QHash<QString, QString> m_nombresRechazados; // encoded name → why the shop cannot hold it
    // The first key of the run with each weight of the key column: later keys of that weight are
    // the same product to the shop, and are refused.
    QHash<QString, QString> m_clavePorPeso;
    // Keys whose product row did not exist when this run first looked: their rows are this run's,
    // also when a failed block made them and a product-by-product retry finds them.
    QSet<QString> m_creadas;
    // The product table's rows as found by key: each key's weight under the key column's
    // collation, and the first row (primary key) of each weight. Without a primary key, each
    // block looks its rows up by key instead.
    QString m_columnaLlave;
    QString m_primaria;
    QHash<QString, QString> m_pesoDeClave;
    QHash<QString, QString> m_filaDePeso;
    qint64 m_ultimaFila = 0;
    // OpenCart's option tables have no index on the product: the ids of each product's option and
    // stock rows are read once, and blocks then read those rows by primary key (and any row newer
    // than the run has seen).
    struct FilasDeProducto {
        QString tabla;
        QString primaria; // AUTO_INCREMENT column
        QString producto; // column holding the product id
        QHash<qint64, QList<qint64>> de;
        qint64 ultima = 0;
        bool activo = false;
        void anotar(qint64 idProducto, qint64 fila);
    };
    bool conocerOpciones(bool leer, QString* error);
    QString selectorDe(const FilasDeProducto& f, const QStringList& productos) const;
    FilasDeProducto m_opcionesDe;
    FilasDeProducto m_existenciasDe;
};
