#include "plataforma.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

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

bool salidaEsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout));
#else
    return ::isatty(STDOUT_FILENO);
#endif
}

} // namespace plataforma
