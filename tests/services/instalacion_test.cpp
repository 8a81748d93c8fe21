#include "config/ajustes.h"
#include "services/componentes.h"
#include "services/instalacion.h"
#include "support/entorno.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
struct Instalacion : ::testing::Test {
    CarpetaTemporal carpeta;
    DialogosDePrueba dialogos;
    Componentes c;
    QString ini;
    QString host;
    void SetUp() override {
        ASSERT_TRUE(c.crear());
        ini = carpeta.ruta(u"vendaro.ini"_s);
        host = carpeta.ruta(u"velmora"_s);
        QDir().mkpath(host);
    }
    void escribirHost(const QByteArray& contenido, const QString& nombre = u"velmora.ini"_s) {
        carpeta.escribir(u"velmora/"_s + nombre, contenido);
        c.qvtx->EscribeIni(SeccionConfiguracion, ClaveRutaHost, host, ini);
    }
    bool localizar() { return LocalizarInstalacion(*c.qvtx, *c.registro, *c.bases, ini, true); }
    QString datoHost(const QString& clave) {
        const libQVTX qvtx;
        return qvtx.LeeIni(u"Servidor"_s, clave, host + u"/velmora.ini"_s);
    }
};
} // namespace

TEST_F(Instalacion, CarpetaEquivocadaAvisaYDevuelveFalso) {
    EXPECT_FALSE(localizar());
    // The fresh INI got the default folder before the search.
    EXPECT_EQ(carpeta.leer(u"vendaro.ini"_s),
              QByteArray("[Configuración]\nRuta de Velmora Premium=C:\\velmorapremium\n"));
    ASSERT_EQ(dialogos.cajas.size(), 2);
    // The settings file as the system writes paths (backslashes and a drive letter on Windows).
    const QString esperado = u"En el archivo de configuración de este programa\r\r("_s +
                             QDir::toNativeSeparators(ini) +
                             u")\r\rdebe indicarse la ruta correcta de Velmora Premium.\r"
                             u"Ruta indicada e incorrecta: \r\rC:\\velmorapremium"_s;
    EXPECT_EQ(dialogos.cajas[0].texto, esperado);
    EXPECT_EQ(dialogos.cajas[0].titulo, u"Atención"_s);
    EXPECT_EQ(dialogos.cajas[0].botones, Botones::Critico);
    EXPECT_EQ(dialogos.cajas[1].texto, u"¿Desea editar el archivo de configuración?"_s);
    EXPECT_EQ(dialogos.cajas[1].titulo, u"Editar INI"_s);
    EXPECT_EQ(dialogos.cajas[1].botones, Botones::SiNo | Botones::Pregunta);
    EXPECT_TRUE(c.bases->cRuta.isEmpty());

    // A folder that exists but holds no installation is just as wrong.
    c.qvtx->EscribeIni(SeccionConfiguracion, ClaveRutaHost, host, ini);
    EXPECT_FALSE(localizar());
    EXPECT_EQ(c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, ini), host);
}

TEST_F(Instalacion, DatosDelHostFaltantesSeCompletan) {
    escribirHost("[Servidor]\nOtra=1\n");
    ASSERT_TRUE(localizar());
    EXPECT_TRUE(dialogos.cajas.isEmpty());
    EXPECT_EQ(c.bases->cPuerto, 3306);
    EXPECT_EQ(c.bases->cUsuario, u"root"_s);
    EXPECT_EQ(c.bases->cPassword, QString());
    EXPECT_EQ(c.bases->cMiBase, u"datos1"_s);
    EXPECT_EQ(c.qvtx->LeeIni(SeccionConfiguracion, ClaveBasePrincipal, ini), u"datos1"_s);

    EXPECT_EQ(datoHost(u"MySQLPuerto"_s), u"3306"_s);
    EXPECT_TRUE(Cifrador::estaCifrado(datoHost(u"MySQLUsuario"_s)));
    EXPECT_EQ(c.utilerias->DesEncripta(datoHost(u"MySQLUsuario"_s)), u"root"_s);
    EXPECT_TRUE(Cifrador::estaCifrado(datoHost(u"MySQLPassword"_s)));
    EXPECT_EQ(c.utilerias->DesEncripta(datoHost(u"MySQLPassword"_s)), QString());
    EXPECT_EQ(datoHost(u"Otra"_s), u"1"_s);

    // A second start finds them and leaves them alone.
    const QByteArray antes = carpeta.leer(u"velmora/velmora.ini"_s);
    ASSERT_TRUE(localizar());
    EXPECT_EQ(carpeta.leer(u"velmora/velmora.ini"_s), antes);
    EXPECT_EQ(c.bases->cUsuario, u"root"_s);
}

TEST_F(Instalacion, ServidorAlternoYPuertoCero) {
    escribirHost("[servidor]\nservidor=srv-caja\nMySQLPuerto=0\nMySQLServer=  \n");
    ASSERT_TRUE(localizar());
    EXPECT_EQ(c.bases->cRuta, u"srv-caja"_s);
    EXPECT_EQ(datoHost(u"MySQLServer"_s), u"srv-caja"_s);
    EXPECT_EQ(c.bases->cPuerto, 3306);
    EXPECT_EQ(datoHost(u"MySQLPuerto"_s), u"3306"_s);
}

TEST_F(Instalacion, DatosPropiosDelHostSeUsanTalCual) {
    Utilerias u;
    escribirHost("[Servidor]\nMySQLServer=10.0.0.5\nMySQLPuerto=3307\nMySQLUsuario=caja\n"
                 "MySQLPassword=" +
                     u.Encripta(u"sécreto"_s).toUtf8() + "\n",
                 u"VELMORA.INI"_s);
    c.qvtx->EscribeIni(SeccionConfiguracion, ClaveBasePrincipal, u"tienda_pos"_s, ini);
    ASSERT_TRUE(localizar());
    EXPECT_EQ(c.bases->cRuta, u"10.0.0.5"_s);
    EXPECT_EQ(c.bases->cPuerto, 3307);
    EXPECT_EQ(c.bases->cUsuario, u"caja"_s) << "a user typed in plain passes through";
    EXPECT_EQ(c.bases->cPassword, u"sécreto"_s);
    EXPECT_EQ(c.bases->cMiBase, u"tienda_pos"_s);
}
