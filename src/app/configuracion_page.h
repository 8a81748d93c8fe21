#pragma once

#include "config/ajustes.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class libQVTX;

// Page "Configuración": the eighteen setting boxes with their labels, in the order the user tabs
// through them, each filtered by its input class; "Ver encriptados" shows the masked ones.
class ConfiguracionPage : public QWidget {
    Q_OBJECT
public:
    ConfiguracionPage(const libQVTX& qvtx, QWidget* padre = nullptr);

    QLineEdit* txtDato(int indice) const { return m_txtDato[size_t(indice)]; }
    QStringList textos() const;
    // The input class of a box ("¡" names, "9" numbers, "X" free text).
    static QString clase(int indice);

    QWidget* Picture1;
    QCheckBox* chkVerPass;
    QPushButton* cmdGrabar;
    QPushButton* cmdCancelar;
    QPushButton* cmdProbar;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void chkVerPass_Click();
    int indiceDe(const QObject* objeto) const;

    const libQVTX& m_qvtx;
    std::array<QLineEdit*, NumeroCampos> m_txtDato{};
};
