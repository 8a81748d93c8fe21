#pragma once

#include <QStringList>

// Test mode: the command line holds "-qvtx" anywhere (compared case-sensitively). The window then
// shows itself at start and a send run takes only the first 50 products.
bool EnModoPrueba();

// The command line EnModoPrueba looks at; by default the application's arguments.
void establecerLineaComandos(const QStringList& argumentos);
