#include "services/conexion.h"
#include "support/entorno.h"

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include "ftp/clsftp.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstring>
#endif

using namespace Qt::StringLiterals;

namespace {
constexpr unsigned ErrorTls = 2026; // Connector/C's CR_SSL_CONNECTION_ERROR
}

TEST(ConexionTls, ModosContraServidoresConYSinTls) {
    const int conTls = entorno::mysql().puerto;
    const int sinTls = entorno::mysqlSinTlsPuerto();
    struct Caso {
        const char* nombre;
        ModoTls modo;
        int puerto;
        QString ca;
        bool conecta;
        bool cifrada;
        QByteArray autoridadesDelSistema; // SSL_CERT_FILE, OpenSSL's system store override
    };
    const Caso casos[] = {
        {"sin pedir TLS", ModoTls::Ninguno, conTls, {}, true, false, {}},
        {"preferida, el servidor ofrece TLS", ModoTls::Preferido, conTls, {}, true, true, {}},
        {"preferida, el servidor no lo ofrece", ModoTls::Preferido, sinTls, {}, true, false, {}},
        {"exigida, el servidor ofrece TLS", ModoTls::Exigido, conTls, {}, true, true, {}},
        {"exigida, el servidor no lo ofrece", ModoTls::Exigido, sinTls, {}, false, false, {}},
        {"verificada con su CA", ModoTls::Verificado, conTls, entorno::mysqlCa(), true, true, {}},
        {"verificada con otra CA",
         ModoTls::Verificado,
         conTls,
         entorno::mysqlOtraCa(),
         false,
         false,
         {}},
        {"verificada, la CA no está entre las del sistema",
         ModoTls::Verificado,
         conTls,
         {},
         false,
         false,
         {}},
        {"verificada, la CA está entre las del sistema",
         ModoTls::Verificado,
         conTls,
         {},
         true,
         true,
         entorno::mysqlCa().toLocal8Bit()},
        {"verificada, el servidor no ofrece TLS",
         ModoTls::Verificado,
         sinTls,
         entorno::mysqlCa(),
         false,
         false,
         {}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
#ifdef Q_OS_WIN
        // Windows' authorities are its certificate store's, read once per run: no variable
        // stands in for them (VerificadaConfiaEnElAlmacenDeCertificados puts the CA there).
        if (!caso.autoridadesDelSistema.isEmpty())
            continue;
#endif
        if (!caso.autoridadesDelSistema.isEmpty())
            qputenv("SSL_CERT_FILE", caso.autoridadesDelSistema);
        DatosConexion datos = entorno::mysql();
        datos.puerto = caso.puerto;
        OpcionesConexion opciones;
        opciones.tls = caso.modo;
        opciones.certificadoCa = caso.ca;
        Conexion cn;
        const bool abierta = cn.abrir(datos, opciones);
        qunsetenv("SSL_CERT_FILE");
        EXPECT_EQ(abierta, caso.conecta) << qPrintable(cn.ultimoError());
        if (!abierta) {
            EXPECT_EQ(cn.codigoError(), ErrorTls) << qPrintable(cn.ultimoError());
            if (caso.modo == ModoTls::Exigido) {
                EXPECT_TRUE(cn.ultimoError().contains(u"no ofrece conexión cifrada"_s));
            }
            continue;
        }
        // The server's own view of the session agrees.
        ResultadoConsulta r;
        ASSERT_TRUE(cn.consultar(u"SHOW SESSION STATUS LIKE 'Ssl_cipher'"_s, r));
        ASSERT_EQ(r.filas.size(), 1);
        const QString cifraServidor = r.filas[0][1].texto();
        EXPECT_EQ(!cifraServidor.isEmpty(), caso.cifrada);
        EXPECT_EQ(!cn.cifrado().isEmpty(), caso.cifrada);
        if (caso.cifrada) {
            EXPECT_TRUE(cn.cifrado().startsWith(u"TLSv1."_s) &&
                        cn.cifrado().endsWith(u", "_s + cifraServidor))
                << qPrintable(cn.cifrado());
        }
    }
}

#ifdef Q_OS_WIN
namespace {
// Whether the system's root store holds the first certificate of a PEM file.
bool enElAlmacen(const QString& archivo) {
    const QByteArray der = entorno::certificadoDer(archivo);
    if (der.isEmpty())
        return false;
    bool esta = false;
    if (HCERTSTORE almacen = CertOpenSystemStoreW(0, L"ROOT")) {
        for (PCCERT_CONTEXT c = nullptr; !esta && (c = CertEnumCertificatesInStore(almacen, c));)
            if (c->cbCertEncoded == DWORD(der.size()) &&
                std::memcmp(c->pbCertEncoded, der.constData(), size_t(der.size())) == 0) {
                esta = true;
                CertFreeCertificateContext(c);
            }
        CertCloseStore(almacen, 0);
    }
    return esta;
}
} // namespace

// On Windows the authorities a verified session trusts when no CA file is named are the
// certificate store's roots, for the shop's database and for FTPS alike. The test's CA and the FTP
// server's certificate are put there from outside the test: under Wine the store is the host's
// CA bundle, which scripts/windows-test.sh replaces for this test alone; on Windows,
// `certutil -addstore Root`.
TEST(ConexionTls, VerificadaConfiaEnElAlmacenDeCertificados) {
    if (!enElAlmacen(entorno::mysqlCa()) || !enElAlmacen(entorno::ftpsCertificado()))
        GTEST_SKIP()
            << "la CA de prueba y el certificado del servidor FTPS no están entre las "
               "autoridades del almacén de certificados (scripts/windows-test.sh las pone)";

    OpcionesConexion opciones;
    opciones.tls = ModoTls::Verificado;
    Conexion cn;
    ASSERT_TRUE(cn.abrir(entorno::mysql(), opciones)) << qPrintable(cn.ultimoError());
    EXPECT_TRUE(cn.cifrado().startsWith(u"TLSv1."_s)) << qPrintable(cn.cifrado());
    // A CA file named still takes the store's place.
    opciones.certificadoCa = entorno::mysqlOtraCa();
    Conexion otra;
    EXPECT_FALSE(otra.abrir(entorno::mysql(), opciones));
    EXPECT_EQ(otra.codigoError(), ErrorTls) << qPrintable(otra.ultimoError());

    // The FTP server's self-signed certificate, trusted through the store: TLS required by the
    // address and no fingerprint accepted.
    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();
    const QString servidor = entorno::ftpHost() + u':' + QString::number(entorno::ftpsPuerto());
    ASSERT_TRUE(ftp.OpenConnection(u"ftpes://"_s + servidor, entorno::ftpUsuario(),
                                   entorno::ftpContrasena()))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(ftp.IsEncrypted());
}
#endif
