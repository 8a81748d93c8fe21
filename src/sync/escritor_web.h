#pragma once

#include "plan_producto.h"
#include "valores_iniciales.h"

#include <QDateTime>
#include <QHash>
#include <QString>

class BasesDD;
class Conexion;
class Recordset;

// The statements that carry a product's plan into the shop's database: find or create the product
// row, write its mapped columns, the external tables and the size/colour options.
// Error convention: every method returns false with the server's message in *error; the caller
// decides what a failed product means for the run.
class EscritorWeb {
public:
    struct Configuracion {
        QString tablaProductos;
        QString campoTallaColor; // web product column holding the product id for options
        bool usaTallasOColores = false;
        bool usaTallas = false;     // sizes (true) or colours
        QString carpetaPrograma;    // where the defaults files are
        bool transaccional = false; // one transaction per product
    };

    EscritorWeb(BasesDD& web, Conexion& cn, const Configuracion& configuracion);

    // Writes the product. *creado tells whether its row was new.
    bool EnviarProducto(const PlanProducto& plan, bool* creado, QString* error);

    // The option numbers of the shop for sizes and colours, and the languages that get the names.
    static constexpr int OpcionTallas = 11;
    static constexpr int OpcionColores = 5;
    static constexpr int Idiomas[2] = {1, 3};

private:
    bool escribirProducto(const PlanProducto& plan, bool* creado, QString* error);
    bool EnviarTablasExternas(const PlanProducto& plan, const Recordset& filaWeb, QString* error);
    bool EnviarTallasYColores(qint64 idWeb, const PlanProducto& plan, QString* error);
    // The option value named so (language 1) in the option, created with its names when missing.
    bool valorDeOpcion(int opcion, const QString& nombre, qint64* id, QString* error);
    // Adds a new row with the table's defaults; *id receives its AUTO_INCREMENT value.
    bool insertar(Recordset& rs, const QString& tabla,
                  const QList<std::pair<QString, Valor>>& fijos, bool conDefectos, QString* error);
    bool fallo(const QString& texto, QString* error) const;

    BasesDD& m_web;
    Conexion& m_cn;
    Configuracion m_config;
    QHash<QString, ValoresIniciales> m_defectos; // defaults files read this run, by table
    QHash<QString, qint64> m_valoresOpcion;      // "option|lower-cased name" → option_value_id
};
