#pragma once

#include <QString>

class BasesDD;
class DelRegistro;
class libQVTX;

// Section "Configuración" of the settings file, and its keys that locate the host installation.
inline const QString SeccionConfiguracion = QStringLiteral("Configuración");
inline const QString ClaveRutaHost = QStringLiteral("Ruta de Velmora Premium");
inline const QString DefectoRutaHost = QStringLiteral("C:\\velmorapremium");
inline const QString ClaveBasePrincipal = QStringLiteral("Base de datos principal");
inline const QString DefectoBasePrincipal = QStringLiteral("datos1");

// Read-with-default: a key that is missing or has nothing after the equals sign gets the default
// written into the file, and the default is returned. A value of blanks is returned unchanged.
QString LeeIniDefault(const QString& seccion, const QString& clave, const QString& defecto,
                      const libQVTX& qvtx, const QString& rutaIni);

// Finds the host point-of-sale installation named in the INI file and points the shared BasesDD
// object at its MySQL server, completing the host's connection data with defaults where it has
// none. A user or password of the host's file that does not decrypt with the key leaves the object
// refusing to connect (BasesDD::cIlegible). A wrong folder is reported to the user (with the offer
// to edit the INI file) and gives false.
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
