// The FTP client against servers that behave badly or speak another variant: one that drops the
// client mid-upload, one that never answers, one without MLSD, implicit TLS and SFTP.
#include "ftp/clsftp.h"
#include "servidor_propio.h"
#include "support/entorno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
QByteArray leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

void escribir(const QString& ruta, const QByteArray& contenido) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contenido);
}

QStringList contenido(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
}

// A self-signed certificate for 127.0.0.1 and its key, made in this process (no openssl program
// to start: under Wine its end could not be waited for).
bool hacerCertificado(const QString& certificado, const QString& llave) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> clave(EVP_RSA_gen(2048), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> x(X509_new(), X509_free);
    if (!clave || !x)
        return false;
    X509_set_version(x.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(x.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), 2 * 86400);
    X509_set_pubkey(x.get(), clave.get());
    X509_NAME* nombre = X509_get_subject_name(x.get());
    X509_NAME_add_entry_by_txt(nombre, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(x.get(), nombre);
    if (!X509_sign(x.get(), clave.get(), EVP_sha256()))
        return false;
    const auto escribirPem = [](const QString& ruta, auto escritor) {
        std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
        if (!bio || !escritor(bio.get()))
            return false;
        char* datos = nullptr;
        const long largo = BIO_get_mem_data(bio.get(), &datos);
        QFile f(ruta);
        return f.open(QIODevice::WriteOnly) && f.write(datos, largo) == largo;
    };
    return escribirPem(certificado, [&](BIO* b) { return PEM_write_bio_X509(b, x.get()); }) &&
           escribirPem(llave, [&](BIO* b) {
               return PEM_write_bio_PrivateKey(b, clave.get(), nullptr, nullptr, 0, nullptr,
                                               nullptr);
           });
}

QString local(const ServidorPropio& s) {
    return u"127.0.0.1:"_s + QString::number(s.puerto());
}

// The fixture's certificate and the key beside it.
QStringList opcionesTLS() {
    const QString certificado = entorno::ftpsCertificado();
    return {u"--cert"_s, certificado, u"--key"_s,
            QFileInfo(certificado).dir().filePath(u"ftps-key.pem"_s)};
}
} // namespace

TEST(ServidoresPropios, UnaConexionDeControlParaTodasLasOperaciones) {
    ServidorPropio servidor({});
    CarpetaTemporal carpeta;
    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();
    ASSERT_TRUE(ftp.OpenConnection(local(servidor), ServidorPropio::usuario(),
                                   ServidorPropio::contrasena()));
    ASSERT_TRUE(ftp.CreateFTPDirectory(u"img"_s));
    ASSERT_TRUE(ftp.SetFTPDirectory(u"img"_s));
    ASSERT_TRUE(ftp.FTPUploadFile(carpeta.escribir(u"a"_s, QByteArray(600, 'a')), u"a.jpg"_s));
    ASSERT_TRUE(ftp.FTPUploadFile(carpeta.escribir(u"b"_s, QByteArray(60, 'b')), u"a.jpg"_s));
    ASSERT_TRUE(ftp.RenameFTPFile(u"a.jpg"_s, u"b.jpg"_s));
    EXPECT_EQ(ftp.GetFTPFileSize(u"b.jpg"_s), 60);
    ASSERT_NE(ftp.GetDirectoryListing(u"*.jpg"_s), nullptr);
    ASSERT_TRUE(ftp.FTPDownloadFile(carpeta.ruta(u"c"_s), u"b.jpg"_s));
    ASSERT_TRUE(ftp.DeleteFTPFile(u"b.jpg"_s));
    ASSERT_TRUE(ftp.SetFTPDirectory(u"/"_s));
    ASSERT_TRUE(ftp.RemoveFTPDirectory(u"img"_s));
    EXPECT_EQ(servidor.sesiones(), 1);

    // a new OpenConnection replaces the connection
    ASSERT_TRUE(ftp.OpenConnection(local(servidor), ServidorPropio::usuario(),
                                   ServidorPropio::contrasena()));
    EXPECT_EQ(servidor.sesiones(), 2);
}

