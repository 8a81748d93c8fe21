#pragma once

// Key codes (key-down events) and character codes (key-press events) as the key handlers use them.
namespace Tecla {
enum : int {
    Retroceso = 8,
    Tabulador = 9,
    Enter = 13,
    Mayusculas = 16,
    Escape = 27,
    Espacio = 32,
    Arriba = 38,
    Abajo = 40,
    Insertar = 45,
    Suprimir = 46,
    F1 = 112,
    F4 = 115,
};
}

// Shift states of a key-down event.
namespace Cambio {
enum : int { Ninguno = 0, Mayusculas = 1, Control = 2, Alt = 4 };
}

// What a key filter asks its caller to do after handling a key.
enum class AccionTecla {
    Ninguna,   // nothing beyond the (possibly changed) key
    Siguiente, // move the focus to the next control
    Anterior,  // move the focus to the previous control
    Rechazo,   // the key was refused: beep
};
