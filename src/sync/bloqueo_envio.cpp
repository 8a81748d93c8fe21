#include "bloqueo_envio.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

BloqueoEnvio::BloqueoEnvio(const QString& rutaIni)
    : m_archivo(std::make_unique<QLockFile>(rutaIni + u".envio.lock"_s))
    , m_carpeta(QFileInfo(rutaIni).absolutePath()) {
    // A run never holds the lock for days; only a dead owner makes it stale.
    m_archivo->setStaleLockTime(0);
}

bool BloqueoEnvio::tomar() {
    if (m_archivo->tryLock(0))
        return true;
    if (m_archivo->error() != QLockFile::LockFailedError) {
        // Not another run: the folder does not let us make the lock file.
        m_descripcion = u"No se puede escribir en la carpeta del archivo de configuración «%1», "
                        u"donde el envío deja su archivo de bloqueo (%2): revise sus permisos o "
                        u"el espacio libre del disco"_s.arg(m_carpeta, m_archivo->fileName());
        return false;
    }
    qint64 pid = 0;
    QString equipo;
    QString programa;
    if (m_archivo->getLockInfo(&pid, &equipo, &programa))
        m_descripcion = u"Ya hay un envío en curso con este archivo de configuración (proceso %1 "
                        u"de %2 en %3)"_s.arg(pid)
                            .arg(programa, equipo);
    else
        m_descripcion = u"Ya hay un envío en curso con este archivo de configuración"_s;
    return false;
}
