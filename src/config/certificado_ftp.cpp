#include "certificado_ftp.h"

#include "ajustes.h"
#include "ftp/clsftp.h"
#include "ftp/destino_ftp.h"
#include "services/plataforma.h"

#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcAjustes)

CertificadoAceptado LeerCertificadoAceptado(const QString& valor) {
    CertificadoAceptado c;
    const QStringList partes = valor.simplified().split(u' ', Qt::SkipEmptyParts);
    if (partes.isEmpty())
        return c;
    c.host = partes.first();
    if (partes.size() == 1) {
        c.soloHost = true;
        return c;
    }
    static const QRegularExpression forma(uR"(^sha256:([0-9a-f]{2}(:?[0-9a-f]{2}){31})$)"_s,
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = forma.match(partes.mid(1).join(QString()));
    if (m.hasMatch())
        c.huella = m.captured(1).remove(u':').toLower().toLatin1();
    return c;
}

QString LineaAceptarCertificado(const QString& host, const QByteArray& huella) {
    return ClaveAceptarCertificadoFTP + u'=' + host + u" sha256:"_s + QString::fromLatin1(huella);
}

QString ArchivoServidoresConocidos() {
    return plataforma::carpetaConfiguracionUsuario() + u"/known_hosts"_s;
}

void PrepararClienteFTP(clsFTP& ftp, const Ajustes& ajustes) {
    ftp.SetModePassive();
    ftp.SetTransferBinary();
    const CertificadoAceptado c = LeerCertificadoAceptado(ajustes.ServidorFTPAceptado);
    if (c.soloHost || (!c.host.isEmpty() && c.huella.isEmpty()))
        qCWarning(lcAjustes).noquote()
            << u"«%1=%2» no acepta ningún certificado: hace falta la huella del certificado "
               u"(«%1=%3 sha256:…», la que muestra vendaro --check)"_s.arg(
                   ClaveAceptarCertificadoFTP, ajustes.ServidorFTPAceptado, c.host);
    ftp.SetAcceptedCertificate(c.host, c.huella);
    // libcurl adds a new host key to the file, but does not make its folder.
    const QString conocidos = ArchivoServidoresConocidos();
    QDir().mkpath(QFileInfo(conocidos).absolutePath());
    ftp.SetKnownHostsFile(conocidos);
}

QString MensajeErrorFTP(const clsFTP& ftp, const Ajustes& ajustes) {
    QString mensaje = ftp.GetLastErrorMessage();
    DestinoFTP destino;
    if (ftp.LastErrorIsUnverifiedCertificate() && !ftp.PeerCertificateSha256().isEmpty() &&
        DestinoFTP::interpretar(ajustes.DireccionFTP, destino, nullptr))
        mensaje += u" Si confía en ese certificado, agregue a la sección [%1] la línea: %2"_s.arg(
            SeccionConfiguracion,
            LineaAceptarCertificado(destino.host, ftp.PeerCertificateSha256()));
    return mensaje;
}

CertificadoDelServidor LeerCertificadoDelServidor(const Ajustes& ajustes) {
    CertificadoDelServidor r;
    DestinoFTP destino;
    if (DestinoFTP::interpretar(ajustes.DireccionFTP, destino, nullptr))
        r.host = destino.host;
    Ajustes sinAceptar = ajustes;
    sinAceptar.ServidorFTPAceptado.clear();
    clsFTP ftp;
    PrepararClienteFTP(ftp, sinAceptar);
    r.conecto = ftp.OpenConnection(ajustes.DireccionFTP, ajustes.UsuarioFTP, ajustes.PasswordFTP);
    if (r.conecto) {
        ftp.CloseConnection();
        return r;
    }
    if (ftp.LastErrorIsUnverifiedCertificate())
        r.huella = ftp.PeerCertificateSha256();
    r.error = ftp.GetLastErrorMessage();
    return r;
}

QString HuellaLegible(const QByteArray& huella) {
    QStringList pares;
    for (qsizetype i = 0; i + 1 < huella.size(); i += 2)
        pares.append(QString::fromLatin1(huella.mid(i, 2)).toUpper());
    return pares.join(u':');
}
