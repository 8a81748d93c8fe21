#pragma once

#include <QString>

class clsFTP;
class libQVTX;

// Key of section "Configuración" whose value is the host name of the FTP server whose certificate
// (or unknown SSH host key) the user accepts although it cannot be verified, e.g.
//   Aceptar certificado FTP de=ftp.mitienda.com
// Written by hand, in plain text; empty or missing means every server must verify.
inline const QString ClaveAceptarCertificadoFTP = QStringLiteral("Aceptar certificado FTP de");

// The accepted host name from the settings file (trimmed; empty when none).
QString LeerServidorFTPAceptado(const libQVTX& qvtx, const QString& rutaIni);

// Gives the client that setting; it takes effect at its next OpenConnection.
void AplicarServidorFTPAceptado(clsFTP& ftp, const libQVTX& qvtx, const QString& rutaIni);
