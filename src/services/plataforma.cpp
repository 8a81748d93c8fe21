#include "plataforma.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#ifdef Q_OS_WIN
#include <QSettings>
#endif

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace plataforma {

bool restringirAlDueno(const QString& ruta) {
    // On Windows the user's own folders are private already; the permission bits Qt maps are
    // advisory.
    return QFile::setPermissions(ruta, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool accesiblePorOtros(const QString& ruta) {
    const auto p = QFile::permissions(ruta);
    return p & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                QFileDevice::WriteOther);
}

QString carpetaConfiguracionUsuario() {
    // The same folder as AppConfigLocation for an application named "vendaro" without organisation,
    // but independent of whether a QCoreApplication exists yet.
    const QString carpeta =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/vendaro"_s;
    QDir().mkpath(carpeta);
    return carpeta;
}

bool abrirDocumento(const QString& ruta) {
#ifdef Q_OS_WIN
    return QProcess::startDetached(u"cmd.exe"_s, {u"/c"_s, u"start"_s, u""_s, ruta});
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(u"open"_s, {ruta});
#else
    return QProcess::startDetached(u"xdg-open"_s, {ruta});
#endif
}

QString archivoInicioAutomatico(const QString& nombreEjecutable) {
    const QString base = QFileInfo(nombreEjecutable).completeBaseName();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/"_s + base + u".desktop"_s;
}

#ifdef Q_OS_WIN
namespace {
const QString ClaveRun = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"_s;
}
QString inicioAutomaticoRegistrado(const QString& nombreEjecutable) {
    QSettings run(ClaveRun, QSettings::NativeFormat);
    return run.value(nombreEjecutable).toString();
}
bool registrarInicioAutomatico(const QString& nombreEjecutable, const QString& rutaEjecutable) {
    QSettings run(ClaveRun, QSettings::NativeFormat);
    run.setValue(nombreEjecutable, QDir::toNativeSeparators(rutaEjecutable));
    run.sync();
    return run.status() == QSettings::NoError;
}
#else
namespace {
// Exec values quote paths with blanks; the quotes are the entry's, not the path's.
QString comillas(const QString& ruta) {
    QString r = ruta;
    r.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return r.contains(u' ') || r != ruta ? u'"' + r + u'"' : r;
}
} // namespace

QString inicioAutomaticoRegistrado(const QString& nombreEjecutable) {
    QFile f(archivoInicioAutomatico(nombreEjecutable));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& linea : f.readAll().split('\n')) {
        if (!linea.startsWith("Exec="))
            continue;
        const QString exec = QString::fromUtf8(linea.mid(5)).trimmed();
        if (exec.startsWith(u'"')) {
            QString ruta;
            for (qsizetype i = 1; i < exec.size() && exec[i] != u'"'; ++i)
                ruta += exec[i] == u'\\' && i + 1 < exec.size() ? exec[++i] : exec[i];
            return ruta;
        }
        return exec.section(u' ', 0, 0);
    }
    return {};
}

bool registrarInicioAutomatico(const QString& nombreEjecutable, const QString& rutaEjecutable) {
    const QString archivo = archivoInicioAutomatico(nombreEjecutable);
    QDir().mkpath(QFileInfo(archivo).path());
    const QString texto = u"[Desktop Entry]\nType=Application\nName=Vendaro\n"
                          u"Comment=Envía los productos del punto de venta a la tienda en línea\n"
                          u"Exec="_s +
                          comillas(rutaEjecutable) +
                          u"\nIcon=vendaro\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"_s;
    QSaveFile f(archivo);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(texto.toUtf8());
    return f.commit();
}
#endif

bool salidaEsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout));
#else
    return ::isatty(STDOUT_FILENO);
#endif
}

} // namespace plataforma
