#include "support/entorno.h"
#include "sync/bloqueo_tienda.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(BloqueoTienda, UnEnvioPorTiendaDesdeCualquierSesion) {
    BaseTemporal tienda(u"tienda"_s);
    const DatosConexion datos = tienda.datos();
    // A killed session frees its lock a moment later: the run waits a little, as a real one does.
    BloqueoTienda primero(datos, OpcionesConexion{}, 2);
    ASSERT_TRUE(primero.tomar()) << qPrintable(primero.descripcion());

    // A second run waits its time, then names the shop and who holds it.
    BloqueoTienda segundo(datos, OpcionesConexion{}, 1);
    EXPECT_FALSE(segundo.tomar());
    EXPECT_TRUE(segundo.descripcion().startsWith(u"Otro envío a la tienda «"_s + tienda.nombre() +
                                                 u"» está en curso desde 127.0.0.1:"_s))
        << qPrintable(segundo.descripcion());
    EXPECT_TRUE(segundo.descripcion().contains(u"usuario "_s + datos.usuario));

    // Another shop on the same server is not held up.
    BaseTemporal otra(u"tienda"_s);
    BloqueoTienda otraTienda(otra.datos(), OpcionesConexion{}, 0);
    EXPECT_TRUE(otraTienda.tomar()) << qPrintable(otraTienda.descripcion());

    // The lock survives a check, and when its session is killed (a restarted server, say) the
    // run takes it again, unless another run got it meanwhile.
    EXPECT_TRUE(primero.asegurar());
    auto matarSesionDelBloqueo = [&] {
        const QStringList id = tienda.filas(
            u"SELECT IS_USED_LOCK("_s +
            tienda.conexion().literal(Valor(BloqueoTienda::nombreBloqueo(tienda.nombre()))) + u')');
        ASSERT_EQ(id.size(), 1);
        ASSERT_TRUE(tienda.conexion().Execute(u"KILL "_s + id[0]));
    };
    matarSesionDelBloqueo();
    EXPECT_TRUE(primero.asegurar()) << qPrintable(primero.descripcion());
    matarSesionDelBloqueo();
    ASSERT_TRUE(segundo.tomar()) << qPrintable(segundo.descripcion());
    EXPECT_FALSE(primero.asegurar());
    EXPECT_TRUE(primero.descripcion().startsWith(u"Otro envío"_s));
}

TEST(BloqueoTienda, NombreLargoCabeEnElServidor) {
    const QString larga(64, u'x');
    const QString nombre = BloqueoTienda::nombreBloqueo(larga);
    EXPECT_LE(nombre.size(), 64);
    EXPECT_NE(nombre, BloqueoTienda::nombreBloqueo(QString(63, u'x') + u'y'));
    EXPECT_EQ(BloqueoTienda::nombreBloqueo(u"tienda"_s), u"vendaro:tienda"_s);
    // The lock needs no database of that name: its session opens none.
    DatosConexion datos = entorno::mysql(larga);
    BloqueoTienda bloqueo(datos, OpcionesConexion{}, 0);
    EXPECT_TRUE(bloqueo.tomar()) << qPrintable(bloqueo.descripcion());
}
