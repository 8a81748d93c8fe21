#include "config/ajustes.h"
#include "services/componentes.h"
#include "services/instalacion.h"
#include "support/entorno.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
struct Configuracion : ::testing::Test {
    CarpetaTemporal carpeta;
    DialogosDePrueba dialogos;
    Componentes c;
    Ajustes ajustes;
    void SetUp() override {
        ASSERT_TRUE(c.crear());
        ajustes.RutaIni = carpeta.ruta(u"vendaro.ini"_s);
    }
    QString leer(const QString& clave) {
        return c.qvtx->LeeIni(SeccionConfiguracion, clave, ajustes.RutaIni);
    }
    void cargar() { CargarAjustes(ajustes, *c.qvtx, *c.utilerias); }
};

QStringList clavesEscritas(const QByteArray& ini) {
    QStringList claves;
    for (const QByteArray& linea : ini.split('\n'))
        if (linea.contains('='))
            claves.append(QString::fromUtf8(linea.left(linea.indexOf('='))));
    return claves;
}
} // namespace

TEST_F(Configuracion, ArchivoNuevoRecibeLasClavesEnOrdenConSusDefectos) {
    // The start order: host folder and point-of-sale database, then the seventeen keys.
    const QString host = carpeta.ruta(u"velmora"_s);
    QDir().mkpath(host);
    carpeta.escribir(u"velmora/velmora.ini"_s, "[Servidor]\nMySQLServer=127.0.0.1\n");
    c.qvtx->EscribeIni(SeccionConfiguracion, ClaveRutaHost, host, ajustes.RutaIni);
    ASSERT_TRUE(LocalizarInstalacion(*c.qvtx, *c.registro, *c.bases, ajustes.RutaIni, true));
    cargar();

    const QStringList esperadas{
        u"Ruta de Velmora Premium"_s,
        u"Base de datos principal"_s,
        u"Usuario WEB"_s,
        u"Contraseña WEB"_s,
        u"Dirección IP"_s,
        u"Base de datos WEB"_s,
        u"Nombre de la tabla"_s,
        u"Puerto"_s,
        u"Intervalo en minutos para enviar existencias"_s,
        u"Campo en productos para talla o color"_s,
        u"Tabla externa para imágenes"_s,
        u"Llave en productos para imagen"_s,
        u"Llave en tabla externa para imagen"_s,
        u"Dirección del FTP"_s,
        u"Carpeta del FTP"_s,
        u"Usuario del FTP"_s,
        u"Password del FTP"_s,
        u"Campo en tabla externa para imagen"_s,
        u"Prefijo para el campo en tabla de imagen"_s,
        u"Tiendas"_s,
        u"Codificar texto como la tienda"_s,
        u"Modo de envío"_s,
        u"Comprimir conexión WEB"_s,
        u"Categorías"_s,
        u"Marcas como fabricantes"_s,
        u"Direcciones SEO"_s,
        u"Productos que ya no están"_s,
        u"Límite de bajas"_s,
    };
    const QByteArray texto = carpeta.leer(u"vendaro.ini"_s);
    EXPECT_TRUE(texto.startsWith("[Configuración]\n"));
    EXPECT_EQ(clavesEscritas(texto), esperadas);

    EXPECT_EQ(leer(u"Puerto"_s), u"3306"_s);
    EXPECT_EQ(leer(u"Intervalo en minutos para enviar existencias"_s), u"0"_s);
    for (const ClaveAjuste& clave : clavesAjustes()) {
        if (clave.opcional)
            continue;
        const QString guardado = leer(clave.clave);
        EXPECT_EQ(Cifrador::estaCifrado(guardado), clave.cifrada) << qPrintable(clave.clave);
        EXPECT_EQ(c.utilerias->DesEncripta(guardado), clave.defecto);
    }
    EXPECT_EQ(ajustes.UsuarioWeb, u"Usuario"_s);
    EXPECT_EQ(ajustes.ContrasenaWeb, u"Lanterna"_s);
    EXPECT_EQ(ajustes.TablaProductosWeb, u"productos"_s);
    EXPECT_EQ(ajustes.TablaExternaImagenes, u"tabla externa imágenes"_s);
    EXPECT_EQ(ajustes.PrefijoCampoImagen, u"Prefijo campo imagen"_s);
    EXPECT_EQ(ajustes.PuertoWeb, 3306);
    EXPECT_EQ(ajustes.IntervaloMinutos, 0);
    EXPECT_EQ(ajustes.Tiendas, u"0"_s);
    EXPECT_TRUE(ajustes.CodificarTexto);
    EXPECT_TRUE(envioPorLotes(ajustes));

    // A second start writes nothing.
    cargar();
    EXPECT_EQ(carpeta.leer(u"vendaro.ini"_s), texto);
}

