#pragma once

#include "objetos.h"

#include <QString>

// The host point-of-sale installation: a folder is a registered installation when it holds the file
// "velmora.ini", whose section [Servidor] keeps the host's MySQL connection data.
class DelRegistro : public ObjetoComponente {
public:
    static inline const QString ArchivoHost = QStringLiteral("velmora.ini");
    static inline const QString SeccionHost = QStringLiteral("Servidor");

    // The installation's data file when the folder is a registered installation; otherwise empty.
    // Later DatosVMW/GuardaDatosVMW calls work on the installation found last.
    QString BuscarRegistroVMW(const QString& carpeta);
    // The host's value of the key, empty when absent.
    QString DatosVMW(const QString& clave) const;
    bool GuardaDatosVMW(const QString& clave, const QString& valor) const;
    const QString& archivoHost() const { return m_archivoHost; }

private:
    QString m_archivoHost;
};
