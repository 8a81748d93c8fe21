#include "certificado_ftp.h"

#include "clsftp.h"
#include "config/ajustes.h"
#include "services/libqvtx.h"

QString LeerServidorFTPAceptado(const libQVTX& qvtx, const QString& rutaIni) {
    return qvtx.LeeIni(SeccionConfiguracion, ClaveAceptarCertificadoFTP, rutaIni).trimmed();
}

void AplicarServidorFTPAceptado(clsFTP& ftp, const libQVTX& qvtx, const QString& rutaIni) {
    ftp.SetAcceptedInsecureHost(LeerServidorFTPAceptado(qvtx, rutaIni));
}
