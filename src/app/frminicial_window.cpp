#include "frminicial_window.h"

#include "campos_page.h"
#include "clsinicio_tray.h"
#include "config/certificado_ftp.h"
#include "config/mapeo.h"
#include "configuracion_page.h"
#include "envio_segundo_plano.h"
#include "frmbitacora_window.h"
#include "frmdescripcion_window.h"
#include "frmvistaprevia_window.h"
#include "ftp/clsftp.h"
#include "principal_page.h"
#include "programador.h"
#include "services/bitacora.h"
#include "services/decontroles_gui.h"
#include "services/dialogos.h"
#include "services/instalacion.h"
#include "services/mensajes.h"
#include "services/modoprueba.h"
#include "services/plataforma.h"
#include "services/ventanas_gui.h"
#include "sync/clsprocedimenti.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
const QString Titulo = u"Actualización de productos en línea"_s;
const QString EnviarAhoraTexto = u"&Enviar ahora"_s;
const QString InterrumpirTexto = u"&Interrumpir"_s;
const QString InterrumpiendoTexto = u"Interrumpiendo…"_s;

QString estiloPiel() {
    return u"frmInicial { background: #eef3f7; }"
           "QFrame#Picture1, QFrame#Picture2 { background: #ffffff; border: 1px solid #c5d3de;"
           " border-radius: 6px; }"
           "QLabel#lblTitulo { color: #1d4f73; }"
           "QLabel#lblInfo { color: #b5541c; }"
           "QPushButton { padding: 4px 14px; }"_s;
}
} // namespace

QString frmInicial::VersionTexto() {
    return u"   v "_s + QString::number(VENDARO_VERSION_MAJOR) + u'.' +
           QString::number(VENDARO_VERSION_MINOR) + u'.' + QString::number(VENDARO_VERSION_PATCH);
}

frmInicial::frmInicial(const QString& rutaIni, Reloj* reloj, QWidget* padre)
    : QWidget(padre)
    , m_rutaIni(rutaIni)
    , m_historial(rutaIni) {
    setObjectName(u"frmInicial"_s);
    setWindowTitle(Titulo);
    setWindowIcon(QIcon(u":/vendaro/vendaro.svg"_s));

    auto* titulo = new QLabel(this);
    titulo->setObjectName(u"imgTitulo"_s);
    titulo->setPixmap(QIcon(u":/vendaro/titulo.svg"_s).pixmap(QSize(360, 48)));
    stbTabs = new QTabWidget(this);
    stbTabs->setObjectName(u"stbTabs"_s);
    principal = new PrincipalPage(stbTabs);
    configuracion = nullptr;
    relacion = new CamposPage(stbTabs);
    auto* distribucion = new QVBoxLayout(this);
    distribucion->addWidget(titulo);
    distribucion->addWidget(stbTabs, 1);
    // Wide enough for the mapping grid's designed columns.
    resize(900, 680);

    m_programador = new Programador(reloj ? reloj : new RelojQt, this);
    m_envio = new EnvioEnSegundoPlano(this);
    m_bandeja = new clsInicio(this, this);

    connect(m_programador, &Programador::cuenta, principal->lblInfo, &QLabel::setText);
    connect(m_programador, &Programador::tiempoCumplido, this, &frmInicial::EnviarAhora);
    connect(principal->cmdLeerAhora, &QPushButton::clicked, this, &frmInicial::cmdLeerAhora_Click);
    connect(principal->cmdConfigurar, &QPushButton::clicked, this,
            &frmInicial::cmdConfigurar_Click);
    connect(principal->cmdTerminar, &QPushButton::clicked, this, &frmInicial::cmdTerminar_Click);
    connect(principal->cmdMinimizar, &QPushButton::clicked, this, &frmInicial::cmdMinimizar_Click);
    connect(principal->chkImagenes, &QCheckBox::toggled, m_envio,
            &EnvioEnSegundoPlano::setImagenesPedidas);
    connect(m_bandeja, &clsInicio::restaurarPedido, this, [this] { clsInicio::Restaurar(this); });
    connect(m_bandeja, &clsInicio::cerrarPedido, this, [this] {
        clsInicio::Restaurar(this);
        cmdTerminar_Click();
    });
    connect(m_envio, &EnvioEnSegundoPlano::inicio, this, [this] {
        m_envioMostrado = true;
        principal->Label3->clear();
        principal->Label5->clear();
        principal->Label5->show();
        principal->Label3->show();
        // The previous run's line would read as this one's; a preview leaves it (it tells its
        // end in its own window).
        if (!m_simulacro)
            principal->lblUltimoEnvio->clear();
        principal->mostrarAvance({FaseEnvio::Leyendo, 0, 0});
    });
    connect(m_envio, &EnvioEnSegundoPlano::avance, principal, &PrincipalPage::mostrarAvance);
    connect(m_envio, &EnvioEnSegundoPlano::producto, this,
            [this](const QString& clave, const QString& descripcion, qint64 n, qint64 total) {
                principal->Label3->setText(u"Clave: "_s + clave + u"\nDescripción: "_s +
                                           descripcion);
                principal->Label5->setText(u"Producto "_s + QString::number(n) + u" de "_s +
                                           QString::number(total));
            });
    connect(m_envio, &EnvioEnSegundoPlano::imagenProducto, this,
            [this](const QString& clave, const QString& descripcion, qint64 n, qint64 total) {
                principal->Label3->setText(u"Imagen del producto "_s + clave +
                                           u"\nDescripción: "_s + descripcion);
                principal->Label5->setText(QString::number(n) + u" de "_s + QString::number(total));
            });
    connect(m_envio, &EnvioEnSegundoPlano::subiendoArchivos, principal->pctPorcen,
            &QWidget::setVisible);
    connect(m_envio, &EnvioEnSegundoPlano::imagenesLimpiadas, this,
            [this] { principal->chkImagenes->setChecked(false); });
    connect(m_envio, &EnvioEnSegundoPlano::terminado, this, &frmInicial::alTerminarEnvio);
    connect(m_envio, &EnvioEnSegundoPlano::cambioPrevisto, this, [this](const CambioPrevisto& c) {
        if (m_simulacro && m_vistaPrevia)
            m_vistaPrevia->agregar(c);
    });
    connect(principal->cmdBitacora, &QPushButton::clicked, this, &frmInicial::mostrarBitacora);
    connect(principal->cmdVistaPrevia, &QPushButton::clicked, this,
            &frmInicial::cmdVistaPrevia_Click);

    // The window sees these keys before its controls.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &frmInicial::mostrarDescripcion);
    auto* altF4 = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
    connect(altF4, &QShortcut::activated, this, &frmInicial::Descargar);
}

