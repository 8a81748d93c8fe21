#include "escritorio.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {
void pausa(int ms) {
    QThread::msleep(ms);
}

// Whether someone owns the notification area's selection on the display: a tray host is ready
// to dock icons only from then on.
bool hayDuenoDeBandeja(const QString& display) {
    xcb_connection_t* x = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    bool hay = false;
    if (!xcb_connection_has_error(x)) {
        const char nombre[] = "_NET_SYSTEM_TRAY_S0";
        xcb_intern_atom_reply_t* atomo =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, sizeof nombre - 1, nombre), nullptr);
        if (atomo) {
            xcb_get_selection_owner_reply_t* dueno =
                xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, atomo->atom), nullptr);
            hay = dueno && dueno->owner != XCB_NONE;
            std::free(dueno);
            std::free(atomo);
        }
    }
    xcb_disconnect(x);
    return hay;
}
} // namespace

Escritorio::~Escritorio() {
    for (auto it = m_procesos.rbegin(); it != m_procesos.rend(); ++it) {
        QProcess& p = **it;
        if (p.state() == QProcess::NotRunning)
            continue;
        p.terminate();
        if (!p.waitForFinished(3000)) {
            p.kill();
            p.waitForFinished(3000);
        }
    }
}

QProcessEnvironment Escritorio::entorno() const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(u"DISPLAY"_s, m_display);
    e.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    return e;
}

QProcess* Escritorio::lanzar(const QString& programa, const QStringList& argumentos) {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(entorno());
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(programa, argumentos);
    p->waitForStarted(5000);
    m_procesos.push_back(std::move(p));
    return m_procesos.back().get();
}

QString Escritorio::x(const QString& programa, const QStringList& argumentos) const {
    QProcess p;
    p.setProcessEnvironment(entorno());
    p.start(programa, argumentos);
    if (!p.waitForFinished(8000)) {
        p.kill();
        p.waitForFinished(1000);
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool Escritorio::iniciar(QString* error) {
    // Xvfb picks a free display itself and writes its number to the descriptor given.
    auto xvfb = std::make_unique<QProcess>();
    xvfb->start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x800x24"_s,
                            u"-nolisten"_s, u"tcp"_s});
    if (!xvfb->waitForStarted(5000)) {
        *error = u"Xvfb no arrancó (¿falta el paquete xvfb?)"_s;
        return false;
    }
    QElapsedTimer reloj;
    reloj.start();
    QByteArray numero;
    while (!numero.contains('\n') && reloj.elapsed() < 15000 &&
           xvfb->state() == QProcess::Running) {
        xvfb->waitForReadyRead(200);
        numero += xvfb->readAllStandardOutput();
    }
    m_procesos.push_back(std::move(xvfb));
    if (!numero.contains('\n')) {
        *error = u"Xvfb no dijo su número de pantalla"_s;
        return false;
    }
    m_display = u':' + QString::fromLatin1(numero.trimmed());

    // openbox claims the screen (what wmctrl -m sees) before it has read its configuration and
    // grabbed its keys; until then Alt+F4 reaches the program as a key, which ends it. Its start
    // command runs once all of that is done.
    if (!m_carpeta.isValid()) {
        *error = u"no se pudo crear una carpeta temporal"_s;
        return false;
    }
    const QString listo = m_carpeta.filePath(u"openbox-listo"_s);
    QProcess* openbox = lanzar(u"openbox"_s, {u"--startup"_s, u"touch '"_s + listo + u"'"_s});
    reloj.restart();
    while (!QFileInfo::exists(listo)) {
        if (reloj.elapsed() > 30000 || openbox->state() == QProcess::NotRunning) {
            *error = u"openbox no terminó de arrancar en "_s + m_display +
                     (openbox->state() == QProcess::NotRunning ? u" (terminó)"_s : QString()) +
                     u"; wmctrl -m: "_s + x(u"wmctrl"_s, {u"-m"_s}).simplified() +
                     u"; openbox: "_s + QString::fromLocal8Bit(openbox->readAll());
            return false;
        }
        openbox->waitForFinished(100);
    }
    lanzar(u"trayer"_s,
           {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s, u"request"_s,
            u"--height"_s, u"32"_s, u"--SetDockType"_s, u"true"_s, u"--expand"_s, u"true"_s});
    reloj.restart();
    while (!hayDuenoDeBandeja(m_display)) {
        if (reloj.elapsed() > 15000) {
            *error = u"trayer no tomó el área de notificación en "_s + m_display;
            return false;
        }
        pausa(100);
    }
    return true;
}

