#include "componentes.h"

using namespace Qt::StringLiterals;

namespace {
template <class T>
FabricaObjeto fabrica() {
    return [] { return std::make_unique<T>(); };
}
} // namespace

void registrarClasesNucleo() {
    registrarClase(u"qvvm5.libQVTX"_s, fabrica<libQVTX>());
    registrarClase(u"qvvm5.BasesDD"_s, fabrica<BasesDD>());
    registrarClase(u"qvvm5.Utilerias"_s, fabrica<Utilerias>());
    registrarClase(u"qvvm5.DeArchivos"_s, fabrica<DeArchivos>());
    registrarClase(u"qvvm5.DelRegistro"_s, fabrica<DelRegistro>());
}

bool Componentes::crear() {
    bool bien = CrearObjeto(qvtx, u"libQVTX"_s);
    bien = CrearObjeto(bases, u"BasesDD"_s) && bien;
    bien = CrearObjeto(utilerias, u"Utilerias"_s) && bien;
    bien = CrearObjeto(archivos, u"DeArchivos"_s) && bien;
    bien = CrearObjeto(registro, u"DelRegistro"_s) && bien;
    return bien;
}

void Componentes::liberar() {
    qvtx.reset();
    bases.reset();
    utilerias.reset();
    archivos.reset();
    registro.reset();
}