TEST_F(Configuracion, ClaveVaciaSeReescribeYLosBlancosSeConservan) {
    carpeta.escribir(u"vendaro.ini"_s,
                     "[Configuración]\nDirección IP=\nCarpeta del FTP=  /fotos  \n"
                     "Prefijo para el campo en tabla de imagen=  img/  \nPuerto=3307\n"
                     "Intervalo en minutos para enviar existencias=   \n");
    CapturaBitacora bitacora;
    cargar();
    EXPECT_TRUE(Cifrador::estaCifrado(leer(u"Dirección IP"_s)));
    EXPECT_EQ(ajustes.DireccionIP, u"IP"_s);
    EXPECT_EQ(ajustes.CarpetaFTP, u"  /fotos  "_s) << "a hand-typed plain value keeps its blanks";
    EXPECT_EQ(ajustes.PrefijoCampoImagen, u"img/"_s);
    EXPECT_EQ(ajustes.PuertoWeb, 3307);
    // Blanks are not empty: the key is not rewritten, and they do not make a number.
    EXPECT_EQ(leer(u"Intervalo en minutos para enviar existencias"_s), u"   "_s);
    EXPECT_EQ(ajustes.IntervaloMinutos, 0);
}

TEST_F(Configuracion, PuertoEIntervaloInvalidosTomanElDefecto) {
    carpeta.escribir(
        u"vendaro.ini"_s,
        "[Configuración]\nPuerto=abc\nIntervalo en minutos para enviar existencias=40000\n");
    CapturaBitacora bitacora;
    ajustes.PuertoWeb = 1;
    ajustes.IntervaloMinutos = 1;
    cargar();
    EXPECT_EQ(ajustes.PuertoWeb, 3306);
    EXPECT_EQ(ajustes.IntervaloMinutos, 0);
    EXPECT_TRUE(bitacora.contiene(u"«abc» de «Puerto»"_s));
    EXPECT_TRUE(bitacora.contiene(u"«40000»"_s));
    // The file keeps what the user typed.
    EXPECT_EQ(leer(u"Puerto"_s), u"abc"_s);

    carpeta.escribir(
        u"vendaro.ini"_s,
        "[Configuración]\nPuerto=-1\nIntervalo en minutos para enviar existencias= 15 \n");
    cargar();
    EXPECT_EQ(ajustes.PuertoWeb, 3306);
    EXPECT_EQ(ajustes.IntervaloMinutos, 15);
    // Every TCP port is a port, also those beyond the signed 16-bit range.
    carpeta.escribir(u"vendaro.ini"_s, "[Configuración]\nPuerto=40000\n");
    cargar();
    EXPECT_EQ(ajustes.PuertoWeb, 40000);

    // Stores, text encoding and send mode as typed by hand.
    carpeta.escribir(u"vendaro.ini"_s, "[Configuración]\nTiendas= 0, 2 ,2\nCodificar texto como "
                                       "la tienda=0\nModo de envío=Por Producto\n");
    cargar();
    EXPECT_EQ(tiendasDe(ajustes.Tiendas), (QList<int>{0, 2}));
    EXPECT_FALSE(ajustes.CodificarTexto);
    EXPECT_FALSE(envioPorLotes(ajustes));
    carpeta.escribir(u"vendaro.ini"_s,
                     "[Configuración]\nTiendas=0;1\nCodificar texto como la tienda=sí\nModo de "
                     "envío=rápido\n");
    cargar();
    EXPECT_EQ(ajustes.Tiendas, u"0"_s) << "a list we cannot read links to the default store";
    EXPECT_TRUE(bitacora.contiene(u"«0;1» de «Tiendas»"_s));
    EXPECT_TRUE(ajustes.CodificarTexto) << "a word that is not a number keeps the default";
    EXPECT_TRUE(envioPorLotes(ajustes)) << "an unknown mode is the batched one";
}

