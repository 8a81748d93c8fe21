#pragma once

#include "ventanas.h"

class QWidget;

// Window geometry is kept in twips (1440 per inch) as the settings file has always held it;
// widgets work in pixels at the screen's logical DPI.
namespace twips {
int aPixelesX(const QWidget* w, int twips);
int aPixelesY(const QWidget* w, int twips);
int dePixelesX(const QWidget* w, int pixeles);
int dePixelesY(const QWidget* w, int pixeles);
} // namespace twips

// The window's caption, frame position and client size in twips; the section is the widget's
// "Tag" property, or its object name.
GeometriaVentana geometriaDe(const QWidget* ventana);
// Moves (and with conTamano resizes) the window to what RecuperarVentana read.
void aplicarGeometria(QWidget* ventana, const GeometriaVentana& g, bool conTamano);

// Before a window's first show: no larger than the screen's free area of `cerca` (or the primary
// screen) and placed over `cerca`, wholly inside that area, frame included.
void ajustarAPantalla(QWidget* ventana, const QWidget* cerca);
