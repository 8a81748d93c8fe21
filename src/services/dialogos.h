#pragma once

#include <QString>

// Message boxes go through one small interface: the window program installs one that shows real
// boxes, tests install one that records and answers, and without either the headless one prints the
// box to standard error and answers No (the default of every question), so nothing waits for input.

// Button and icon flags and answer codes of the standard message box.
namespace Botones {
enum : int {
    SoloAceptar = 0,
    AceptarCancelar = 1,
    SiNo = 4,
    Critico = 16,
    Pregunta = 32,
    Exclamacion = 48,
    Informacion = 64,
    SegundoPorDefecto = 256,
};
}
namespace Respuesta {
enum : int { Ninguna = 0, Aceptar = 1, Cancelar = 2, Si = 6, No = 7 };
}

struct Caja {
    QString texto;
    int botones = Botones::SoloAceptar;
    QString titulo;
    bool estilizada = false; // the component's skinned box rather than the plain one
};

class Dialogos {
public:
    virtual ~Dialogos() = default;
    // Shows the box and returns the answer code.
    virtual int mostrar(const Caja& caja) = 0;

    // The boxes in use; never null.
    static Dialogos& actual();
    // Installs a provider (not owned); nullptr returns to the headless one.
    static void instalar(Dialogos* dialogos);
};

// The answer a box gets when nobody can answer it.
int respuestaSinUsuario(int botones);

// The plain message box of the platform.
int CajaMensaje(const QString& texto, int botones, const QString& titulo);