frmInicial::~frmInicial() {
    if (m_cargada && !m_saliendo)
        Form_Unload();
}

bool frmInicial::Form_Load() {
    m_PrimeraActivacion = true;
    m_programador->setTranscurrido(0, 0);
    QDir::setCurrent(QFileInfo(m_rutaIni).absolutePath());
    m_c.crear();
    CrearObjeto(m_controles, u"DeControles"_s);
    if (m_c.utilerias)
        m_c.utilerias->setElMenu(this);

    configuracion = new ConfiguracionPage(*m_c.qvtx, stbTabs);
    stbTabs->addTab(principal, u"Principal"_s);
    stbTabs->addTab(configuracion, u"Configuración"_s);
    stbTabs->addTab(relacion, u"Relación de campos"_s);
    relacion->configurarEdicion(this);
    // The mapping page lists the shop the configuration page names now, saved or not.
    relacion->setAjustesActuales([this] {
        Ajustes tecleados = m_ajustes;
        aplicarTextos(tecleados, configuracion->textos(), configuracion->valores());
        return tecleados;
    });
    connect(relacion->cmdGrabar, &QPushButton::clicked, this, &frmInicial::cmdGrabar_Click);
    connect(configuracion->cmdCancelar, &QPushButton::clicked, this, [this] {
        descartarCambios();
        cmdCancelar_Click();
    });
    connect(configuracion->cmdGrabar, &QPushButton::clicked, this, &frmInicial::cmdGrabar_Click);
    connect(configuracion->cmdProbar, &QPushButton::clicked, this, &frmInicial::cmdProbar_Click);
    connect(configuracion->cmdAceptarCertificado, &QPushButton::clicked, this,
            &frmInicial::cmdAceptarCertificado_Click);
    connect(stbTabs, &QTabWidget::currentChanged, this, &frmInicial::stbTabs_Click);

    m_ajustes.RutaIni = m_rutaIni;
    if (!confirmarLlave())
        return false;
    if (!LocalizarInstalacion(*m_c.qvtx, *m_c.registro, *m_c.bases, m_ajustes.RutaIni, true))
        return false;
    m_cargada = true;

    {
        clsProcedimenti procedimiento(m_c, m_ajustes);
        procedimiento.LeerConfiguracion(m_clnCampos, &m_filasMapeo);
        if (procedimiento.ajustesInutiles())
            CajaMensaje(procedimiento.ultimoError() +
                            u"\rEl archivo quedó como estaba; los valores que faltan se toman "
                            u"por omisión hasta que se pueda escribir."_s,
                        Botones::Critico, u"Archivo de configuración"_s);
    }
    mostrarConfiguracion();
    m_historial.leer();
    principal->mostrarHistorial(m_historial);

    setWindowTitle(windowTitle().trimmed() + VersionTexto());
    configuracion->txtDato(0)->setText(m_c.bases->cMiBase);
    configuracion->txtDato(1)->setText(QString::number(m_ajustes.IntervaloMinutos));

    m_bandeja->PonerSystray();
    if (m_ordenInicio.isEmpty())
        m_ordenInicio = {QCoreApplication::applicationFilePath(), u"--ini"_s, m_rutaIni};
    clsInicio::SiRegistrado(QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                            m_ordenInicio);
    if (m_ajustes.IntervaloMinutos == 0)
        clsInicio::Restaurar(this);
    stbTabs->setCurrentIndex(0);
    if (m_controles)
        m_controles->LaCeldaFG(relacion->mhgReja, 0, 0, false);
    relacion->reiniciar(*m_c.qvtx, m_ajustes.RutaIni);
    // Set up by the picture pass that uses it, with the settings of its run.
    m_mFTP = new clsFTP(this);
    connect(m_mFTP, &clsFTP::FileTransferProgress, this, &frmInicial::mFTP_FileTransferProgress);
    // Without a notification area the window is the only way to the program: it stays shown.
    if (EnModoPrueba() || !clsInicio::hayBandeja())
        clsInicio::Restaurar(this);
    return true;
}

