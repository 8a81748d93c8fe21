#include "mensajes.h"

#include "dialogos.h"

int Mensaje(const QString& texto, int botones, const QString& titulo, int) {
    return Dialogos::actual().mostrar(Caja{texto, botones, titulo, true});
}

bool Pregunta(const QString& texto, const QString& titulo, bool noPorDefecto) {
    int botones = Botones::SiNo | Botones::Pregunta;
    if (noPorDefecto)
        botones |= Botones::SegundoPorDefecto;
    return Mensaje(texto, botones, titulo, 0) == Respuesta::Si;
}
