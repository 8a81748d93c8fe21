#pragma once

#include "config/ajustes.h"
#include "config/estrucs.h"
#include "historial_envios.h"
#include "services/componentes.h"
#include "sync/comprobacion.h"
#include "sync/ventana_envio.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <memory>

class CamposPage;
struct DatosEnvio;
class ConfiguracionPage;
class DeControles;
class EnvioEnSegundoPlano;
class PrincipalPage;
class Programador;
class QTabWidget;
class QThread;
class Reloj;
class clsInicio;
class clsFTP;
class frmBitacora;
class frmDescripcion;
class frmVistaPrevia;

// The main window: loads everything the program needs, lives mostly in the notification area,
// counts down to the next send and shows the run, and offers the configuration and mapping pages.
class frmInicial : public QWidget {
    Q_OBJECT
public:
    // rutaIni: the settings file; reloj: the scheduler's tick (null: a real one-second timer).
    explicit frmInicial(const QString& rutaIni, Reloj* reloj = nullptr, QWidget* padre = nullptr);
    ~frmInicial() override;

    // Builds everything in start-up order; false when the host installation was not found (the
    // user has been told), and the program then ends.
    bool Form_Load();
    // Ends the program: takes everything down in order and leaves the event loop.
    void Descargar();

    // How the program was started, for its start at logon: the executable and, when one was
    // given, the settings file option (by default both).
    void setOrdenInicio(const QStringList& orden) { m_ordenInicio = orden; }

    static QString VersionTexto();
    // Shows one page of the tab strip and hides the others.
    void MostrarPagina(int pagina);

    // For the pages and tests.
    Ajustes& ajustes() { return m_ajustes; }
    const clnCampos& campos() const { return m_clnCampos; }
    Programador* programador() const { return m_programador; }
    EnvioEnSegundoPlano* envio() const { return m_envio; }
    clsFTP* ftp() const { return m_mFTP; }
    const HistorialEnvios& historial() const { return m_historial; }
    frmVistaPrevia* vistaPrevia() const;
    // The steps of the last "Probar conex." that ended, and whether one is running.
    const QList<PasoComprobacion>& ultimaPrueba() const { return m_ultimaPrueba; }
    bool probando() const { return m_prueba != nullptr; }
    frmBitacora* bitacora() const;
    QTabWidget* stbTabs;
    PrincipalPage* principal;
    ConfiguracionPage* configuracion;
    CamposPage* relacion;

Q_SIGNALS:
    // A run has finished (after the window has shown its summary).
    void envioTerminado(const ResumenEnvio& resumen);
    // "Probar conex." has ended (after the window has shown its result).
    void pruebaTerminada();

protected:
    bool event(QEvent* evento) override;
    void changeEvent(QEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void mouseDoubleClickEvent(QMouseEvent* evento) override;

private:
    void Form_Activate();
    void Form_Unload();
    void mostrarConfiguracion();
    // The saved settings into the page's boxes and controls.
    void mostrarValores();
    // "Cancelar": the saved values and mapping back, the masked values masked again.
    void descartarCambios();
    // The mapping as the page shows it: the grid once filled, else the one loaded.
    QList<Estrucs> filasDeLaRelacion() const;
    void alTerminarPrueba(const QList<PasoComprobacion>& pasos);
    void cmdAceptarCertificado_Click();
    void EnviarAhora();
    void cmdLeerAhora_Click();
    void cmdConfigurar_Click();
    void cmdCancelar_Click();
    void cmdGrabar_Click();
    // False when the encryption key is lost and the user does not want a new one.
    bool confirmarLlave();
    void cmdProbar_Click();
    void cmdTerminar_Click();
    void cmdMinimizar_Click();
    void stbTabs_Click(int pagina);
    void mostrarDescripcion();
    void mostrarBitacora();
    void cmdVistaPrevia_Click();
    void alTerminarEnvio(const ResumenEnvio& resumen);
    // The settings file read again when it changed on disk since it was last read or saved.
    void releerSiCambio();
    // Starts the run: the button turns into "Interrumpir" and the timer waits.
    void iniciarEnvio(const DatosEnvio& datos, clsFTP* ftp);
    void mFTP_FileTransferProgress(qint64 lCurrentBytes, qint64 lTotalBytes);
    void ocultarEnBandeja();

    QString m_rutaIni;
    QStringList m_ordenInicio;
    Componentes m_c;
    std::unique_ptr<DeControles> m_controles;
    Ajustes m_ajustes;
    clnCampos m_clnCampos;
    QList<Estrucs> m_filasMapeo; // every point-of-sale column with its mapping, as loaded
    QThread* m_prueba = nullptr; // the running "Probar conex."
    QList<PasoComprobacion> m_ultimaPrueba;
    Programador* m_programador;
    EnvioEnSegundoPlano* m_envio;
    clsInicio* m_bandeja;
    clsFTP* m_mFTP = nullptr;
    QPointer<frmDescripcion> m_descripcion;
    QPointer<frmBitacora> m_bitacora;
    QPointer<frmVistaPrevia> m_vistaPrevia;
    HistorialEnvios m_historial;
    bool m_simulacro = false; // the running send is the preview's dry run
    bool m_PrimeraActivacion = true;
    bool m_saliendo = false;
    bool m_cargada = false;
    bool m_envioMostrado = false;
    quint64 m_numeroEnvio = 0;   // runs started, to tell a question's run from a later one
    QDateTime m_modificacionIni; // of the settings file when last read or saved
    qint64 m_tamanoIni = -1;
};
