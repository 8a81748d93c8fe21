#include "clsinicio_tray.h"

#include "services/plataforma.h"

#include <QIcon>
#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcBandeja, "vendaro.bandeja")

clsInicio::clsInicio(QWidget* ventana, QObject* padre)
    : QObject(padre)
    , m_ventana(ventana) {}

clsInicio::~clsInicio() {
    // A menu has no parent widget (it is a window of its own).
    delete m_menu;
}

bool clsInicio::hayBandeja() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void clsInicio::PonerSystray() {
    if (!m_icono) {
        m_icono = new QSystemTrayIcon(QIcon(u":/vendaro/vendaro.svg"_s), this);
        // The right button opens the menu; restoring as well would take the focus from it.
        connect(m_icono, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason razon) {
                    if (razon == QSystemTrayIcon::Trigger || razon == QSystemTrayIcon::DoubleClick)
                        Q_EMIT restaurarPedido();
                });
        m_menu = new QMenu;
        m_menu->setObjectName(u"mnBandeja"_s);
        m_menu->addAction(u"&Mostrar la ventana"_s, this, &clsInicio::restaurarPedido);
        m_menu->addSeparator();
        m_menu->addAction(u"&Cerrar el programa"_s, this, &clsInicio::cerrarPedido);
        m_icono->setContextMenu(m_menu);
    }
    if (m_ventana)
        m_icono->setToolTip(m_ventana->windowTitle().left(63));
    if (hayBandeja())
        m_icono->show();
}

void clsInicio::RemoverSystray() {
    if (m_icono)
        m_icono->hide();
}

void clsInicio::notificar(const QString& titulo, const QString& texto, bool esError) {
    if (m_icono && m_icono->isVisible() && QSystemTrayIcon::supportsMessages())
        m_icono->showMessage(titulo, texto,
                             esError ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                             15000);
}

void clsInicio::Restaurar(QWidget* ventana) {
    if (!ventana)
        return;
    // A window the window manager iconified keeps that state while hidden in the tray: clear it
    // first, so that the window is mapped in the normal state rather than iconified again.
    if (ventana->windowState() & Qt::WindowMinimized)
        ventana->setWindowState(ventana->windowState() & ~Qt::WindowMinimized);
    ventana->show();
    ventana->raise();
    ventana->activateWindow();
    if (auto* contenedor = ventana->findChild<QWidget*>(u"Picture1"_s);
        contenedor && contenedor->isVisible())
        contenedor->setFocus();
}

void clsInicio::SiRegistrado(const QString& nombreEjecutable, const QStringList& orden) {
    if (plataforma::inicioAutomaticoRegistrado(nombreEjecutable) ==
        plataforma::ordenInicioAutomatico(orden))
        return;
    if (!plataforma::registrarInicioAutomatico(nombreEjecutable, orden))
        qCWarning(lcBandeja).noquote() << "No se pudo registrar el inicio automático en"
                                       << plataforma::archivoInicioAutomatico(nombreEjecutable);
}
