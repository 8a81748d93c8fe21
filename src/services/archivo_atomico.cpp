#include "archivo_atomico.h"

#include "plataforma.h"

#include <QSaveFile>

bool escribirArchivoAtomico(const QString& ruta, const QByteArray& datos, Permisos permisos,
                            QString* error) {
    auto fallo = [error](const QString& causa) {
        if (error)
            *error = causa;
        return false;
    };
    QSaveFile archivo(ruta);
    // Without the direct write fallback a folder we cannot write fails instead of truncating the
    // file in place.
    archivo.setDirectWriteFallback(false);
    // Unbuffered, every write reaches the file system at once and fails there: QSaveFile does not
    // check the flush its commit does, and a full disk then committed an empty or cut file.
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fallo(archivo.errorString());
    if (permisos == Permisos::SoloDueno)
        archivo.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (qint64 hecho = 0; hecho < datos.size();) {
        const qint64 n = archivo.write(datos.constData() + hecho, datos.size() - hecho);
        if (n <= 0) {
            const QString causa = archivo.errorString();
            archivo.cancelWriting();
            return fallo(causa);
        }
        hecho += n;
    }
    // Some file systems report a full disk only when the data is forced out.
    QString causa;
    if (!archivo.flush() || !plataforma::sincronizar(archivo.handle(), &causa)) {
        if (causa.isEmpty())
            causa = archivo.errorString();
        archivo.cancelWriting();
        return fallo(causa);
    }
    if (!archivo.commit())
        return fallo(archivo.errorString());
    if (permisos == Permisos::SoloDueno)
        plataforma::restringirAlDueno(ruta);
    return true;
}
