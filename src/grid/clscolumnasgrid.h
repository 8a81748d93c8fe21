#pragma once

#include <QString>

// Editor kinds of a column (TipoControl).
namespace TipoEditor {
enum : int {
    Texto = 0,     // single-line text box
    Mascara = 1,   // text box with an input mask
    Combo = 2,     // drop-down list with free text
    Casilla = 3,   // check glyph drawn in the cell, no control
    DataCombo = 4, // drop-down over a model that the owner supplies
};
}

// What one editable column of the grid accepts, declared with EdicionGrid::AgregaColumna. Every
// name is an owner method called by name; an empty name means no call.
class clsColumnasGrid {
public:
    int Columna = 0;     // grid column (0-based, fixed columns counted)
    int TipoControl = 0; // TipoEditor
    // Input class: "!" upper case, "¡" lower case, "9" numbers, "T" times, anything else free
    // text. For a check column, "1" means that a blank cell becomes checked on its first toggle.
    QString Plantilla;
    int Longitud = 0;                // maximum length of the text editor; 0 = no limit
    QString Formato;                 // format expression applied when the text is written back
    QString Mascara;                 // input mask of the masked editor
    QString Validador;               // bool f(QString& texto, int renglon, int columna)
    QString ShiftF1;                 // QString f(): value for the look-up key Shift+F1
    QString LlenarCombos;            // void f(QComboBox* control, int renglon, int columna)
    double TamanoFuenteCheckBox = 0; // point size of the check glyph
    QString DespuesDeEditar;         // void f(int renglon, int columna)
};
