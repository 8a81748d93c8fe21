#include "servidor_propio.h"

#include "support/entorno.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

ServidorPropio::ServidorPropio(const QStringList& opciones) {
    QDir().mkpath(raiz());
    const QString archivoPuerto = m_dir.filePath(u"puerto"_s);
    // The server is a Linux program: under Wine it is given the Unix names of the folders.
    QStringList argumentos{QStringLiteral(VENDARO_SERVIDOR_FTP),
                           u"--root"_s,
                           entorno::rutaParaLinux(raiz()),
                           u"--user"_s,
                           usuario(),
                           u"--password"_s,
                           contrasena(),
                           u"--port-file"_s,
                           entorno::rutaParaLinux(archivoPuerto),
                           u"--log"_s,
                           entorno::rutaParaLinux(m_dir.filePath(u"servidor.log"_s))};
    for (QString opcion : opciones)
        argumentos.append(opcion.replace(u"{dir}"_s, entorno::rutaParaLinux(m_dir.path())));
    // A Windows process under Wine can neither signal the server nor see it end: it is asked to
    // stop through a file, and keeps none of the descriptors Wine would leave it (ctest's output
    // among them, which ctest waits to see closed).
    argumentos << u"--stop-file"_s << entorno::rutaParaLinux(archivoParar());
    if (entorno::enWine())
        argumentos << u"--detach"_s;
    m_proceso.setProcessChannelMode(entorno::enWine() ? QProcess::SeparateChannels
                                                      : QProcess::ForwardedErrorChannel);
    // Debian's Python, which has pyftpdlib and asyncssh.
    m_proceso.start(u"/usr/bin/python3"_s, argumentos);
    if (!m_proceso.waitForStarted(10000)) {
        ADD_FAILURE() << "No arrancó el servidor de prueba: "
                      << m_proceso.errorString().toStdString();
        return;
    }
    const QDeadlineTimer limite(20000);
    while (!limite.hasExpired() && m_proceso.state() == QProcess::Running) {
        QFile f(archivoPuerto);
        if (f.open(QIODevice::ReadOnly)) {
            m_puerto = f.readAll().trimmed().toInt();
            if (m_puerto > 0)
                return;
        }
        QThread::msleep(50);
    }
    ADD_FAILURE() << "El servidor de prueba no escucha (" << opciones.join(u' ').toStdString()
                  << ")";
}

ServidorPropio::~ServidorPropio() {
    if (m_puerto > 0) {
        QFile parar(archivoParar());
        if (parar.open(QIODevice::WriteOnly)) {
            parar.close();
            // The server removes the file as it ends.
            const QDeadlineTimer limite(5000);
            while (!limite.hasExpired() && QFile::exists(archivoParar()))
                QThread::msleep(50);
        }
    }
    if (m_proceso.state() != QProcess::NotRunning) {
        m_proceso.terminate();
        if (!m_proceso.waitForFinished(5000)) {
            m_proceso.kill();
            m_proceso.waitForFinished(5000);
        }
    }
}

int ServidorPropio::sesiones() const {
    QFile f(m_dir.filePath(u"servidor.log"_s));
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("FTP session opened")) : -1;
}

QByteArray ServidorPropio::bitacora() const {
    QFile f(m_dir.filePath(u"servidor.log"_s));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
