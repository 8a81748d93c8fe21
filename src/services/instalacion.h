#pragma once

#include <QString>

class BasesDD;
class DelRegistro;
class libQVTX;

// Finds the host point-of-sale installation named in the INI file and points the shared BasesDD
// object at its MySQL server, completing the host's connection data with defaults where it has
// none. A wrong folder is reported to the user (with the offer to edit the INI file) and gives
// false.
bool LocalizarInstalacion(const libQVTX& qvtx, DelRegistro& registro, BasesDD& bases,
                          const QString& rutaIni, bool fijarBase);

// What the registry lookup gives for the folder; empty when the folder is not an installation.
QString BuscarRegistro(const QString& carpeta, DelRegistro& registro);

namespace ClavesHost {
inline const QString Servidor = QStringLiteral("MySQLServer");
inline const QString Puerto = QStringLiteral("MySQLPuerto");
inline const QString Usuario = QStringLiteral("MySQLUsuario");
inline const QString Contrasena = QStringLiteral("MySQLPassword");
inline const QString ServidorAlterno = QStringLiteral("servidor");
} // namespace ClavesHost
