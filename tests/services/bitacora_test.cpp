#include "services/bitacora.h"
#include "services/plataforma.h"
#include "services/texto_seguro.h"
#include "support/entorno.h"

#include <QFile>
#include <QLoggingCategory>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Bitacora, EscribeJuntoAlIniYRotaPorTamano) {
    CarpetaTemporal carpeta;
    const QString ruta = bitacora::rutaPara(carpeta.ruta(u"vendaro.ini"_s));
    EXPECT_EQ(ruta, carpeta.ruta(u"vendaro.log"_s));
    bitacora::Opciones opciones;
    opciones.terminal = false;
    opciones.tamanoMaximo = 300;
    opciones.copias = 2;
    ASSERT_TRUE(bitacora::iniciar(ruta, opciones));
    for (int i = 0; i < 40; ++i)
        qWarning().noquote() << u"línea número %1 de la prueba"_s.arg(i);
    qDebug() << "depuración: no se escribe";
    bitacora::terminar();

    EXPECT_TRUE(QFile::exists(ruta));
    EXPECT_TRUE(QFile::exists(ruta + u".1"_s));
    EXPECT_TRUE(QFile::exists(ruta + u".2"_s));
    EXPECT_FALSE(QFile::exists(ruta + u".3"_s));
    const QByteArray ultima = carpeta.leer(u"vendaro.log"_s);
    EXPECT_TRUE(ultima.contains("aviso: línea número 39 de la prueba")) << ultima.constData();
    EXPECT_LE(QFile(ruta + u".1"_s).size(), 300 + 80);
    EXPECT_FALSE(ultima.contains("depuración"));
    REQUIERE_LISTAS_DE_ACCESO();
    EXPECT_FALSE(plataforma::accesiblePorOtros(ruta));
}

TEST(Bitacora, ControlesEscapadosYContrasenasOcultas) {
    using textoSeguro::escapado;
    EXPECT_EQ(escapado(u"a\nb\r\tc\0d\x1b[2Je\x7f\x85 ñ€\\"_s),
              u"a\\nb\\r\\tc\\x00d\\x1b[2Je\\x7f\\x85 ñ€\\"_s);
    EXPECT_EQ(escapado(u"orden \u202Eoculto"_s), u"orden \\u{202e}oculto"_s);
    EXPECT_EQ(textoSeguro::paraMostrar(u"uno\ndos\x1b"_s, true), u"uno\ndos\\x1b"_s);

    // A secret is masked wherever it appears; one too short to mask would blank ordinary words.
    textoSeguro::ocultar(u"Contraseña-de-prueba"_s);
    textoSeguro::ocultar(u"de"_s);
    EXPECT_EQ(textoSeguro::paraMostrar(u"usuario de x:Contraseña-de-prueba@h"_s),
              u"usuario de x:****@h"_s);

    // In the log: one line per message, whatever its text holds.
    CarpetaTemporal carpeta;
    const QString ruta = carpeta.ruta(u"vendaro.log"_s);
    bitacora::Opciones opciones;
    opciones.terminal = false;
    ASSERT_TRUE(bitacora::iniciar(ruta, opciones));
    qWarning().noquote() << u"Producto «P\n01»: Contraseña-de-prueba\x1b]0;título\x07"_s;
    bitacora::terminar();
    const QByteArray escrito = carpeta.leer(u"vendaro.log"_s);
    EXPECT_EQ(escrito.count('\n'), 1) << escrito.constData();
    EXPECT_TRUE(escrito.contains("Producto «P\\n01»: ****\\x1b]0;título\\x07\n"))
        << escrito.constData();
}