void frmInicial::mostrarValores() {
    QHash<QString, QString> otras;
    for (const ClaveAjuste& c : clavesAjustes()) {
        QString texto;
        if (c.texto)
            texto = m_ajustes.*c.texto;
        else if (c.entero)
            texto = QString::number(m_ajustes.*c.entero);
        else if (c.puerto)
            texto = QString::number(m_ajustes.*c.puerto);
        else if (c.booleano)
            texto = m_ajustes.*c.booleano ? u"1"_s : u"0"_s;
        if (c.campo >= 0)
            configuracion->txtDato(c.campo)->setText(texto);
        else
            otras.insert(c.clave, texto);
    }
    otras.insert(ClaveRutaHost, m_c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, m_rutaIni));
    configuracion->ponerValores(otras);
}

void frmInicial::mostrarConfiguracion() {
    // Boxes 2 to 17 and the keys without a box from the settings record; 0 and 1 are set at start
    // and by "Cancelar".
    mostrarValores();
    const QFileInfo ini(m_ajustes.RutaIni);
    m_modificacionIni = ini.lastModified();
    m_tamanoIni = ini.size();
    bool imagenes = !configuracion->txtDato(12)->text().trimmed().isEmpty();
    m_programador->setIntervaloMinutos(m_ajustes.IntervaloMinutos);
    if (m_ajustes.IntervaloMinutos > 0)
        m_programador->encender();
    else
        m_programador->apagar();
    if (m_ajustes.IntervaloMinutos < 1)
        principal->lblInfo->setText(u"Sin definir"_s);
    if (imagenes)
        imagenes = !m_ajustes.CarpetaImagenesProductos.isEmpty();
    principal->chkImagenes->setVisible(imagenes);
}

void frmInicial::MostrarPagina(int pagina) {
    stbTabs->setTabVisible(pagina, true);
    stbTabs->setCurrentIndex(pagina);
    for (int p = 0; p < stbTabs->count(); ++p)
        if (p != pagina)
            stbTabs->setTabVisible(p, false);
}

