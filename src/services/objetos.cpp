#include "objetos.h"

#include "componentes.h"
#include "dialogos.h"

#include <QHash>
#include <QMutex>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {
QMutex g_mutex;
QHash<QString, FabricaObjeto>& registro() {
    static QHash<QString, FabricaObjeto> r;
    return r;
}
std::once_flag g_nucleo;
} // namespace

void registrarClase(const QString& progId, FabricaObjeto fabrica) {
    QMutexLocker bloqueo(&g_mutex);
    registro().insert(progId.toLower(), std::move(fabrica));
}

std::unique_ptr<ObjetoComponente> crearPorNombre(const QString& progId, int* codigo,
                                                 QString* descripcion) {
    std::call_once(g_nucleo, registrarClasesNucleo);
    FabricaObjeto fabrica;
    {
        QMutexLocker bloqueo(&g_mutex);
        fabrica = registro().value(progId.toLower());
    }
    if (!fabrica) {
        *codigo = 429;
        *descripcion = u"El componente no puede crear el objeto"_s;
        return nullptr;
    }
    return fabrica();
}

void informarFalloCreacion(int codigo, const QString& descripcion, const QString& prefijo,
                           const QString& clase) {
    const QString texto = u"Error nº "_s + QString::number(codigo) + u", "_s + descripcion +
                          u"\r\n"_s + u"Intentanto crear \""_s + prefijo + u'.' + clase + u'"';
    CajaMensaje(texto, Botones::Critico, u"Alerta"_s);
}
