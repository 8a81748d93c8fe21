#pragma once

#include "config/ajustes.h"

#include <QHash>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class libQVTX;
struct PasoComprobacion;

// Page "Configuración": every setting of section "Configuración", grouped by what it is about (the
// point of sale, the shop's database and its security, the SSH tunnel, what is sent, pictures,
// FTP), each with a short explanation beside it. The eighteen boxes of the original page keep their
// indices (txtDato), filtered by input class; the other keys are edited by name. "Ver encriptados"
// shows the masked values; "Probar conex." lists each step of its test below the groups.
class ConfiguracionPage : public QWidget {
    Q_OBJECT
public:
    ConfiguracionPage(const libQVTX& qvtx, QWidget* padre = nullptr);

    QLineEdit* txtDato(int indice) const { return m_txtDato[size_t(indice)]; }
    QStringList textos() const;
    // The input class of a box ("N" names as typed, "9" numbers, "X" free text).
    static QString clase(int indice);

    // The keys without a box, by name: what the controls show, with the SSH login reduced to the
    // way chosen (the password, or the key file and its passphrase, or neither for the agent).
    QHash<QString, QString> valores() const;
    // Shows those keys' values (booleans as "0"/"1"); a value a list does not offer is shown as
    // typed in the file.
    void ponerValores(const QHash<QString, QString>& valores);
    // The control that edits a key without a box (a QLineEdit, QComboBox or QCheckBox), or null.
    QWidget* control(const QString& clave) const { return m_controles.value(clave); }

    // The test's lines: cleared and "Probando…" at its start, one line per step as it ends.
    void empezarPrueba();
    void agregarPaso(const PasoComprobacion& paso);
    void terminarPrueba(int fallos);

    QWidget* Picture1;
    QTabWidget* tabGrupos;
    QCheckBox* chkVerPass;
    QComboBox* cboAccesoSsh;
    QPushButton* cmdAceptarCertificado;
    QLabel* lblPrueba;
    QListWidget* lstPrueba;
    QPushButton* cmdGrabar;
    QPushButton* cmdCancelar;
    QPushButton* cmdProbar;

    // The ways of logging in to the SSH server, as cboAccesoSsh lists them.
    enum AccesoSsh { ConContrasena, ConArchivoDeLlave, ConAgente };

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void chkVerPass_Click();
    void mostrarAccesoSsh();
    int indiceDe(const QObject* objeto) const;

    const libQVTX& m_qvtx;
    std::array<QLineEdit*, NumeroCampos> m_txtDato{};
    QHash<QString, QWidget*> m_controles;
    QList<QLineEdit*> m_ocultas;
};
