#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One send run at a time per settings file, across processes (the tray program and a "--send" from
// cron, say): a lock file beside the settings file. A lock left by a process that died is taken
// over.
class BloqueoEnvio {
public:
    explicit BloqueoEnvio(const QString& rutaIni);
    // True when this run holds the lock; otherwise descripcion() tells who holds it, or that the
    // folder does not let the lock be made.
    bool tomar();
    QString descripcion() const { return m_descripcion; }

private:
    std::unique_ptr<QLockFile> m_archivo;
    QString m_carpeta;
    QString m_descripcion;
};
