#pragma once

#include <QString>

// The program's log: every qDebug/qInfo/qWarning/qCritical line of the program goes to a log file
// next to the INI file, rotated by size, and optionally to standard error as well.
namespace bitacora {

// The log file that belongs to an INI file: same folder and base name, extension ".log".
QString rutaPara(const QString& rutaIni);

struct Opciones {
    bool terminal = true;                  // also write to standard error
    bool depuracion = false;               // include debug lines
    qint64 tamanoMaximo = 2 * 1024 * 1024; // rotate beyond this size
    int copias = 3;                        // rotated files kept: .log.1 ... .log.N
};

// Starts writing to the file (created with owner-only permissions). Returns false when the file
// cannot be opened; lines then still reach the terminal when asked for.
bool iniciar(const QString& rutaArchivo, const Opciones& opciones);
// Lines to standard error only (before the INI file is known).
void soloTerminal(const Opciones& opciones);
void terminar();

} // namespace bitacora
