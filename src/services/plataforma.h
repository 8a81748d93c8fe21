#pragma once

#include <QString>
#include <QStringList>

// The few operating-system services the program needs, each behind one function so that nothing
// else calls POSIX or Win32 directly.
namespace plataforma {

// Makes a file readable and writable by its owner only. Returns false when that could not be done.
bool restringirAlDueno(const QString& ruta);

// True when the file can be read or written by anyone but its owner.
bool accesiblePorOtros(const QString& ruta);

// True when files can be created in the folder (on Windows tried, since Qt reads only the
// read-only attribute there).
bool carpetaEscribible(const QString& carpeta);

// The user's configuration folder for this program (created when missing).
QString carpetaConfiguracionUsuario();

// Opens a document in the program the desktop associates with it. Returns false when no such
// program could be started.
bool abrirDocumento(const QString& ruta);

// The program's start when the user logs on: on Linux an XDG autostart entry named after the
// executable, on Windows the Run value of the current user. The command is the executable's full
// path and its arguments.
// The command as the platform stores it: an Exec value quoted as desktop entries want it (Linux),
// a command line quoted for the Windows shell.
QString ordenInicioAutomatico(const QStringList& argumentos);
// The command stored now, as stored (empty when none).
QString inicioAutomaticoRegistrado(const QString& nombreEjecutable);
// Stores the command as the logon start; false when it could not be written.
bool registrarInicioAutomatico(const QString& nombreEjecutable, const QStringList& argumentos);
// Where the logon start is held (Linux: ~/.config/autostart/<name>.desktop; Windows: the registry
// value, as HKEY_CURRENT_USER\...\Run\<name>).
QString archivoInicioAutomatico(const QString& nombreEjecutable);

// Forces what was written to the open file descriptor onto the disk. False, with the system's
// reason, when that failed: some file systems report a full disk only then. A descriptor of -1
// (a file the platform opened another way) is left to the caller's own close.
bool sincronizar(int descriptor, QString* error);

// True when standard output is a terminal (a progress bar can be redrawn in place).
bool salidaEsTerminal();

// The authorities a verified TLS connection trusts when the settings name none, as a PEM file for
// OpenSSL; empty where the libraries find the system's on their own (Linux). On Windows the
// certificate store's root authorities.
QString autoridadesTls();

// True where the system itself answers Alt+F4 with a close request (Windows): a close request that
// arrives while Alt is held is then that key. Elsewhere the window manager's Alt+F4 is its close
// button, and the window gets the key itself when no window manager takes it.
bool altF4EsPeticionDeCierre();

// What the whole process needs before anything else runs (the first call in main()): on Windows,
// Qt's regular expressions without their JIT compiler; nothing elsewhere.
void prepararProceso();

// Lets a windowed program's command-line modes write to the console they were started from
// (Windows); nothing elsewhere.
void conectarConsola();

} // namespace plataforma