TEST_F(Configuracion, ListaDeGrabar) {
    QStringList textos;
    for (int i = 0; i < NumeroCampos; ++i)
        textos.append(u"texto "_s + QString::number(i));
    textos[0] = u"datos2"_s;
    textos[1] = u"15"_s;
    textos[7] = u"3307x"_s;
    textos[17] = u"  img/ "_s;
    const auto lista = listaGrabar(textos, *c.utilerias);
    ASSERT_EQ(lista.size(), 18);
    const QStringList orden{u"Base de datos principal"_s,
                            u"Intervalo en minutos para enviar existencias"_s,
                            u"Usuario WEB"_s,
                            u"Contraseña WEB"_s,
                            u"Dirección IP"_s,
                            u"Base de datos WEB"_s,
                            u"Nombre de la tabla"_s,
                            u"Puerto"_s,
                            u"Tabla externa para imágenes"_s,
                            u"Llave en productos para imagen"_s,
                            u"Llave en tabla externa para imagen"_s,
                            u"Dirección del FTP"_s,
                            u"Carpeta del FTP"_s,
                            u"Usuario del FTP"_s,
                            u"Password del FTP"_s,
                            u"Campo en tabla externa para imagen"_s,
                            u"Prefijo para el campo en tabla de imagen"_s,
                            u"Campo en productos para talla o color"_s};
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(lista[i].first, orden[i]);
    EXPECT_EQ(lista[0].second, u"datos2"_s);
    EXPECT_EQ(lista[1].second, u"15"_s);
    EXPECT_EQ(lista[7].second, u"3307"_s);
    EXPECT_EQ(c.utilerias->DesEncripta(lista[2].second), u"texto 3"_s);
    EXPECT_EQ(c.utilerias->DesEncripta(lista[4].second), u"texto 4"_s);
    EXPECT_EQ(c.utilerias->DesEncripta(lista[16].second), u"  img/ "_s) << "written as typed";
    EXPECT_EQ(c.utilerias->DesEncripta(lista[17].second), u"texto 8"_s);

    textos[1] = u"abc"_s;
    EXPECT_EQ(listaGrabar(textos, *c.utilerias)[1].second, u"0"_s);

    // Saved and loaded again, the record holds what was typed.
    ASSERT_TRUE(GrabarAjustes(textos, *c.qvtx, *c.utilerias, ajustes.RutaIni));
    cargar();
    EXPECT_EQ(ajustes.UsuarioWeb, u"texto 3"_s);
    EXPECT_EQ(ajustes.CampoTallaColor, u"texto 8"_s);
    EXPECT_EQ(ajustes.PuertoWeb, 3307);
    EXPECT_EQ(ajustes.IntervaloMinutos, 0);
    EXPECT_EQ(ajustes.PrefijoCampoImagen, u"img/"_s);
    EXPECT_EQ(leer(ClaveRutaHost), QString()) << "the window never writes the host folder";
}

TEST(ClavesDeSecciones, RejaYCampos) {
    EXPECT_EQ(claveReja(3), u"Columna 3"_s);
    EXPECT_EQ(u"Clave"_s + SufijoCampo::CampoWeb, u"Clave.CampoWEB"_s);
    EXPECT_EQ(u"Clave"_s + SufijoCampo::CampoEnTablaExt, u"Clave.CampoEnTablaExt"_s);
}

