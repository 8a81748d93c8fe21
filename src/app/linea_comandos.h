#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// The command line: the tray program by default, or a headless check or send run.
struct LineaComandos {
    enum class Accion { Bandeja, Comprobar, Enviar, Ayuda, Version, Error };
    Accion accion = Accion::Bandeja;
    QString rutaIni; // empty: next to the executable
    bool imagenes = false;
    bool simulacro = false; // --dry-run: what a send would write, writing nothing
    QString error;          // for Accion::Error
};

LineaComandos analizarLineaComandos(const QStringList& argumentos);

// The INI file of the program: the executable's folder and base name with ".ini"; for a program
// installed where its user cannot write, the same name in the user's configuration folder.
QString rutaIniPredeterminada();

// Exit codes of the headless commands.
namespace Salida {
enum : int { Bien = 0, Fallo = 1, AjustesInutiles = 2 };
}

QString textoAyuda();

// Locates the host installation and opens the databases as at start, and says which fail and why.
int ejecutarComprobacion(const QString& rutaIni, QTextStream& salida);

// One send run exactly as the timer would start it, with progress and a summary on the terminal.
// With `simulacro`, reads both sides and prints per table and product what the send would insert
// and update, writing nothing.
int ejecutarEnvio(const QString& rutaIni, bool imagenes, QTextStream& salida,
                  bool simulacro = false);
