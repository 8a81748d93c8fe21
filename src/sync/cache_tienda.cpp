#include "cache_tienda.h"

#include "config/ajustes.h"
#include "config/certificado_ftp.h"
#include "ftp/cdirlist.h"
#include "ftp/clsftp.h"

#include <memory>

using namespace Qt::StringLiterals;

int BorrarCacheTienda(const Ajustes& ajustes, const QString& carpeta, const QStringList& prefijos,
                      clsFTP* ftp, QString* error) {
    if (const QString ilegibles = motivoIlegibles(ajustes, true); !ilegibles.isEmpty()) {
        *error = ilegibles;
        return -1;
    }
    std::unique_ptr<clsFTP> propio;
    if (!ftp) {
        propio = std::make_unique<clsFTP>();
        ftp = propio.get();
    }
    PrepararClienteFTP(*ftp, ajustes);
    if (!ftp->OpenConnection(ajustes.DireccionFTP, ajustes.UsuarioFTP, ajustes.PasswordFTP)) {
        *error = MensajeErrorFTP(*ftp, ajustes);
        return -1;
    }
    const QString folder = carpeta.endsWith(u'/') ? carpeta : carpeta + u'/';
    const cDirList* lista = ftp->GetDirectoryListing(folder);
    if (!lista) {
        *error = ftp->GetLastErrorMessage();
        ftp->CloseConnection();
        return -1;
    }
    QStringList aBorrar;
    for (const cDirItem& e : *lista)
        for (const QString& prefijo : prefijos)
            if (!e.Directory && e.filename.startsWith(prefijo))
                aBorrar.append(e.filename);
    int borrados = 0;
    for (const QString& nombre : aBorrar) {
        // A file another request of the shop removed meanwhile is no failure.
        if (ftp->DeleteFTPFile(folder + nombre))
            ++borrados;
    }
    ftp->CloseConnection();
    return borrados;
}
