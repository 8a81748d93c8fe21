#pragma once

#include <QEvent>
#include <Qt>

#include <memory>

class QKeyEvent;

// The grid's key handlers work with the key codes of services/teclas.h: a key-down code with its
// shift state, and the character code that a key press types. This turns Qt's single key event
// into both.
class CodigoTecla {
public:
    // Key-down code of a Qt key; 0 for keys that no handler looks at.
    static int DeQt(int teclaQt);
    // Shift state (Cambio::Mayusculas, Control, Alt) of the modifiers.
    static int EstadoCambio(Qt::KeyboardModifiers modificadores);
    // The character a key press types: 8, 13 and 27 for Backspace, Enter and Escape, the typed
    // character for printable text, 0 when nothing is typed (navigation keys, Tab, Ctrl or Alt
    // chords).
    static int Caracter(const QKeyEvent& evento);
    // A key event that types the character, for a key filter that replaced the typed one.
    static std::unique_ptr<QKeyEvent> EventoDeCaracter(int caracter,
                                                       QEvent::Type tipo = QEvent::KeyPress);
    // A key event of a key, with the text it types (Enter types "\r").
    static std::unique_ptr<QKeyEvent> EventoDeTecla(int teclaQt,
                                                    QEvent::Type tipo = QEvent::KeyPress);
};
