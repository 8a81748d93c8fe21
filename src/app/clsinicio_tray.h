#pragma once

#include <QObject>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The program's icon in the notification area and its start at logon. A left click or a double
// click on the icon asks for the window back; the right button opens the icon's menu ("Mostrar la
// ventana", "Cerrar el programa"). Where the desktop has no notification area, the window is never
// hidden (hayBandeja() tells the window so).
class clsInicio : public QObject {
    Q_OBJECT
public:
    explicit clsInicio(QWidget* ventana, QObject* padre = nullptr);
    ~clsInicio() override;

    static bool hayBandeja();
    // Shows the icon with the window's caption as tip (a repeated call only refreshes the tip).
    void PonerSystray();
    void RemoverSystray();
    // A balloon on the icon (the run's failures); nothing without a notification area.
    void notificar(const QString& titulo, const QString& texto, bool esError);

    // Shows the window in its normal state, in front, with the focus in "Picture1" when visible.
    static void Restaurar(QWidget* ventana);
    // Makes sure the program starts at logon as it was started now (orden: the executable's full
    // path and its settings file option); rewrites the entry when either changed. Failures are
    // ignored, as the start-up must go on.
    static void SiRegistrado(const QString& nombreEjecutable, const QStringList& orden);

    QSystemTrayIcon* icono() const { return m_icono; }

Q_SIGNALS:
    void restaurarPedido();
    void cerrarPedido();

private:
    QPointer<QWidget> m_ventana;
    QSystemTrayIcon* m_icono = nullptr;
    QMenu* m_menu = nullptr;
};
