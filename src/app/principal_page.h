#pragma once

#include <QWidget>

struct AvanceEnvio;

class CajaPorcentaje;
class HistorialEnvios;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

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
    QLabel* lblFase;        // what the run is doing, and how far it has come
    QProgressBar* barEnvio; // products through that phase, of the run's
    QCheckBox* chkImagenes;
    QLabel* lblUltimoEnvio;    // the last run's summary
    QTableWidget* tblEnvios;   // the last runs, newest first
    QTableWidget* tblFallidos; // the products the last run could not write, and why
    QTableWidget* tblAvisos;   // values the last run's products were sent and the shop kept
    QLabel* lblAvisos;         // its title, with the count
    QPushButton* cmdBitacora;
    QPushButton* cmdVistaPrevia;

    // The run's phase and count in the line and the bar (a moving bar while the total is not
    // known).
    void mostrarAvance(const AvanceEnvio& avance);
    static QString textoAvance(const AvanceEnvio& avance);

    // Fills the tables from the runs kept.
    void mostrarHistorial(const HistorialEnvios& historial);

    // The upload progress of one file: "Bytes copiados n de m" (thousands grouped as the locale
    // does) and the percentage rounded half to even, at most 100, and 100 for an empty file. False
    // when more bytes than the total are reported: nothing is shown then.
    static bool ProgresoFTP(qint64 lCurrentBytes, qint64 lTotalBytes, QString* texto,
                            int* porcentaje);
};
