#pragma once

#include <QString>

// The few operating-system services the program needs, each behind one function so that nothing
// else calls POSIX or Win32 directly.
namespace plataforma {

// Makes a file readable and writable by its owner only. Returns false when that could not be done.
bool restringirAlDueno(const QString& ruta);

// True when the file can be read or written by anyone but its owner.
bool accesiblePorOtros(const QString& ruta);

// The user's configuration folder for this program (created when missing).
QString carpetaConfiguracionUsuario();

// Opens a document in the program the desktop associates with it. Returns false when no such
// program could be started.
bool abrirDocumento(const QString& ruta);

// True when standard output is a terminal (a progress bar can be redrawn in place).
bool salidaEsTerminal();

} // namespace plataforma
