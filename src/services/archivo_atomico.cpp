#include "archivo_atomico.h"

#include "plataforma.h"

#include <QFileInfo>
#include <QSaveFile>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
std::atomic<qint64> g_fallarTras{-1};
}

void pruebas::fallarEscrituraTras(qint64 bytes) {
    g_fallarTras = bytes;
}

bool escribirArchivoAtomico(const QString& ruta, const QByteArray& datos, Permisos permisos,
                            QString* error) {
    QSaveFile archivo(ruta);
    // QSaveFile already refuses to commit after a failed write; keep the direct write fallback off
    // so a folder without write permission fails instead of truncating the file in place.
    archivo.setDirectWriteFallback(false);
    if (!archivo.open(QIODevice::WriteOnly)) {
        if (error)
            *error = archivo.errorString();
        return false;
    }
    if (permisos == Permisos::SoloDueno)
        archivo.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const qint64 fallo = g_fallarTras.exchange(-1);
    const QByteArray aEscribir = fallo >= 0 ? datos.left(fallo) : datos;
    bool bien = archivo.write(aEscribir) == aEscribir.size();
    if (bien && fallo >= 0) {
        bien = false;
        if (error)
            *error = u"No queda espacio en el dispositivo (simulado)"_s;
        archivo.cancelWriting();
        return false;
    }
    if (!bien) {
        if (error)
            *error = archivo.errorString();
        archivo.cancelWriting();
        return false;
    }
    if (!archivo.commit()) {
        if (error)
            *error = archivo.errorString();
        return false;
    }
    if (permisos == Permisos::SoloDueno)
        plataforma::restringirAlDueno(ruta);
    return true;
}
