#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// Crash-safe file replacement: the data goes to a temporary file beside the target, is flushed to
// disk and renamed over the target only when complete, so a crash or a full disk never leaves a
// truncated file behind.
enum class Permisos {
    Conservar, // a new file gets the default mode; an existing file keeps its own
    SoloDueno, // readable and writable by the owner only (settings, keys)
};

// Returns false and fills *error when the file could not be written whole (a failed write, flush,
// sync or close, a full disk): the old file is then untouched.
bool escribirArchivoAtomico(const QString& ruta, const QByteArray& datos, Permisos permisos,
                            QString* error = nullptr);

// The same for a file too large to build in memory first: `escribir` writes it into the temporary
// file and returns false if it could not; the old file is then untouched.
bool escribirArchivoAtomico(const QString& ruta, const std::function<bool(QIODevice&)>& escribir,
                            Permisos permisos, QString* error = nullptr);
