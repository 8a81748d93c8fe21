#pragma once

#include <QString>

#include <functional>
#include <memory>

// Every object of the component layer is made by name ("prefix.class") from a registry of
// factories, so that a class that is not available takes one reported error path instead of a
// crash.
class ObjetoComponente {
public:
    virtual ~ObjetoComponente() = default;
};

using FabricaObjeto = std::function<std::unique_ptr<ObjetoComponente>()>;

// Registers (or replaces) the factory of a class; names are matched without regard to letter case.
void registrarClase(const QString& progId, FabricaObjeto fabrica);

// Makes the object, or returns null with the error number and description of the failure.
std::unique_ptr<ObjetoComponente> crearPorNombre(const QString& progId, int* codigo,
                                                 QString* descripcion);

// Shows the "Alerta" box for a failed creation.
void informarFalloCreacion(int codigo, const QString& descripcion, const QString& prefijo,
                           const QString& clase);

inline const QString PrefijoComponente = QStringLiteral("qvvm5");

// Sets objeto to a new instance of prefijo.clase and returns true; on failure reports the error in
// the "Alerta" box, leaves objeto as it was and returns false.
template <class T>
bool CrearObjeto(std::unique_ptr<T>& objeto, const QString& clase,
                 const QString& prefijo = PrefijoComponente) {
    int codigo = 0;
    QString descripcion;
    std::unique_ptr<ObjetoComponente> creado =
        crearPorNombre(prefijo + u'.' + clase, &codigo, &descripcion);
    T* tipado = dynamic_cast<T*>(creado.get());
    if (!tipado) {
        if (creado) {
            codigo = 13;
            descripcion = QStringLiteral("No coinciden los tipos");
        }
        informarFalloCreacion(codigo, descripcion, prefijo, clase);
        return false;
    }
    creado.release();
    objeto.reset(tipado);
    return true;
}
