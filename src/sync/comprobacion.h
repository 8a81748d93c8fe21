#pragma once

#include "config/ajustes.h"
#include "config/estrucs.h"
#include "services/basesdd.h"

#include <QList>
#include <QString>

#include <functional>

class Conexion;
struct Componentes;

// What a send needs, tried step by step: the settings file, the point-of-sale database, the shop's
// database and product table, the tables the mapping names, the FTP login and folder. `--check`
// prints the steps; the window's "Probar conex." shows them. Nothing is written anywhere.
struct PasoComprobacion {
    enum class Estado { Bien, Aviso, Fallo };
    QString nombre; // which part was tried (one of the names below)
    Estado estado = Estado::Bien;
    QString texto;  // the whole line, in words: what was tried and what came of it
    QString motivo; // only what came of it ("conexión correcta, sin cifrar", the reason it failed)

    bool fallo() const { return estado == Estado::Fallo; }
};

namespace PasoNombre {
inline const QString Archivo = QStringLiteral("Archivo de configuración");
inline const QString Instalacion = QStringLiteral("Instalación de Velmora Premium");
inline const QString PuntoDeVenta = QStringLiteral("Base de datos del punto de venta");
inline const QString Tunel = QStringLiteral("Ruta a la tienda");
inline const QString Tienda = QStringLiteral("Base de datos de la tienda");
inline const QString TablaProductos = QStringLiteral("Tabla de productos de la tienda");
inline const QString Relacion = QStringLiteral("Relación de campos en la tienda");
inline const QString Ftp = QStringLiteral("Servidor FTP");
inline const QString CarpetaFtp = QStringLiteral("Carpeta del FTP");
} // namespace PasoNombre

// What the connection steps try: the point-of-sale server as the installation gives it (with the
// database to open in cMiBase), and the shop, mapping and FTP as the settings (or the boxes) hold
// them.
struct DatosComprobacion {
    BasesDD puntoDeVenta;
    Ajustes ajustes;
    clnCampos campos;
};

// Called as each step ends, on the thread that runs the check.
using AlTerminarPaso = std::function<void(const PasoComprobacion&)>;

// The connection steps in order. A step that cannot be tried because an earlier one failed (the
// product table without the shop's database) is left out. Runs for as long as the servers take to
// answer or time out: the window runs it on a worker thread.
QList<PasoComprobacion> comprobarConexiones(const DatosComprobacion& datos,
                                            const AlTerminarPaso& alTerminar = {});

// The settings before any connection: the file read whole, the encryption key, the Velmora Premium
// installation, the settings and mapping loaded into *datos. *utilizable false means the
// settings cannot be used at all (exit 2 of --check and --send); the connection steps are not
// worth trying then.
QList<PasoComprobacion> comprobarAjustes(Componentes& c, const QString& rutaIni,
                                         DatosComprobacion* datos, bool* utilizable);

// A failed connection in words ("el usuario o la contraseña no son correctos", "no se encontró el
// servidor «x»"), for the server's error code of the connection.
QString motivoConexion(const Conexion& cn);
