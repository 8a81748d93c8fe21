#include "codigotecla.h"

#include "services/teclas.h"

#include <QKeyEvent>
#include <QString>

using namespace Qt::StringLiterals;

int CodigoTecla::DeQt(int teclaQt) {
    switch (teclaQt) {
    case Qt::Key_Backspace:
        return Tecla::Retroceso;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return Tecla::Tabulador;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Tecla::Enter;
    case Qt::Key_Shift:
        return Tecla::Mayusculas;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return Tecla::Escape;
    case Qt::Key_Space:
        return Tecla::Espacio;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return Tecla::Arriba;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return Tecla::Abajo;
    case Qt::Key_Insert:
        return Tecla::Insertar;
    case Qt::Key_Delete:
        return Tecla::Suprimir;
    default:
        break;
    }
    if (teclaQt >= Qt::Key_0 && teclaQt <= Qt::Key_9)
        return teclaQt; // the codes of the digit keys are their characters
    if (teclaQt >= Qt::Key_A && teclaQt <= Qt::Key_Z)
        return teclaQt; // and those of the letter keys their capitals
    if (teclaQt >= Qt::Key_F1 && teclaQt <= Qt::Key_F24)
        return Tecla::F1 + (teclaQt - Qt::Key_F1);
    return 0;
}

int CodigoTecla::EstadoCambio(Qt::KeyboardModifiers modificadores) {
    int estado = Cambio::Ninguno;
    if (modificadores & Qt::ShiftModifier)
        estado |= Cambio::Mayusculas;
    if (modificadores & Qt::ControlModifier)
        estado |= Cambio::Control;
    if (modificadores & Qt::AltModifier)
        estado |= Cambio::Alt;
    return estado;
}

int CodigoTecla::Caracter(const QKeyEvent& evento) {
    switch (evento.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Tecla::Enter;
    case Qt::Key_Escape:
        return Tecla::Escape;
    case Qt::Key_Backspace:
        return Tecla::Retroceso;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0; // Tab moves the focus; it never types into a cell
    default:
        break;
    }
    if (evento.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return 0;
    const QString texto = evento.text();
    if (texto.isEmpty())
        return 0;
    const char32_t c = texto.toUcs4().value(0);
    if (c < 32 || c == 127)
        return 0;
    return int(c);
}

std::unique_ptr<QKeyEvent> CodigoTecla::EventoDeCaracter(int caracter, QEvent::Type tipo) {
    const char32_t c = char32_t(caracter);
    const QString texto = QString::fromUcs4(&c, 1);
    int tecla = Qt::Key_unknown;
    if (c < 128 && QChar(char16_t(c)).isLetterOrNumber())
        tecla = QChar(char16_t(c)).toUpper().unicode();
    return std::make_unique<QKeyEvent>(tipo, tecla, Qt::NoModifier, texto);
}

std::unique_ptr<QKeyEvent> CodigoTecla::EventoDeTecla(int teclaQt, QEvent::Type tipo) {
    QString texto;
    if (teclaQt == Qt::Key_Return || teclaQt == Qt::Key_Enter)
        texto = u"\r"_s;
    return std::make_unique<QKeyEvent>(tipo, teclaQt, Qt::NoModifier, texto);
}