bool frmInicial::event(QEvent* evento) {
    if (evento->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(evento);
}

void frmInicial::Form_Activate() {
    if (!m_PrimeraActivacion)
        return;
    m_PrimeraActivacion = false;
    std::unique_ptr<Efectos> efectos;
    if (CrearObjeto(efectos, u"Efectos"_s))
        efectos->PintarSkin(this);
    setStyleSheet(estiloPiel());
    MostrarPagina(0);
    update();
}

void frmInicial::changeEvent(QEvent* evento) {
    QWidget::changeEvent(evento);
    if (evento->type() != QEvent::WindowStateChange || !m_cargada)
        return;
    // Minimised by the window manager (its minimise button): into the tray, once the window manager
    // has finished iconifying. Other state changes are only reports (a window the window manager
    // withdraws reads as "normal" again) and never show the window: showing here is what once
    // raced the window manager's pending unmap and left a window Qt believed shown but was not.
    if ((windowState() & Qt::WindowMinimized) && isVisible() && clsInicio::hayBandeja())
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized() && isVisible())
                    ocultarEnBandeja();
            },
            Qt::QueuedConnection);
}

void frmInicial::ocultarEnBandeja() {
    // Withdrawn, never iconified on the way: an iconify request is answered by the window manager
    // later, and a hide in between leaves its answers to arrive in either order.
    hide();
    m_bandeja->PonerSystray();
}

void frmInicial::closeEvent(QCloseEvent* evento) {
    // Alt+F4 never reaches the window as a key on Windows (the system turns it into the same close
    // request as the close box's): a close asked for while Alt is held is that key, and ends the
    // program.
    if (!m_saliendo && plataforma::altF4EsPeticionDeCierre() &&
        (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier))
        Descargar();
    if (m_saliendo) {
        evento->accept();
        return;
    }
    // The close box only hides the window: the program keeps running and sending.
    evento->ignore();
    cmdMinimizar_Click();
}

void frmInicial::mouseDoubleClickEvent(QMouseEvent*) {
    if (m_c.archivos)
        frmDescripcion::EditarINI(*m_c.archivos, m_ajustes.RutaIni);
}

void frmInicial::cmdMinimizar_Click() {
    if (clsInicio::hayBandeja())
        ocultarEnBandeja();
    else
        showMinimized();
}

void frmInicial::cmdTerminar_Click() {
    if (Pregunta(u"¿Está seguro de cerrar este programa?"_s, u"Cerrar conexión"_s, true))
        Descargar();
}

void frmInicial::Descargar() {
    if (m_saliendo)
        return;
    m_saliendo = true;
    Form_Unload();
    close();
    QCoreApplication::quit();
}

void frmInicial::Form_Unload() {
    if (!m_cargada)
        return;
    m_cargada = false;
    // A running send stops before its next product.
    m_envio->interrumpir();
    m_envio->esperar();
    if (m_prueba) {
        // A test only reads; it ends within the servers' time-outs.
        m_prueba->wait();
        delete m_prueba;
        m_prueba = nullptr;
    }
    m_programador->apagar();
    if (m_c.qvtx)
        relacion->guardarAnchos(*m_c.qvtx, m_ajustes.RutaIni);
    if (m_mFTP)
        m_mFTP->CloseConnection();
    m_bandeja->RemoverSystray();
    for (QWidget* w : {static_cast<QWidget*>(m_descripcion), static_cast<QWidget*>(m_bitacora),
                       static_cast<QWidget*>(m_vistaPrevia)})
        if (w)
            w->close();
    m_c.liberar();
    m_controles.reset();
}

void frmInicial::mostrarDescripcion() {
    if (!m_descripcion) {
        // Next to the settings, next to the program, or where the package installed it.
        const QFileInfo exe(QCoreApplication::applicationFilePath());
        const QString nombre = exe.completeBaseName() + u".txt"_s;
        QString texto = QFileInfo(m_rutaIni).absolutePath() + u'/' + nombre;
        if (!QFile::exists(texto))
            texto = exe.absolutePath() + u'/' + nombre;
        if (!QFile::exists(texto))
            texto =
                QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"vendaro/"_s + nombre);
        m_descripcion = new frmDescripcion(*m_c.qvtx, *m_c.archivos, m_ajustes.RutaIni, texto);
    }
    m_descripcion->show();
    m_descripcion->raise();
}

frmVistaPrevia* frmInicial::vistaPrevia() const {
    return m_vistaPrevia;
}

frmBitacora* frmInicial::bitacora() const {
    return m_bitacora;
}

void frmInicial::mostrarBitacora() {
    if (!m_bitacora) {
        m_bitacora = new frmBitacora(bitacora::rutaPara(m_rutaIni), this);
        m_bitacora->setAttribute(Qt::WA_DeleteOnClose);
        ajustarAPantalla(m_bitacora, this);
    } else {
        m_bitacora->actualizar();
    }
    m_bitacora->show();
    m_bitacora->raise();
    m_bitacora->activateWindow();
}

