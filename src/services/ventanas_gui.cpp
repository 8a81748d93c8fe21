#include "ventanas_gui.h"

#include <QWidget>

#include <cmath>

namespace twips {
namespace {
constexpr double PorPulgada = 1440.0;
int convertir(double valor, double dpi, bool aPixeles) {
    if (dpi <= 0)
        dpi = 96;
    return int(std::lround(aPixeles ? valor * dpi / PorPulgada : valor * PorPulgada / dpi));
}
} // namespace

int aPixelesX(const QWidget* w, int t) {
    return convertir(t, w->logicalDpiX(), true);
}
int aPixelesY(const QWidget* w, int t) {
    return convertir(t, w->logicalDpiY(), true);
}
int dePixelesX(const QWidget* w, int p) {
    return convertir(p, w->logicalDpiX(), false);
}
int dePixelesY(const QWidget* w, int p) {
    return convertir(p, w->logicalDpiY(), false);
}
} // namespace twips

GeometriaVentana geometriaDe(const QWidget* v) {
    GeometriaVentana g;
    g.Tag = v->property("Tag").toString();
    g.Name = v->objectName();
    g.Caption = v->windowTitle();
    const QPoint esquina = v->frameGeometry().topLeft();
    g.Top = twips::dePixelesY(v, esquina.y());
    g.Left = twips::dePixelesX(v, esquina.x());
    g.Width = twips::dePixelesX(v, v->width());
    g.Height = twips::dePixelesY(v, v->height());
    return g;
}

void aplicarGeometria(QWidget* v, const GeometriaVentana& g, bool conTamano) {
    v->move(twips::aPixelesX(v, g.Left), twips::aPixelesY(v, g.Top));
    if (conTamano && g.Width > 0 && g.Height > 0)
        v->resize(twips::aPixelesX(v, g.Width), twips::aPixelesY(v, g.Height));
}
