#include "dialogos.h"

#include "texto_seguro.h"

#include <atomic>
#include <cstdio>

namespace {
class DialogosSinPantalla final : public Dialogos {
public:
    int mostrar(const Caja& caja) override {
        QString texto = caja.texto;
        texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        texto = textoSeguro::paraMostrar(texto, true);
        // UTF-8 like the rest of the command line's output (Windows' console is set to it).
        std::fprintf(stderr, "[%s] %s\n",
                     textoSeguro::paraMostrar(caja.titulo).toUtf8().constData(),
                     texto.toUtf8().constData());
        return respuestaSinUsuario(caja.botones);
    }
};

DialogosSinPantalla g_sinPantalla;
std::atomic<Dialogos*> g_actual{nullptr};
} // namespace

Dialogos& Dialogos::actual() {
    Dialogos* d = g_actual.load();
    return d ? *d : g_sinPantalla;
}

void Dialogos::instalar(Dialogos* dialogos) {
    g_actual = dialogos;
}

int respuestaSinUsuario(int botones) {
    switch (botones & 7) {
    case Botones::SiNo:
        return Respuesta::No;
    case Botones::AceptarCancelar:
        return Respuesta::Cancelar;
    default:
        return Respuesta::Aceptar;
    }
}

int CajaMensaje(const QString& texto, int botones, const QString& titulo) {
    return Dialogos::actual().mostrar(Caja{texto, botones, titulo, false});
}