void frmInicial::cmdVistaPrevia_Click() {
    if (m_envio->activo())
        return;
    if (!m_vistaPrevia) {
        m_vistaPrevia = new frmVistaPrevia(this);
        m_vistaPrevia->setAttribute(Qt::WA_DeleteOnClose);
        ajustarAPantalla(m_vistaPrevia, this);
    }
    m_vistaPrevia->empezar();
    m_vistaPrevia->show();
    m_vistaPrevia->raise();
    // The dry run reads as a send would and writes nothing; it runs like a send (the timer waits,
    // "Interrumpir" stops it) but leaves no trace in the runs kept. Closing its window stops it:
    // nobody is left to read what it finds.
    connect(m_vistaPrevia, &QObject::destroyed, this, [this, numero = m_numeroEnvio + 1] {
        if (m_simulacro && m_numeroEnvio == numero && m_envio->activo())
            m_envio->interrumpir();
    });
    releerSiCambio();
    m_simulacro = true;
    DatosEnvio datos = clsProcedimenti(m_c, m_ajustes).datosEnvio(m_clnCampos);
    datos.simulacro = true;
    m_envio->setImagenesPedidas(false);
    iniciarEnvio(datos, nullptr);
}

void frmInicial::iniciarEnvio(const DatosEnvio& datos, clsFTP* ftp) {
    ++m_numeroEnvio;
    m_programador->apagar();
    m_envioMostrado = false;
    principal->cmdLeerAhora->setText(InterrumpirTexto);
    principal->cmdLeerAhora->setEnabled(true);
    principal->cmdVistaPrevia->setEnabled(false);
    m_envio->iniciar(datos, ftp);
}

void frmInicial::releerSiCambio() {
    const QFileInfo ini(m_ajustes.RutaIni);
    if (ini.lastModified() == m_modificacionIni && ini.size() == m_tamanoIni)
        return;
    // Edited by hand while the program ran: the send goes with what the file says now.
    qInfo().noquote() << u"El archivo de configuración %1 cambió; se lee de nuevo antes del envío"_s
                             .arg(QDir::toNativeSeparators(m_ajustes.RutaIni));
    QList<Estrucs> filas;
    clsProcedimenti procedimiento(m_c, m_ajustes);
    procedimiento.LeerConfiguracion(m_clnCampos, &filas);
    if (procedimiento.ajustesInutiles())
        qWarning().noquote() << procedimiento.ultimoError();
    mostrarConfiguracion();
    configuracion->txtDato(1)->setText(QString::number(m_ajustes.IntervaloMinutos));
    if (!filas.isEmpty())
        m_filasMapeo = filas;
    if (relacion->renglones() > 2 && !filas.isEmpty())
        relacion->llenar(filas, m_controles.get());
}

void frmInicial::cmdLeerAhora_Click() {
    if (principal->cmdLeerAhora->text() == EnviarAhoraTexto) {
        EnviarAhora();
        return;
    }
    const quint64 numero = m_numeroEnvio;
    // A preview writes nothing: stopping it loses nothing and needs no confirmation.
    if (!m_simulacro &&
        !Pregunta(u"¿Desea interrumpir el envío de productos?"_s, u"Interrumpir proceso"_s, true))
        return;
    // The run may have ended while the question was open (its end has then put the button back),
    // and another may have started since: only the run asked about is stopped.
    if (numero != m_numeroEnvio || !m_envio->activo())
        return;
    // The run stops before its next product, which on a slow link may take a while: the
    // button says at once that the request was heard.
    m_envio->interrumpir();
    principal->cmdLeerAhora->setText(InterrumpiendoTexto);
    principal->cmdLeerAhora->setEnabled(false);
}

void frmInicial::EnviarAhora() {
    if (m_envio->activo())
        return;
    releerSiCambio();
    principal->lblInfo->clear();
    m_programador->setTranscurrido(m_programador->MinutosTranscurridos(), 0);
    m_envio->setImagenesPedidas(principal->chkImagenes->isChecked());
    iniciarEnvio(clsProcedimenti(m_c, m_ajustes).datosEnvio(m_clnCampos), m_mFTP);
}

