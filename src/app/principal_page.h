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

    // The upload progress of one file: "Bytes copiados n de m" (thousands grouped as the locale
    // does) and the percentage rounded half to even, at most 100, and 100 for an empty file. False
    // when more bytes than the total are reported: nothing is shown then.
    static bool ProgresoFTP(qint64 lCurrentBytes, qint64 lTotalBytes, QString* texto,
                            int* porcentaje);
};
