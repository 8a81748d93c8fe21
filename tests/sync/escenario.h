#pragma once

#include "config/ajustes.h"
#include "config/estrucs.h"
#include "services/componentes.h"
#include "support/entorno.h"
#include "sync/clsprocedimenti.h"

#include <functional>

// A point-of-sale database and a shop database of their own, a host installation pointing at the
// first, and a settings file pointing at the second: what a send run needs, for one test.
class Escenario {
public:
    // `esquemaTienda`: the shop's tables, a file of tests/data.
    explicit Escenario(const QString& esquemaTienda = QStringLiteral("tienda_esquema.sql"));

    // Maps a point-of-sale column in section "Campos".
    void mapear(const QString& deVM, const QString& deWeb, const QString& tabla = QString(),
                const QString& llaveEnProds = QString(), const QString& llaveExterna = QString());
    // The usual mapping: key to model, price to price, description to the language-1 name.
    void mapeoBasico();
    // A settings key of section "Configuración".
    void ajustar(const QString& clave, const QString& valor);
    // A defaults file for a web table.
    void defectos(const QString& tabla, const QByteArray& texto);
    // Pictures from `fotos` (the point of sale's picture folder, created), recorded in
    // oc_product_image and sent to the test FTP server, into `carpetaFtp` when given.
    void imagenesPorFtp(const QString& fotos, const QString& carpetaFtp = QString());
    // Products "P01".."Pnn" with description "Producto n" and price n.50.
    void productos(int cuantos);

    // The shop tables a send writes, and every row of them in a fixed order ("table: a|b|c").
    static const QStringList TablasEscritas;
    QStringList volcado(const QStringList& tablas = TablasEscritas);

    // Loads settings and mapping as at start.
    void leer();
    ResumenEnvio enviar(bool modoPrueba = false);

    CarpetaTemporal carpeta;
    DialogosDePrueba dialogos;
    BaseTemporal pos{QStringLiteral("pos")};
    BaseTemporal tienda{QStringLiteral("tienda")};
    Componentes c;
    Ajustes ajustes;
    clnCampos campos;
    QList<Estrucs> filas;
    std::atomic<bool> interrumpir{false};

    // What the run showed.
    struct Ventana : VentanaEnvio {
        void inicio() override { ++inicios; }
        void producto(const QString& clave, const QString&, qint64 n, qint64 total) override {
            claves.append(clave);
            totales.append(total);
            if (alProducto)
                alProducto(n);
        }
        bool imagenesPedidas() override { return imagenes; }
        void limpiarImagenes() override { imagenes = false; }
        void fin(const ResumenEnvio& r) override {
            ++fines;
            resumen = r;
        }
        int inicios = 0;
        int fines = 0;
        bool imagenes = false;
        QStringList claves;
        QList<qint64> totales;
        ResumenEnvio resumen;
        std::function<void(qint64)> alProducto;
    } ventana;
};