QString Escritorio::estadoMapa(const QString& ventana) const {
    static const QRegularExpression estado(u"Map State: (\\w+)"_s);
    const auto m = estado.match(x(u"xwininfo"_s, {u"-id"_s, ventana}));
    return m.hasMatch() ? m.captured(1) : QString();
}

bool Escritorio::esperarEstado(const QString& ventana, const QString& estado, int ms) const {
    QElapsedTimer reloj;
    reloj.start();
    do {
        if (estadoMapa(ventana) == estado)
            return true;
        pausa(30);
    } while (reloj.elapsed() < ms);
    return false;
}

QString Escritorio::ventanaDe(qint64 pid, const QString& titulo) const {
    // Both conditions: without --all, xdotool matches the process alone.
    return x(u"xdotool"_s,
             {u"search"_s, u"--all"_s, u"--pid"_s, QString::number(pid), u"--name"_s, titulo})
        .section(u'\n', 0, 0)
        .trimmed();
}

QString Escritorio::esperarVentanaDe(qint64 pid, const QString& titulo, int ms) const {
    QElapsedTimer reloj;
    reloj.start();
    QString v;
    while ((v = ventanaDe(pid, titulo)).isEmpty() && reloj.elapsed() < ms)
        pausa(100);
    return v;
}

QStringList Escritorio::ventanasVisiblesDe(qint64 pid) const {
    return x(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)})
        .split(u'\n', Qt::SkipEmptyParts);
}

QStringList Escritorio::iconosEnBandeja() const {
    // In the tree, the panel's descendants are the lines indented deeper than the panel's line;
    // the icons are those with a class of their own (the panel's sockets have none).
    QStringList iconos;
    int sangriaPanel = -1;
    for (const QString& linea : x(u"xwininfo"_s, {u"-root"_s, u"-tree"_s}).split(u'\n')) {
        const QString limpia = linea.trimmed();
        int sangria = 0;
        while (sangria < linea.size() && linea[sangria] == u' ')
            ++sangria;
        if (!limpia.startsWith(u"0x"_s))
            continue;
        if (sangriaPanel >= 0 && sangria <= sangriaPanel)
            sangriaPanel = -1;
        if (limpia.contains(u"(\"panel\" \"trayer\")"_s)) {
            sangriaPanel = sangria;
            continue;
        }
        if (sangriaPanel >= 0 && limpia.contains(u": (\""_s))
            iconos.append(limpia.section(u' ', 0, 0));
    }
    return iconos;
}

QStringList Escritorio::esperarIconos(int cuantos, int ms) const {
    QElapsedTimer reloj;
    reloj.start();
    QStringList iconos;
    while ((iconos = iconosEnBandeja()).size() != cuantos && reloj.elapsed() < ms)
        pausa(100);
    return iconos;
}

QString Escritorio::finDe(QProcess* programa) const {
    // A QProcess learns of its child's end only while waiting or in an event loop.
    QString texto;
    if (programa->state() != QProcess::NotRunning)
        programa->waitForFinished(1000);
    if (programa->state() == QProcess::NotRunning)
        texto = u"; the program ended ("_s +
                (programa->exitStatus() == QProcess::CrashExit
                     ? u"crashed"_s
                     : u"exit code "_s + QString::number(programa->exitCode())) +
                u')';
    else
        texto = u"; the program still runs"_s;
    for (const auto& p : m_procesos) {
        if (p.get() == programa)
            continue;
        if (p->state() == QProcess::Running)
            p->waitForFinished(0);
        if (p->state() != QProcess::Running)
            texto += u"; "_s + p->program() + u" ended"_s;
    }
    return texto + u"; its output:\n"_s + QString::fromLocal8Bit(programa->readAll());
}