void frmInicial::mFTP_FileTransferProgress(qint64 lCurrentBytes, qint64 lTotalBytes) {
    QString texto;
    int porcentaje = 0;
    if (!PrincipalPage::ProgresoFTP(lCurrentBytes, lTotalBytes, &texto, &porcentaje))
        return;
    principal->Label5->setText(texto);
    if (m_controles)
        m_controles->BarraPorcentaje(principal->pctPorcen, porcentaje);
}

void frmInicial::alTerminarEnvio(const ResumenEnvio& resumen) {
    principal->cmdLeerAhora->setText(EnviarAhoraTexto);
    principal->cmdLeerAhora->setEnabled(true);
    principal->cmdVistaPrevia->setEnabled(true);
    if (m_envioMostrado) {
        principal->Label3->hide();
        principal->Label5->hide();
        principal->pctPorcen->hide();
    }
    principal->lblFase->hide();
    principal->barEnvio->hide();
    const bool simulacro = m_simulacro;
    m_simulacro = false;
    QString noGuardado;
    if (simulacro) {
        if (m_vistaPrevia)
            m_vistaPrevia->terminar(resumen);
    } else if (resumen.estado != ResumenEnvio::Estado::MapeoInvalido &&
               resumen.estado != ResumenEnvio::Estado::EnCurso) {
        QString error;
        m_historial.leer(); // with the runs `--send` added meanwhile
        if (!m_historial.agregar(resumen, QDateTime::currentDateTime(), &error)) {
            noGuardado = u" (no se pudo guardar en %1: %2)"_s.arg(m_historial.ruta(), error);
            qWarning().noquote() << u"No se guardó el envío en el historial"_s + noGuardado;
        }
        principal->mostrarHistorial(m_historial);
    }
    if (!simulacro && resumen.estado != ResumenEnvio::Estado::MapeoInvalido) {
        QString texto = u"Último envío ("_s +
                        QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm"_s) + u"): "_s;
        if (!resumen.mensaje.isEmpty())
            texto += resumen.mensaje + u". "_s;
        if (!resumen.motivoImagenes.isEmpty())
            texto += u"Imágenes: "_s + resumen.motivoImagenes + u". "_s;
        // Written, but not all as sent: said where the values are, not only in the log.
        QString avisos;
        if (resumen.conAvisos > 0)
            avisos = u" %1 con avisos: lo enviado y lo que la tienda guardó están en la lista de "
                     u"productos con avisos."_s.arg(resumen.conAvisos == 1
                                                        ? u"1 producto"_s
                                                        : u"%1 productos"_s.arg(resumen.conAvisos));
        principal->lblUltimoEnvio->setText(texto + resumen.texto() + noGuardado + avisos);
        const QString problemas = resumen.textoProblemas();
        if (!problemas.isEmpty() && resumen.estado != ResumenEnvio::Estado::Interrumpido)
            m_bandeja->notificar(u"Envío de productos"_s,
                                 problemas + u". Detalles en "_s + resumen.rutaBitacora, true);
    }
    // After an interruption the next automatic send waits a whole interval.
    if (resumen.estado == ResumenEnvio::Estado::Interrumpido)
        m_programador->setTranscurrido(0, 0);
    if (m_ajustes.IntervaloMinutos < 1)
        principal->lblInfo->setText(u"Sin definir"_s);
    if (m_cargada && m_ajustes.IntervaloMinutos > 0)
        m_programador->encender();
    Q_EMIT envioTerminado(resumen);
}

void frmInicial::cmdConfigurar_Click() {
    m_programador->apagar();
    MostrarPagina(1);
    stbTabs->setTabVisible(2, true);
    configuracion->txtDato(0)->setFocus();
}

void frmInicial::cmdCancelar_Click() {
    MostrarPagina(0);
    // During a send the timer waits for its end, which switches it on.
    if (!m_envio->activo())
        m_programador->encender();
}

bool frmInicial::confirmarLlave() {
    const QString problema = ComprobarLlave(*m_c.qvtx, *m_c.utilerias, m_rutaIni);
    if (problema.isEmpty())
        return true;
    const QChar cr(u'\r');
    if (m_c.utilerias->cifrador().problemaLlave().isEmpty()) {
        // The key is sound but did not encrypt these values (another machine's, one made anew):
        // replacing it would lose what it does encrypt. The values go unread until typed again.
        return Pregunta(problema + cr + cr +
                            u"Si conserva la llave con que se cifraron, responda No, póngala en su "
                            u"lugar y vuelva a abrir el programa."_s +
                            cr + cr +
                            u"¿Continuar sin esos valores? No se enviará nada hasta escribirlos "
                            u"de nuevo en la configuración y grabarlos."_s,
                        u"Llave de cifrado"_s);
    }
    // A new key cannot read what the old one encrypted: only the user may give those values up.
    if (!Pregunta(problema + cr + cr +
                      u"Si conserva una copia de ese archivo, responda No, póngala en su lugar y "
                      u"vuelva a abrir el programa."_s +
                      cr + cr +
                      u"¿Crear una llave nueva? Los valores cifrados se perderán y habrá que "
                      u"escribirlos de nuevo en la configuración."_s,
                  u"Llave de cifrado"_s))
        return false;
    return m_c.utilerias->cifrador().reemplazarLlave();
}

