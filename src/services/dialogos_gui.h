#pragma once

#include "dialogos.h"

#include <QPointer>

class QWidget;

// The message boxes of the window program: QMessageBox with the icon, buttons and default button of
// the flags. A box asked for from another thread is shown on the window's thread, which the caller
// waits for.
class DialogosQt final : public Dialogos {
public:
    explicit DialogosQt(QWidget* ventana = nullptr)
        : m_ventana(ventana) {}
    void setVentana(QWidget* ventana) { m_ventana = ventana; }
    int mostrar(const Caja& caja) override;
    // The resource of the icon the flags ask for; empty for none.
    static QString icono(int botones);

private:
    int mostrarAqui(const Caja& caja);
    QPointer<QWidget> m_ventana;
};
