#include "utilerias.h"

#include "dialogos.h"

int Utilerias::MsgBoxSkn(const QString& texto, int botones, const QString& titulo, int) const {
    return Dialogos::actual().mostrar(Caja{texto, botones, titulo, true});
}
