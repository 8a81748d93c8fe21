#pragma once

#include <QByteArray>
#include <QString>

struct Ajustes;
class clsFTP;

// The settings that decide whom the FTP client trusts.
//
// "Aceptar certificado FTP de" (section "Configuración", typed by hand) names the one certificate
// taken from a server whose certificate does not verify (self-signed, or an authority the system
// does not know): "host sha256:HEX", HEX being the SHA-256 of the whole certificate as
//   openssl x509 -in cert.pem -noout -fingerprint -sha256
// prints it (colons optional). --check and the connection error print the exact line for the
// certificate the server shows. The value with the host alone, which older versions took to
// switch verification off for that host, accepts nothing any more and is reported in the log.
struct CertificadoAceptado {
    QString host;
    QByteArray huella;     // 64 lowercase hexadecimal digits; empty when nothing is accepted
    bool soloHost = false; // the older form, with the host alone
};
CertificadoAceptado LeerCertificadoAceptado(const QString& valor);

// The settings line that accepts that certificate of that host.
QString LineaAceptarCertificado(const QString& host, const QByteArray& huella);

// Where SSH host keys are remembered on first use: "known_hosts" beside the encryption key file.
QString ArchivoServidoresConocidos();

// How every FTP session of ours runs, from the client's next OpenConnection: passive, binary, with
// the accepted certificate and the host-key file.
void PrepararClienteFTP(clsFTP& ftp, const Ajustes& ajustes);

// The client's last error; when it was a certificate that does not verify, followed by the line
// that would accept the certificate the server showed.
QString MensajeErrorFTP(const clsFTP& ftp, const Ajustes& ajustes);

// What an FTP server shows when asked for its certificate, without trusting any certificate by
// hand: whether the session opened as it is (the certificate verifies, or there is no TLS), or the
// certificate that does not verify, by host and SHA-256. Runs as long as the server takes.
struct CertificadoDelServidor {
    bool conecto = false; // the session opened: nothing to accept
    QString host;         // as the settings name it
    QByteArray huella;    // of the certificate that did not verify; empty otherwise
    QString error;        // why the session did not open
};
CertificadoDelServidor LeerCertificadoDelServidor(const Ajustes& ajustes);

// A SHA-256 as openssl prints it: upper-case pairs separated by colons.
QString HuellaLegible(const QByteArray& huella);
