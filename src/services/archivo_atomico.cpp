#include "archivo_atomico.h"

#include "plataforma.h"

#include <QSaveFile>

namespace {
bool escribirAtomico(const QString& ruta, QIODevice::OpenMode modo,
                     const std::function<bool(QSaveFile&)>& escribir, Permisos permisos,
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
    if (!archivo.open(QIODevice::WriteOnly | modo))
        return fallo(archivo.errorString());
    if (permisos == Permisos::SoloDueno)
        archivo.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!escribir(archivo) || archivo.error() != QFileDevice::NoError) {
        const QString causa = archivo.errorString();
        archivo.cancelWriting();
        return fallo(causa);
    }
    // QSaveFile does not check the flush its commit does (a full disk then committed an empty or
    // cut file), and some file systems report a full disk only when the data is forced out.
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
} // namespace

bool escribirArchivoAtomico(const QString& ruta, const QByteArray& datos, Permisos permisos,
                            QString* error) {
    // Unbuffered, every write reaches the file system at once and fails there.
    return escribirAtomico(
        ruta, QIODevice::Unbuffered,
        [&datos](QSaveFile& archivo) {
            for (qint64 hecho = 0; hecho < datos.size();) {
                const qint64 n = archivo.write(datos.constData() + hecho, datos.size() - hecho);
                if (n <= 0)
                    return false;
                hecho += n;
            }
            return true;
        },
        permisos, error);
}

bool escribirArchivoAtomico(const QString& ruta, const std::function<bool(QIODevice&)>& escribir,
                            Permisos permisos, QString* error) {
    // Buffered: the many small writes of a stream would each be a system call; a failed one
    // sets the file's error, checked before the flush.
    return escribirAtomico(
        ruta, QIODevice::NotOpen, [&escribir](QSaveFile& archivo) { return escribir(archivo); },
        permisos, error);
}
