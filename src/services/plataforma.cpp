#include "plataforma.h"

#include "archivo_atomico.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#ifdef Q_OS_WIN
#include <QSettings>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
QString ordenInicioAutomatico(const QStringList& argumentos) {
    QStringList partes;
    for (const QString& a : argumentos) {
        QString n = QDir::toNativeSeparators(a);
        n.replace(u'"', u"\\\""_s);
        partes.append(n.contains(u' ') || n.contains(u'\t') || n.isEmpty() ? u'"' + n + u'"' : n);
    }
    return partes.join(u' ');
}
QString inicioAutomaticoRegistrado(const QString& nombreEjecutable) {
    QSettings run(ClaveRun, QSettings::NativeFormat);
    return run.value(nombreEjecutable).toString();
}
bool registrarInicioAutomatico(const QString& nombreEjecutable, const QStringList& argumentos) {
    QSettings run(ClaveRun, QSettings::NativeFormat);
    run.setValue(nombreEjecutable, ordenInicioAutomatico(argumentos));
    run.sync();
    return run.status() == QSettings::NoError;
}
#else
QString ordenInicioAutomatico(const QStringList& argumentos) {
    // Desktop entries: an argument with a reserved character goes between double quotes, inside
    // which ", `, $ and \ take a backslash; the value itself escapes \ once more, and % is
    // doubled (a lone % starts a field code).
    static const QString reservados = u" \t\n\"'\\><~|&;$*?#()`"_s;
    QStringList partes;
    for (const QString& a : argumentos) {
        QString n = a;
        n.replace(u'%', u"%%"_s);
        const bool citar = n.isEmpty() || std::any_of(n.begin(), n.end(), [](QChar c) {
                               return reservados.contains(c);
                           });
        if (citar) {
            QString dentro;
            for (QChar c : n) {
                if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                    dentro += u'\\';
                dentro += c;
            }
            n = u'"' + dentro + u'"';
        }
        partes.append(n.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s));
    }
    return partes.join(u' ');
}

QString inicioAutomaticoRegistrado(const QString& nombreEjecutable) {
    QFile f(archivoInicioAutomatico(nombreEjecutable));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (linea.startsWith("Exec="))
            return QString::fromUtf8(linea.mid(5)).trimmed();
    return {};
}

bool registrarInicioAutomatico(const QString& nombreEjecutable, const QStringList& argumentos) {
    const QString archivo = archivoInicioAutomatico(nombreEjecutable);
    QDir().mkpath(QFileInfo(archivo).path());
    const QString texto = u"[Desktop Entry]\nType=Application\nName=Vendaro\n"
                          u"Comment=Envía los productos del punto de venta a la tienda en línea\n"
                          u"Exec="_s +
                          ordenInicioAutomatico(argumentos) +
                          u"\nIcon=vendaro\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"_s;
    return escribirArchivoAtomico(archivo, texto.toUtf8(), Permisos::Conservar);
}
#endif

bool sincronizar(int descriptor, QString* error) {
    if (descriptor < 0)
        return true;
#ifdef Q_OS_WIN
    const bool bien = ::_commit(descriptor) == 0;
#else
    const bool bien = ::fsync(descriptor) == 0;
#endif
    if (!bien && error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return bien;
}

bool salidaEsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout));
#else
    return ::isatty(STDOUT_FILENO);
#endif
}

} // namespace plataforma
