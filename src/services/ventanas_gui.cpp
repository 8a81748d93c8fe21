#include "ventanas_gui.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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

void ajustarAPantalla(QWidget* v, const QWidget* cerca) {
    const QScreen* pantalla =
        cerca && cerca->screen() ? cerca->screen() : QGuiApplication::primaryScreen();
    if (!pantalla)
        return;
    const QRect libre = pantalla->availableGeometry();
    // The window manager's frame is not known before the first show: room for a title bar and
    // borders is kept.
    constexpr int MarcoX = 12;
    constexpr int MarcoY = 40;
    const QSize tamano(std::min(v->width(), libre.width() - MarcoX),
                       std::min(v->height(), libre.height() - MarcoY));
    v->resize(tamano.expandedTo(v->minimumSizeHint().boundedTo(libre.size())));
    QPoint esquina = libre.center() - QPoint(v->width() / 2, v->height() / 2);
    if (cerca && cerca->isVisible())
        esquina = cerca->frameGeometry().center() - QPoint(v->width() / 2, v->height() / 2);
    esquina.setX(std::clamp(esquina.x(), libre.left(), libre.right() + 1 - v->width() - MarcoX));
    esquina.setY(std::clamp(esquina.y(), libre.top(), libre.bottom() + 1 - v->height() - MarcoY));
    v->move(esquina);
}
