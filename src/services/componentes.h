#pragma once

#include "basesdd.h"
#include "dearchivos.h"
#include "delregistro.h"
#include "libqvtx.h"
#include "utilerias.h"

#include <memory>

// The shared component objects that the main window (or the command line) holds for the program's
// life. A member stays null when its object could not be created (reported by CrearObjeto).
struct Componentes {
    std::unique_ptr<libQVTX> qvtx;
    std::unique_ptr<BasesDD> bases;
    std::unique_ptr<Utilerias> utilerias;
    std::unique_ptr<DeArchivos> archivos;
    std::unique_ptr<DelRegistro> registro;

    // Creates the objects in start-up order; false when any could not be created.
    bool crear();
    // Releases them in shut-down order.
    void liberar();
};

// Registers the classes of the engine ("qvvm5.libQVTX", "qvvm5.BasesDD", ...). Called on first use.
void registrarClasesNucleo();
