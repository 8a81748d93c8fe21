#include "destino_ftp.h"

#include <QStringList>
#include <QUrl>

using namespace Qt::StringLiterals;

QString DestinoFTP::sinContrasena(const QString& direccion) {
    // The user part ends at the last "@" before the path; the password follows its first ":".
    const qsizetype separador = direccion.indexOf(u"://"_s);
    const qsizetype inicio = separador < 0 ? 0 : separador + 3;
    qsizetype fin = direccion.indexOf(u'/', inicio);
    if (fin < 0)
        fin = direccion.size();
    const qsizetype arroba = direccion.lastIndexOf(u'@', fin - 1);
    if (arroba < inicio)
        return direccion;
    const qsizetype dosPuntos = direccion.indexOf(u':', inicio);
    if (dosPuntos < 0 || dosPuntos > arroba)
        return direccion;
    return direccion.left(dosPuntos + 1) + u"***"_s + direccion.mid(arroba);
}

bool DestinoFTP::interpretar(const QString& direccion, DestinoFTP& destino, QString* error) {
    auto fallar = [&](const QString& motivo) {
        if (error)
            *error = u"La dirección del FTP «%1» no es válida: %2"_s.arg(sinContrasena(direccion),
                                                                         motivo);
        return false;
    };
    const QString texto = direccion.trimmed();
    if (texto.isEmpty())
        return fallar(u"está vacía"_s);

    DestinoFTP d;
    QString resto = texto;
    const qsizetype separador = texto.indexOf(u"://"_s);
    if (separador >= 0) {
        const QString esquema = texto.left(separador).toLower();
        if (esquema == u"ftp"_s) {
            d.tls = TLS::Si_Se_Ofrece;
        } else if (esquema == u"ftpes"_s) {
            d.tls = TLS::Exigido;
        } else if (esquema == u"ftps"_s) {
            d.protocolo = Protocolo::FTPS;
            d.tls = TLS::Implicito;
            d.puerto = 990;
        } else if (esquema == u"sftp"_s) {
            d.protocolo = Protocolo::SFTP;
            d.tls = TLS::No_Aplica;
            d.puerto = 22;
        } else {
            return fallar(
                u"el protocolo «%1» no se admite (ftp, ftps, ftpes o sftp)"_s.arg(esquema));
        }
        resto = texto.mid(separador + 3);
    }
    // The folder is taken as typed (blanks and all); QUrl reads the host, port and IPv6 part.
    const qsizetype barra = resto.indexOf(u'/');
    const QString autoridad = barra < 0 ? resto : resto.left(barra);
    const QString ruta = barra < 0 ? QString() : resto.mid(barra);
    // Checked before QUrl reads it: its error texts quote the whole address, password included.
    if (autoridad.contains(u'@'))
        return fallar(u"el usuario y la contraseña van en sus propias casillas"_s);
    const QUrl url(u"ftp://"_s + autoridad, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fallar(url.isValid() || autoridad.isEmpty() ? u"falta el nombre del servidor"_s
                                                           : url.errorString());
    if (url.hasQuery() || url.hasFragment())
        return fallar(u"no lleva «?» ni «#» junto al servidor"_s);
    d.host = url.host();
    if (url.port() == 0)
        return fallar(u"el puerto 0 no existe"_s);
    if (url.port() > 0)
        d.puerto = url.port();
    if (ruta.size() > 1)
        d.carpeta = ruta.endsWith(u'/') ? ruta.chopped(1) : ruta;
    destino = d;
    return true;
}

QString DestinoFTP::nombre() const {
    const QString h = host.contains(u':') ? u'[' + host + u']' : host;
    return h + u':' + QString::number(puerto);
}

QString DestinoFTP::url(const QString& rutaAbsoluta) const {
    QString esquema;
    switch (protocolo) {
    case Protocolo::FTP:
        esquema = u"ftp"_s;
        break;
    case Protocolo::FTPS:
        esquema = u"ftps"_s;
        break;
    case Protocolo::SFTP:
        esquema = u"sftp"_s;
        break;
    }
    // No path: the login folder, without changing folder.
    if (rutaAbsoluta.isEmpty())
        return esquema + u"://"_s + nombre() + u'/';
    QString camino;
    const QStringList partes = rutaAbsoluta.split(u'/');
    for (qsizetype i = 0; i < partes.size(); ++i) {
        if (i > 0)
            camino += u'/';
        camino += QString::fromLatin1(QUrl::toPercentEncoding(partes[i]));
    }
    if (!camino.startsWith(u'/'))
        camino.prepend(u'/');
    // In an FTP URL the path is relative to the login folder; an encoded leading slash makes it
    // absolute. In an SFTP URL the path is absolute already.
    if (protocolo != Protocolo::SFTP)
        camino.replace(0, 1, u"/%2F"_s);
    return esquema + u"://"_s + nombre() + camino;
}
