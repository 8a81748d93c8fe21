#pragma once

#include <QWidget>

class CajaPorcentaje;
class QCheckBox;
class QLabel;
class QPushButton;

// Page "Principal": the countdown, the run's labels and progress, and the send, configure, hide
// and close buttons. Only widgets: the main window drives them.
class PrincipalPage : public QWidget {
    Q_OBJECT
public:
    explicit PrincipalPage(QWidget* padre = nullptr);

    QPushButton* cmdConfigurar;
    QPushButton* cmdLeerAhora;
    QPushButton* cmdTerminar;
    QPushButton* cmdMinimizar;
    QWidget* Picture2;
    QLabel* lblInfo;
    QLabel* Label3;
    QLabel* Label5;
    CajaPorcentaje* pctPorcen;
    QCheckBox* chkImagenes;
    QLabel* lblUltimoEnvio; // the last run's summary
};
