#include "clsinicio_tray.h"

#include "services/plataforma.h"

#include <QIcon>
#include <QLoggingCategory>
#include <QSystemTrayIcon>
#include <QWidget>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcBandeja, "vendaro.bandeja")

clsInicio::clsInicio(QWidget* ventana, QObject* padre)
    : QObject(padre)
    , m_ventana(ventana) {}

bool clsInicio::hayBandeja() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void clsInicio::PonerSystray() {
    if (!m_icono) {
        m_icono = new QSystemTrayIcon(QIcon(u":/vendaro/vendaro.svg"_s), this);
        connect(m_icono, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason razon) {
                    if (razon != QSystemTrayIcon::MiddleClick)
                        Q_EMIT restaurarPedido();
                });
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
    ventana->setWindowState((ventana->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    ventana->show();
    ventana->raise();
    ventana->activateWindow();
    if (auto* contenedor = ventana->findChild<QWidget*>(u"Picture1"_s);
        contenedor && contenedor->isVisible())
        contenedor->setFocus();
}

void clsInicio::SiRegistrado(const QString& nombreEjecutable, const QString& rutaEjecutable) {
    if (plataforma::inicioAutomaticoRegistrado(nombreEjecutable) == rutaEjecutable)
        return;
    if (!plataforma::registrarInicioAutomatico(nombreEjecutable, rutaEjecutable))
        qCWarning(lcBandeja).noquote() << "No se pudo registrar el inicio automático en"
                                       << plataforma::archivoInicioAutomatico(nombreEjecutable);
}
