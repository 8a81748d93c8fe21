#include "ventanas.h"

#include "libqvtx.h"
#include "numeros.h"

using namespace Qt::StringLiterals;

void GuardarVentana(const GeometriaVentana& v, bool conTamano, const libQVTX& qvtx,
                    const QString& rutaIni) {
    const QString seccion = v.Tag.trimmed().isEmpty() ? v.Name.trimmed() : v.Tag;
    if (seccion.isEmpty())
        return;
    QList<std::pair<QString, QString>> claves{{u"Ventana"_s, v.Caption},
                                              {u"Linea"_s, QString::number(v.Top)},
                                              {u"Columna"_s, QString::number(v.Left)}};
    if (conTamano) {
        claves.append({u"Ancho"_s, QString::number(v.Width)});
        claves.append({u"Alto"_s, QString::number(v.Height)});
    }
    qvtx.EscribeIniVarios(seccion, claves, rutaIni);
}

void RecuperarVentana(GeometriaVentana& v, bool conTamano, const libQVTX& qvtx,
                      const QString& rutaIni) {
    int arriba = 0;
    int izquierda = 0;
    int ancho = 0;
    int alto = 0;
    // Only a Tag without any character counts as empty here: a Tag of blanks names a section of
    // blanks, which is never found.
    const QString seccion = v.Tag.isEmpty() ? v.Name.trimmed() : v.Tag;
    if (!seccion.isEmpty()) {
        const auto a = entero16(libQVTX::qvVal(qvtx.LeeIni(seccion, u"Linea"_s, rutaIni)));
        const auto i = a ? entero16(libQVTX::qvVal(qvtx.LeeIni(seccion, u"Columna"_s, rutaIni)))
                         : std::nullopt;
        bool error = !a || !i;
        if (!error) {
            arriba = *a;
            izquierda = *i;
        }
        if (!error && conTamano) {
            const auto w = entero16(qvtx.LeeIni(seccion, u"Ancho"_s, rutaIni));
            const auto h = w ? entero16(qvtx.LeeIni(seccion, u"Alto"_s, rutaIni)) : std::nullopt;
            if (w)
                ancho = *w;
            if (h)
                alto = *h;
            error = !w || !h;
        }
        if (error) {
            arriba = 0;
            izquierda = 0;
        }
    }
    v.Left = izquierda;
    v.Top = arriba;
    if (conTamano && ancho != 0 && alto != 0) {
        v.Width = ancho;
        v.Height = alto;
    }
}
