#pragma once

#include <QString>

class libQVTX;

// A window's caption, position and size as kept in the INI file (in twips), one section per window:
// its Tag, or its trimmed name when the Tag is empty. The window classes convert to and from
// pixels.
struct GeometriaVentana {
    QString Tag;
    QString Name;
    QString Caption;
    int Top = 0;
    int Left = 0;
    int Width = 0;
    int Height = 0;
};

// Writes "Ventana", "Linea", "Columna" and, with conTamano, "Ancho" and "Alto".
void GuardarVentana(const GeometriaVentana& ventana, bool conTamano, const libQVTX& qvtx,
                    const QString& rutaIni);

// Places the window from its section: position always (the top left corner when the section is
// missing or a value does not convert), size only with conTamano and when both stored values are
// non-zero numbers.
void RecuperarVentana(GeometriaVentana& ventana, bool conTamano, const libQVTX& qvtx,
                      const QString& rutaIni);
