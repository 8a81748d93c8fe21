#include "mapeo.h"

#include "ajustes.h"
#include "services/dialogos.h"
#include "services/libqvtx.h"

using namespace Qt::StringLiterals;

bool ComprobarMapeo(const QList<Estrucs>& filas) {
    bool bien = true;
    // The page's grid keeps one empty row until it is first filled.
    if (filas.size() == 1) {
        CajaMensaje(u"No se han definido los campos de productos con sus equivalentes de la web"_s,
                    Botones::Critico, u"Alerta"_s);
        bien = false;
    }
    if (filas.value(0).DeWeb.trimmed().isEmpty()) {
        CajaMensaje(u"No se definió equivalente a la clave del producto"_s, Botones::Critico,
                    u"ERROR"_s);
        bien = false;
    }
    return bien;
}

bool GrabarMapeo(const QList<Estrucs>& filas, const libQVTX& qvtx, const QString& rutaIni) {
    QList<std::pair<QString, QString>> claves;
    for (const Estrucs& f : filas) {
        const QString columna = f.DeVM.trimmed();
        if (columna.isEmpty())
            continue;
        claves.append({columna + SufijoCampo::CampoWeb, f.DeWeb.trimmed()});
        claves.append({columna + SufijoCampo::TablaExterna, f.TablaExterna.trimmed()});
        claves.append({columna + SufijoCampo::CampoEnProds, f.LlaveEnProds.trimmed()});
        claves.append({columna + SufijoCampo::CampoEnTablaExt, f.LlaveEnTablaExterna.trimmed()});
    }
    return qvtx.EscribeIniVarios(SeccionCampos, claves, rutaIni);
}
