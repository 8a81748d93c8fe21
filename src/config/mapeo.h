#pragma once

#include "estrucs.h"

class libQVTX;

// The mapping page's checks and save, as functions over its rows (one row per point-of-sale column,
// in order, with the texts of the five columns).

// Both checks always run, so both messages may appear: a mapping page never filled (one empty row)
// and a key column without web equivalent. True when both pass.
bool ComprobarMapeo(const QList<Estrucs>& filas);

// Writes section "Campos": for every row its four keys, trimmed, also when empty (so clearing a
// cell clears the key). One atomic rewrite of the file.
bool GrabarMapeo(const QList<Estrucs>& filas, const libQVTX& qvtx, const QString& rutaIni);
