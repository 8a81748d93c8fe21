#include "services/conexion.h"
#include "support/entorno.h"

#include <gtest/gtest.h>

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
    bool sinAlmacenFalso = false;
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
#ifdef Q_OS_WIN
        // Windows' authorities are its certificate store's, read once per run: no variable
        // stands in for them. The other cases are checked all the same.
        if (!caso.autoridadesDelSistema.isEmpty()) {
            sinAlmacenFalso = true;
            continue;
        }
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
    if (sinAlmacenFalso)
        GTEST_SKIP()
            << "En Windows las autoridades del sistema son las del almacén de certificados: "
               "el caso de una CA puesta entre ellas no se probó";
}