void frmInicial::descartarCambios() {
    configuracion->chkVerPass->setChecked(false);
    mostrarValores();
    configuracion->txtDato(0)->setText(m_c.bases->cMiBase);
    configuracion->txtDato(1)->setText(QString::number(m_ajustes.IntervaloMinutos));
    if (relacion->renglones() > 2 && !m_filasMapeo.isEmpty())
        relacion->llenar(m_filasMapeo, m_controles.get());
}

QList<Estrucs> frmInicial::filasDeLaRelacion() const {
    // The grid holds two rows until its page is first shown: the mapping is then the loaded one.
    return relacion->renglones() > 2 ? relacion->filas() : m_filasMapeo;
}

void frmInicial::cmdGrabar_Click() {
    const bool visitada = relacion->renglones() > 2;
    const QList<Estrucs> filas = filasDeLaRelacion();
    // Without the point of sale's columns there is no mapping to judge (nor to save).
    const bool mapeoBien = filas.isEmpty() || ComprobarMapeo(filas);
    if (!relacion->confirmarNombres(filas))
        return;
    const QString rutaHost = m_c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, m_rutaIni);
    QString error;
    if (!GrabarAjustes(configuracion->textos(), *m_c.qvtx, *m_c.utilerias, m_ajustes.RutaIni,
                       &error, configuracion->valores())) {
        // Nothing was written; the boxes keep what the user typed.
        CajaMensaje(error + u"\rNo se grabó la configuración."_s, Botones::Critico, u"Grabar"_s);
        return;
    }
    if (mapeoBien && visitada)
        GrabarMapeo(filas, *m_c.qvtx, m_ajustes.RutaIni);
    else if (!mapeoBien)
        CajaMensaje(u"La configuración se grabó, pero la relación de campos no: corríjala y "
                    u"pulse «Grabar» otra vez."_s,
                    Botones::Exclamacion, u"Grabar"_s);
    configuracion->chkVerPass->setChecked(false);
    // Another Velmora Premium folder names another point-of-sale server.
    if (m_c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, m_rutaIni) != rutaHost &&
        !LocalizarInstalacion(*m_c.qvtx, *m_c.registro, *m_c.bases, m_rutaIni, true))
        CajaMensaje(u"No se encontró velmora.ini en la carpeta de Velmora Premium indicada; los "
                    u"envíos no podrán leer el punto de venta hasta corregirla."_s,
                    Botones::Critico, u"Grabar"_s);
    m_c.bases->cMiBase = m_c.qvtx->LeeIni(SeccionConfiguracion, ClaveBasePrincipal, m_rutaIni);
    cmdCancelar_Click();
    QList<Estrucs> nuevas;
    clsProcedimenti(m_c, m_ajustes).LeerConfiguracion(m_clnCampos, &nuevas);
    if (!nuevas.isEmpty())
        m_filasMapeo = nuevas;
    mostrarConfiguracion();
    if (relacion->renglones() > 2 || !nuevas.isEmpty())
        relacion->llenar(nuevas, m_controles.get());
}