namespace {
// Components whose key file lives in a folder of the test's own, so a key can be lost or damaged
// without touching the one the other tests share.
struct LlavePropia {
    CarpetaTemporal carpeta;
    std::unique_ptr<Utilerias> utilerias;
    LlavePropia() {
        QByteArray anterior;
        entorno::moverCarpetaUsuario(carpeta.raiz(), &anterior);
        utilerias = std::make_unique<Utilerias>();
        qputenv("XDG_CONFIG_HOME", anterior);
    }
    ~LlavePropia() { Cifrador::impedirLlaveNueva(false); }
    QString llave() const { return utilerias->cifrador().rutaLlave(); }
};
} // namespace

TEST_F(Configuracion, GrabarConLlaveDanadaNoEscribeNada) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    LlavePropia propia;
    ASSERT_TRUE(propia.llave().startsWith(propia.carpeta.raiz()));
    QDir().mkpath(QFileInfo(propia.llave()).path());
    QFile danada(propia.llave());
    ASSERT_TRUE(danada.open(QIODevice::WriteOnly));
    danada.write("no es una llave\n");
    danada.close();

    const QByteArray antes = "[Configuración]\nContraseña WEB=VND1:loquesea\n";
    carpeta.escribir(u"vendaro.ini"_s, antes);
    QStringList textos;
    for (int i = 0; i < NumeroCampos; ++i)
        textos.append(u"texto "_s + QString::number(i));
    QString error;
    EXPECT_FALSE(GrabarAjustes(textos, *c.qvtx, *propia.utilerias, ajustes.RutaIni, &error));
    EXPECT_TRUE(error.startsWith(u"No se pudo cifrar «Usuario WEB»: la llave "_s + propia.llave() +
                                 u" está dañada"_s))
        << qPrintable(error);
    EXPECT_EQ(carpeta.leer(u"vendaro.ini"_s), antes);
}

TEST_F(Configuracion, LlavePerdidaNoSeReemplazaSinPermiso) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    LlavePropia propia;
    carpeta.escribir(u"vendaro.ini"_s, "[Configuración]\nUsuario WEB=" +
                                           c.utilerias->Encripta(u"u"_s).toUtf8() + "\n");
    // Nothing encrypted yet: a first start creates the key as usual.
    const QString limpio = carpeta.escribir(u"limpio.ini"_s, "[Configuración]\nPuerto=1\n");
    EXPECT_EQ(ComprobarLlave(*c.qvtx, *propia.utilerias, limpio), QString());

    const QString problema = ComprobarLlave(*c.qvtx, *propia.utilerias, ajustes.RutaIni);
    EXPECT_EQ(problema,
              u"Los valores cifrados no se pueden leer: falta la llave "_s + propia.llave() + u'.');
    // No key appears behind the user's back, and nothing is blanked when saving.
    EXPECT_EQ(propia.utilerias->Encripta(u"x"_s), QString());
    EXPECT_FALSE(QFile::exists(propia.llave()));
    QString error;
    EXPECT_FALSE(GrabarAjustes(QStringList(NumeroCampos, u"x"_s), *c.qvtx, *propia.utilerias,
                               ajustes.RutaIni, &error));
    EXPECT_TRUE(error.contains(u"falta la llave "_s + propia.llave())) << qPrintable(error);
    // Loading does not write placeholders it cannot encrypt.
    CargarAjustes(ajustes, *c.qvtx, *propia.utilerias);
    const QByteArray cargado = carpeta.leer(u"vendaro.ini"_s);
    EXPECT_FALSE(cargado.contains("Contraseña WEB=")) << cargado.constData();

    // Once the user agrees, a new key is made.
    ASSERT_TRUE(propia.utilerias->cifrador().reemplazarLlave());
    EXPECT_TRUE(QFile::exists(propia.llave()));
    EXPECT_EQ(propia.utilerias->DesEncripta(propia.utilerias->Encripta(u"x"_s)), u"x"_s);
}
