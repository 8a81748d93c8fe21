#include "services/bitacora.h"
#include "services/plataforma.h"
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
    EXPECT_FALSE(plataforma::accesiblePorOtros(ruta));
    const QByteArray ultima = carpeta.leer(u"vendaro.log"_s);
    EXPECT_TRUE(ultima.contains("aviso: línea número 39 de la prueba")) << ultima.constData();
    EXPECT_LE(QFile(ruta + u".1"_s).size(), 300 + 80);
    EXPECT_FALSE(ultima.contains("depuración"));
}