void frmInicial::cmdProbar_Click() {
    if (m_prueba)
        return;
    // The values as typed, not the saved ones; the mapping as the page shows it.
    DatosComprobacion datos{*m_c.bases, m_ajustes, {}};
    datos.puntoDeVenta.cMiBase = configuracion->txtDato(0)->text().trimmed();
    aplicarTextos(datos.ajustes, configuracion->textos(), configuracion->valores());
    for (const Estrucs& f : filasDeLaRelacion())
        if (!f.DeWeb.trimmed().isEmpty())
            datos.campos.append(f);
    configuracion->empezarPrueba();
    // The servers may take their whole time-outs: the test runs on a thread of its own and the
    // window goes on answering; each step shows as it ends.
    auto pasos = std::make_shared<QList<PasoComprobacion>>();
    ConfiguracionPage* pagina = configuracion;
    QThread* hilo = QThread::create([datos, pasos, pagina] {
        *pasos = comprobarConexiones(datos, [pagina](const PasoComprobacion& p) {
            QMetaObject::invokeMethod(
                pagina, [pagina, p] { pagina->agregarPaso(p); }, Qt::QueuedConnection);
        });
    });
    m_prueba = hilo;
    connect(hilo, &QThread::finished, this, [this, hilo, pasos] {
        if (m_prueba != hilo)
            return;
        m_prueba = nullptr;
        hilo->deleteLater();
        alTerminarPrueba(*pasos);
    });
    hilo->start();
}

void frmInicial::cmdAceptarCertificado_Click() {
    if (m_prueba)
        return;
    Ajustes ajustes = m_ajustes;
    aplicarTextos(ajustes, configuracion->textos(), configuracion->valores());
    auto leido = std::make_shared<CertificadoDelServidor>();
    QThread* hilo =
        QThread::create([ajustes, leido] { *leido = LeerCertificadoDelServidor(ajustes); });
    m_prueba = hilo;
    configuracion->cmdAceptarCertificado->setEnabled(false);
    configuracion->cmdProbar->setEnabled(false);
    connect(hilo, &QThread::finished, this, [this, hilo, leido] {
        if (m_prueba != hilo)
            return;
        m_prueba = nullptr;
        hilo->deleteLater();
        configuracion->cmdAceptarCertificado->setEnabled(true);
        configuracion->cmdProbar->setEnabled(true);
        const QString titulo = u"Certificado del FTP"_s;
        if (leido->conecto) {
            CajaMensaje(
                u"La sesión con el servidor FTP se abre sin aceptar nada: su certificado se "
                u"verifica (o no usa TLS)."_s,
                Botones::Informacion, titulo);
        } else if (leido->huella.isEmpty() || leido->host.isEmpty()) {
            CajaMensaje(u"No se pudo leer el certificado del servidor FTP: "_s + leido->error,
                        Botones::Critico, titulo);
        } else if (Pregunta(
                       u"El servidor «%1» muestra un certificado que no se puede verificar.\r\r"
                       u"Huella SHA-256:\r%2\r\rCompárela con la que le dé quien administra el "
                       u"servidor. ¿Aceptar este certificado? Se guarda con «Grabar»."_s.arg(
                           leido->host, HuellaLegible(leido->huella)),
                       titulo)) {
            auto* caja =
                qobject_cast<QLineEdit*>(configuracion->control(ClaveAceptarCertificadoFTP));
            caja->setText(leido->host + u" sha256:"_s + QString::fromLatin1(leido->huella));
        }
    });
    hilo->start();
}

void frmInicial::alTerminarPrueba(const QList<PasoComprobacion>& pasos) {
    m_ultimaPrueba = pasos;
    int fallos = 0;
    bool tienda = false;
    QStringList lineas;
    for (const PasoComprobacion& p : pasos) {
        if (p.fallo())
            ++fallos;
        if (p.nombre == PasoNombre::Tienda)
            tienda = !p.fallo();
        lineas.append((p.fallo()                                     ? u"✗ "_s
                       : p.estado == PasoComprobacion::Estado::Aviso ? u"! "_s
                                                                     : u"✓ "_s) +
                      p.texto);
    }
    configuracion->terminarPrueba(fallos);
    const QString texto = (tienda ? u"Conexión correcta a la base de datos"_s
                                  : u"No se estableció conexión a la base de datos"_s) +
                          u"\r\r"_s + lineas.join(u'\r');
    CajaMensaje(texto, fallos == 0 ? Botones::Informacion : Botones::Critico,
                fallos == 0 ? u"Datos correctos"_s : u"Datos incorrectos"_s);
    Q_EMIT pruebaTerminada();
}

void frmInicial::stbTabs_Click(int pagina) {
    if (pagina != 2 || !m_cargada)
        return;
    relacion->leerListas();
    if (relacion->renglones() != 2)
        return;
    QList<Estrucs> filas;
    if (clsProcedimenti(m_c, m_ajustes).LeerDeLosCampos(m_clnCampos, &filas)) {
        m_filasMapeo = filas;
        relacion->llenar(filas, m_controles.get());
    }
    relacion->mhgReja->setFocus();
}
