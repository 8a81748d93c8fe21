#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A real X desktop of the test's own: Xvfb on a free display, the openbox window manager and the
// trayer notification area, all stopped with the object. The program is driven as a user would,
// through the window manager (wmctrl, xdotool) and seen through the X server (xwininfo).
class Escritorio {
public:
    Escritorio() = default;
    ~Escritorio();
    Escritorio(const Escritorio&) = delete;
    Escritorio& operator=(const Escritorio&) = delete;

    // Starts the three; false with the reason when one did not come up.
    bool iniciar(QString* error);
    const QString& display() const { return m_display; }
    // The environment of a program on this desktop (the caller's, with DISPLAY and the xcb
    // platform).
    QProcessEnvironment entorno() const;

    // Runs an X tool to its end (at most a few seconds) and returns its standard output.
    QString x(const QString& programa, const QStringList& argumentos) const;
    // Starts a program on this desktop; it is killed with the desktop when still running.
    QProcess* lanzar(const QString& programa, const QStringList& argumentos);

    // "IsViewable", "IsUnMapped", "IsUnviewable", or empty when the window does not exist.
    QString estadoMapa(const QString& ventana) const;
    // Waits until the window's map state is the one given; false after the time.
    bool esperarEstado(const QString& ventana, const QString& estado, int ms = 4000) const;
    // The top-level window of the process whose title contains the text; empty when none.
    QString ventanaDe(qint64 pid, const QString& titulo) const;
    QString esperarVentanaDe(qint64 pid, const QString& titulo, int ms = 15000) const;
    // The process's mapped windows (tray icon, main window, open menus...).
    QStringList ventanasVisiblesDe(qint64 pid) const;
    // The icons docked in the notification area, as window ids.
    QStringList iconosEnBandeja() const;
    QStringList esperarIconos(int cuantos, int ms = 15000) const;
    // For a failure's message: whether the program and the desktop's own programs still run, and
    // what the program printed.
    QString finDe(QProcess* programa) const;

private:
    QTemporaryDir m_carpeta;
    QString m_display;
    std::vector<std::unique_ptr<QProcess>> m_procesos;
};
