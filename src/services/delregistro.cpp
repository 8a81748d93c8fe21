#include "delregistro.h"

#include "archivo_ini.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcHost, "vendaro.host")

QString DelRegistro::BuscarRegistroVMW(const QString& carpeta) {
    m_archivoHost.clear();
    if (carpeta.trimmed().isEmpty())
        return {};
    const QDir dir(carpeta);
    if (!dir.exists())
        return {};
    // A folder copied from Windows may spell the file in capitals.
    const QStringList hallados = dir.entryList(QDir::Files | QDir::Readable);
    for (const QString& nombre : hallados) {
        if (nombre.compare(ArchivoHost, Qt::CaseInsensitive) == 0) {
            m_archivoHost = dir.absoluteFilePath(nombre);
            return m_archivoHost;
        }
    }
    return {};
}

QString DelRegistro::DatosVMW(const QString& clave) const {
    if (m_archivoHost.isEmpty())
        return {};
    ArchivoIni ini;
    ini.cargar(m_archivoHost);
    return ini.valor(SeccionHost, clave);
}

bool DelRegistro::GuardaDatosVMW(const QString& clave, const QString& valor) const {
    if (m_archivoHost.isEmpty())
        return false;
    ArchivoIni ini;
    QString error;
    if (!ini.cargar(m_archivoHost, &error)) {
        qCWarning(lcHost).noquote() << "No se pudo leer" << m_archivoHost << ":" << error;
        return false;
    }
    ini.fijar(SeccionHost, clave, valor);
    // The host's file keeps its own permissions: other programs of the installation read it too.
    if (!ini.guardar(m_archivoHost, Permisos::Conservar, &error)) {
        qCWarning(lcHost).noquote() << "No se pudo escribir" << m_archivoHost << ":" << error;
        return false;
    }
    return true;
}
