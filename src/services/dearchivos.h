#pragma once

#include "objetos.h"

#include <QString>

// Files of the local machine.
class DeArchivos : public ObjetoComponente {
public:
    // Opens the file in the program associated with its type; false when none could be started.
    bool AbreDocumento(const QString& ruta) const;
    bool HayArchivo(const QString& ruta) const;
    // The file-name part of a path, after the last slash or backslash.
    static QString NombreDeArchivo(const QString& ruta);
};