TEST(ServidoresPropios, ServidorQueSeCaeAMitadDeSubida) {
    ServidorPropio servidor({u"--drop-after"_s, u"100000"_s});
    escribir(servidor.raiz() + u"/foto.jpg"_s, "versión anterior");
    CarpetaTemporal carpeta;
    const QString archivo = carpeta.escribir(u"foto.jpg"_s, QByteArray(300000, 'n'));

    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();
    ASSERT_TRUE(ftp.OpenConnection(local(servidor), ServidorPropio::usuario(),
                                   ServidorPropio::contrasena()));
    EXPECT_FALSE(ftp.FTPUploadFile(archivo, u"foto.jpg"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"InternetWriteFile"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(leer(servidor.raiz() + u"/foto.jpg"_s), "versión anterior");
    EXPECT_EQ(contenido(servidor.raiz()), QStringList{u"foto.jpg"_s})
        << "the partial upload is removed once the client is back";

    // the client reconnects by itself for the next request
    EXPECT_EQ(ftp.GetFTPFileSize(u"foto.jpg"_s), qint64(strlen("versión anterior")));
}

TEST(ServidoresPropios, ServidorMudoDaErrorPorTiempo) {
    ServidorPropio servidor({u"--silent"_s});
    clsFTP ftp;
    ftp.SetTimeouts(2, 2, 2);
    EXPECT_FALSE(ftp.OpenConnection(local(servidor), u"a"_s, u"b"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"InternetConnect error code: 28"_s))
        << ftp.GetLastErrorMessage().toStdString();
}

TEST(ServidoresPropios, SubidaAtascadaSeAbandonaPorTiempo) {
    // The server stops reading mid-upload but keeps the connection open.
    ServidorPropio servidor({u"--stall-after"_s, u"100000"_s});
    CarpetaTemporal carpeta;
    const QString archivo = carpeta.escribir(u"grande.jpg"_s, QByteArray(16 << 20, 'g'));
    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();
    ftp.SetTimeouts(5, 5, 2);
    ASSERT_TRUE(ftp.OpenConnection(local(servidor), ServidorPropio::usuario(),
                                   ServidorPropio::contrasena()));
    EXPECT_FALSE(ftp.FTPUploadFile(archivo, u"grande.jpg"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"error code: 28"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(ftp.LastErrorIsConnectionFailure());
    EXPECT_FALSE(QFile::exists(servidor.raiz() + u"/grande.jpg"_s));
}

TEST(ServidoresPropios, NombreDeSubidaIncompleta) {
    EXPECT_TRUE(clsFTP::IsPartialUploadName(u".P01.jpg.vendaro-3fa9c2.part"_s));
    EXPECT_TRUE(clsFTP::IsPartialUploadName(u".a b.png.vendaro-0.part"_s));
    EXPECT_FALSE(clsFTP::IsPartialUploadName(u"P01.jpg.vendaro-3fa9c2.part"_s));
    EXPECT_FALSE(clsFTP::IsPartialUploadName(u".P01.jpg.part"_s));
    EXPECT_FALSE(clsFTP::IsPartialUploadName(u".P01.jpg.vendaro-xyz.part"_s));
    EXPECT_FALSE(clsFTP::IsPartialUploadName(u".P01.jpg.vendaro-3fa9c2.part.jpg"_s));
}

TEST(ServidoresPropios, ServidorSinMLSDListaConLIST) {
    ServidorPropio servidor({u"--no-mlsd"_s});
    // LIST shows minutes, and the time of day only for recent files
    const QDateTime hace3 = QDateTime::currentDateTimeUtc().addDays(-3);
    const QDateTime reciente(hace3.date(), QTime(hace3.time().hour(), hace3.time().minute()),
                             QTimeZone::utc());
    const QDateTime antiguo(QDate(2019, 4, 5), QTime(0, 0), QTimeZone::utc());
    escribir(servidor.raiz() + u"/reciente 1.jpg"_s, QByteArray(321, 'r'));
    escribir(servidor.raiz() + u"/antiguo.jpg"_s, QByteArray(7, 'a'));
    QDir().mkpath(servidor.raiz() + u"/fotos"_s);
    for (const auto& [nombre, hora] :
         {std::pair{u"reciente 1.jpg"_s, reciente}, std::pair{u"antiguo.jpg"_s, antiguo}}) {
        QFile f(servidor.raiz() + u'/' + nombre);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(hora, QFileDevice::FileModificationTime));
    }

    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();
    ASSERT_TRUE(ftp.OpenConnection(local(servidor), ServidorPropio::usuario(),
                                   ServidorPropio::contrasena()));
    const cDirList* lista = ftp.GetDirectoryListing(QString());
    ASSERT_NE(lista, nullptr) << ftp.GetLastErrorMessage().toStdString();
    ASSERT_EQ(lista->Count(), 3);
    EXPECT_EQ(lista->Item(u"reciente 1.jpg"_s)->FileSize, 321);
    EXPECT_EQ(lista->Item(u"reciente 1.jpg"_s)->LastWriteDateTime(), reciente);
    EXPECT_EQ(lista->Item(u"antiguo.jpg"_s)->LastWriteDateTime(), antiguo);
    EXPECT_TRUE(lista->Item(u"fotos"_s)->Directory);
    EXPECT_EQ(ftp.GetFTPFileSize(u"reciente 1.jpg"_s), 321);
    EXPECT_EQ(servidor.sesiones(), 1) << "falling back to LIST keeps the connection";
}

TEST(ServidoresPropios, TLSImplicito) {
    QStringList opciones{u"--implicit-tls"_s};
    opciones += opcionesTLS();
    ServidorPropio servidor(opciones);
    CarpetaTemporal carpeta;
    const QString direccion = u"ftps://"_s + local(servidor);

    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();
    EXPECT_FALSE(
        ftp.OpenConnection(direccion, ServidorPropio::usuario(), ServidorPropio::contrasena()))
        << "the certificate is not trusted yet";
    ftp.SetCAFile(entorno::ftpsCertificado());
    ASSERT_TRUE(
        ftp.OpenConnection(direccion, ServidorPropio::usuario(), ServidorPropio::contrasena()))
        << ftp.GetLastErrorMessage().toStdString();

    QList<std::pair<qint64, qint64>> eventos;
    QObject::connect(&ftp, &clsFTP::FileTransferProgress, [&](qint64 a, qint64 b) {
        eventos.append({a, b});
    });
    ASSERT_TRUE(ftp.FTPUploadFile(carpeta.escribir(u"f"_s, QByteArray(510, 'i')), u"f.bin"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(eventos, (QList<std::pair<qint64, qint64>>{{255, 510}, {510, 510}, {510, 510}}));
    EXPECT_EQ(leer(servidor.raiz() + u"/f.bin"_s), QByteArray(510, 'i'));
    ASSERT_NE(ftp.GetDirectoryListing(u"*.bin"_s), nullptr);
    EXPECT_EQ(ftp.Directory().Item(1)->FileSize, 510);
}

TEST(ServidoresPropios, SoloElCertificadoAceptado) {
    // A second server with a certificate of its own, made here, on the same host name.
    CarpetaTemporal carpeta;
    const QString cert = carpeta.ruta(u"otro.pem"_s);
    const QString llave = carpeta.ruta(u"otro.key"_s);
    ASSERT_TRUE(hacerCertificado(cert, llave));
    ServidorPropio propio(
        {u"--tls"_s, u"--cert"_s, entorno::ftpsCertificado(), u"--key"_s,
         QFileInfo(entorno::ftpsCertificado()).dir().filePath(u"ftps-key.pem"_s)});
    ServidorPropio impostor({u"--tls"_s, u"--cert"_s, entorno::rutaParaLinux(cert), u"--key"_s,
                             entorno::rutaParaLinux(llave)});

    clsFTP ftp;
    ftp.SetModePassive();
    ASSERT_FALSE(
        ftp.OpenConnection(local(propio), ServidorPropio::usuario(), ServidorPropio::contrasena()));
    const QByteArray huella = ftp.PeerCertificateSha256();
    ASSERT_EQ(huella.size(), 64);
    ftp.SetAcceptedCertificate(u"127.0.0.1"_s, huella);
    EXPECT_TRUE(
        ftp.OpenConnection(local(propio), ServidorPropio::usuario(), ServidorPropio::contrasena()))
        << ftp.GetLastErrorMessage().toStdString();

    // the other certificate is refused before the password is sent
    EXPECT_FALSE(ftp.OpenConnection(local(impostor), ServidorPropio::usuario(),
                                    ServidorPropio::contrasena()));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"no es el aceptado"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_NE(ftp.PeerCertificateSha256(), huella);
    EXPECT_EQ(impostor.sesiones(), 1);
    EXPECT_FALSE(impostor.bitacora().contains("login")) << impostor.bitacora().toStdString();
    EXPECT_TRUE(propio.bitacora().contains("logged in")) << propio.bitacora().toStdString();
}

TEST(ServidoresPropios, SFTPConLlaveDelServidor) {
    ServidorPropio servidor({u"--sftp"_s, u"--host-key"_s, u"{dir}/llave"_s});
    const QString direccion = u"sftp://"_s + local(servidor);
    const QByteArray llave = leer(servidor.archivo(u"llave.pub"_s)).trimmed();
    ASSERT_TRUE(llave.startsWith("ssh-ed25519 "));
    CarpetaTemporal carpeta;
    const QString conocidos = carpeta.escribir(u"known_hosts"_s, QByteArray());

    clsFTP ftp;
    ftp.SetKnownHostsFile(conocidos);
    // an unknown host key is remembered on first use
    ASSERT_TRUE(
        ftp.OpenConnection(direccion, ServidorPropio::usuario(), ServidorPropio::contrasena()))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(leer(conocidos).contains(llave.split(' ').at(1))) << leer(conocidos).toStdString();
    ASSERT_TRUE(
        ftp.OpenConnection(direccion, ServidorPropio::usuario(), ServidorPropio::contrasena()));

    // a different key on record for this server (the server's key changed) is refused
    const QByteArray entrada = "[127.0.0.1]:" + QByteArray::number(servidor.puerto()) + ' ';
    carpeta.escribir(
        u"known_hosts"_s,
        entrada +
            "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIP4XqOOopMyZ68wDKKO3AJcFJ4VGMxnkNdp6VT7PUIcb\n");
    EXPECT_FALSE(
        ftp.OpenConnection(direccion, ServidorPropio::usuario(), ServidorPropio::contrasena()));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"no es la que se recordó"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(conocidos));
    EXPECT_FALSE(leer(conocidos).contains(llave.split(' ').at(1))) << "the file is not changed";

    // the right key on record
    carpeta.escribir(u"known_hosts"_s, entrada + llave + '\n');
    EXPECT_FALSE(ftp.OpenConnection(direccion, ServidorPropio::usuario(), u"mala"_s));
    ASSERT_TRUE(
        ftp.OpenConnection(direccion, ServidorPropio::usuario(), ServidorPropio::contrasena()))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(ftp.IsEncrypted());
    EXPECT_EQ(ftp.GetFTPDirectory(), u"/"_s);

    // the same operations as over FTP
    ASSERT_TRUE(ftp.CreateFTPDirectoryPath(u"/a/b c/d"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(QFileInfo(servidor.raiz() + u"/a/b c/d"_s).isDir());
    ASSERT_TRUE(ftp.CreateFTPDirectoryPath(u"/a/b c"_s));
    ASSERT_TRUE(QDir(servidor.raiz() + u"/a"_s).removeRecursively());
    ASSERT_TRUE(ftp.CreateFTPDirectory(u"img nueva"_s)) << ftp.GetLastErrorMessage().toStdString();
    ASSERT_TRUE(ftp.SetFTPDirectory(u"img nueva"_s)) << ftp.GetLastErrorMessage().toStdString();
    EXPECT_FALSE(ftp.SetFTPDirectory(u"/no existe"_s));
    EXPECT_EQ(ftp.GetFTPDirectory(), u"/img nueva"_s);
    QList<std::pair<qint64, qint64>> eventos;
    QObject::connect(&ftp, &clsFTP::FileTransferProgress, [&](qint64 a, qint64 b) {
        eventos.append({a, b});
    });
    ASSERT_TRUE(ftp.FTPUploadFile(carpeta.escribir(u"a"_s, QByteArray(300, 's')), u"a.jpg"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(eventos, (QList<std::pair<qint64, qint64>>{{255, 300}, {300, 300}}));
    // uploading over an existing picture (SFTP servers refuse a rename onto an existing name)
    ASSERT_TRUE(ftp.FTPUploadFile(carpeta.escribir(u"b"_s, "segunda"), u"a.jpg"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(leer(servidor.raiz() + u"/img nueva/a.jpg"_s), "segunda");
    EXPECT_EQ(contenido(servidor.raiz() + u"/img nueva"_s), QStringList{u"a.jpg"_s});

    EXPECT_EQ(ftp.GetFTPFileSize(u"a.jpg"_s), 7);
    EXPECT_EQ(ftp.GetFTPFileSize(u"b.jpg"_s), -1);
    const cDirList* lista = ftp.GetDirectoryListing(u"/"_s);
    ASSERT_NE(lista, nullptr) << ftp.GetLastErrorMessage().toStdString();
    ASSERT_EQ(lista->Count(), 1);
    EXPECT_TRUE(lista->Item(u"img nueva"_s)->Directory);

    ASSERT_TRUE(ftp.RenameFTPFile(u"a.jpg"_s, u"c d.jpg"_s))
        << ftp.GetLastErrorMessage().toStdString();
    ASSERT_TRUE(ftp.FTPDownloadFile(carpeta.ruta(u"bajada"_s), u"c d.jpg"_s));
    EXPECT_EQ(carpeta.leer(u"bajada"_s), "segunda");
    ASSERT_TRUE(ftp.DeleteFTPFile(u"c d.jpg"_s));
    ASSERT_TRUE(ftp.SetFTPDirectory(u"/"_s));
    ASSERT_TRUE(ftp.RemoveFTPDirectory(u"img nueva"_s)) << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(contenido(servidor.raiz()).isEmpty());
    EXPECT_FALSE(ftp.DeleteFTPFile(u"no existe"_s));
}
