#include "sync/comprobacion.h"
#include "sync/escenario.h"

#include <QThread>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
struct Comprobacion : ::testing::Test {
    Escenario e;

    void SetUp() override {
        e.mapeoBasico();
        e.ajustar(u"Dirección del FTP"_s,
                  entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()));
        e.ajustar(u"Usuario del FTP"_s, entorno::ftpUsuario());
        e.ajustar(u"Password del FTP"_s, entorno::ftpContrasena());
    }
    DatosComprobacion datos() {
        e.leer();
        return DatosComprobacion{*e.c.bases, e.ajustes, e.campos};
    }
    // The one step of that part, or an empty one (its name empty) when it did not run.
    static PasoComprobacion de(const QList<PasoComprobacion>& pasos, const QString& nombre) {
        for (const PasoComprobacion& p : pasos)
            if (p.nombre == nombre && p.estado != PasoComprobacion::Estado::Aviso)
                return p;
        return {};
    }
    static QString lineas(const QList<PasoComprobacion>& pasos) {
        QStringList t;
        for (const PasoComprobacion& p : pasos)
            t.append(p.texto);
        return t.join(u'\n');
    }
};
} // namespace

TEST_F(Comprobacion, TodoEnOrdenYCadaPasoAvisaAlTerminar) {
    QStringList avisados;
    const auto pasos =
        comprobarConexiones(datos(), [&](const PasoComprobacion& p) { avisados.append(p.texto); });
    for (const QString& n :
         {PasoNombre::PuntoDeVenta, PasoNombre::Tienda, PasoNombre::TablaProductos,
          PasoNombre::Relacion, PasoNombre::Ftp, PasoNombre::CarpetaFtp})
        EXPECT_EQ(de(pasos, n).estado, PasoComprobacion::Estado::Bien)
            << qPrintable(n + u'\n' + lineas(pasos));
    EXPECT_EQ(avisados.join(u'\n'), lineas(pasos)) << "every step reported as it ended";
    EXPECT_TRUE(de(pasos, PasoNombre::Tienda).motivo.startsWith(u"conexión correcta"_s));
}

// Each broken part fails its own step, with the reason in words; the others still run.
TEST_F(Comprobacion, CadaParteRotaDiceSuMotivo) {
    DatosComprobacion d = datos();
    d.ajustes.ContrasenaWeb = u"equivocada"_s;
    d.puntoDeVenta.cMiBase = u"no_hay_tal_base"_s;
    d.ajustes.PasswordFTP = u"equivocada"_s;
    auto pasos = comprobarConexiones(d);
    PasoComprobacion p = de(pasos, PasoNombre::Tienda);
    EXPECT_TRUE(p.fallo());
    EXPECT_TRUE(p.motivo.contains(u"el usuario o la contraseña no son correctos"_s))
        << qPrintable(p.texto);
    p = de(pasos, PasoNombre::PuntoDeVenta);
    EXPECT_TRUE(p.fallo());
    EXPECT_TRUE(p.motivo.contains(u"la base de datos «no_hay_tal_base» no existe"_s))
        << qPrintable(p.texto);
    p = de(pasos, PasoNombre::Ftp);
    EXPECT_TRUE(p.fallo());
    EXPECT_TRUE(p.motivo.contains(u"530"_s)) << qPrintable(p.texto);
    EXPECT_TRUE(de(pasos, PasoNombre::TablaProductos).nombre.isEmpty())
        << "no table to look for without the shop's database";
    EXPECT_TRUE(de(pasos, PasoNombre::CarpetaFtp).nombre.isEmpty());

    // A shop database of another letter case is another database on this server.
    d = datos();
    d.ajustes.BaseDatosWeb = e.tienda.nombre().toUpper();
    d.ajustes.TablaProductosWeb = u"oc_product"_s;
    pasos = comprobarConexiones(d);
    EXPECT_TRUE(de(pasos, PasoNombre::Tienda).fallo()) << qPrintable(lineas(pasos));
    EXPECT_TRUE(de(pasos, PasoNombre::Tienda).motivo.contains(u"no existe"_s));

    d = datos();
    d.ajustes.TablaProductosWeb = u"oc_productos"_s;
    d.ajustes.CarpetaFTP = u"no/existe/P"_s;
    pasos = comprobarConexiones(d);
    EXPECT_FALSE(de(pasos, PasoNombre::Tienda).fallo());
    p = de(pasos, PasoNombre::TablaProductos);
    EXPECT_TRUE(p.fallo());
    EXPECT_TRUE(p.texto.contains(u"«oc_productos»: no existe en la base de datos"_s))
        << qPrintable(p.texto);
    EXPECT_TRUE(de(pasos, PasoNombre::Relacion).nombre.isEmpty());
    bool carpetaAvisada = false;
    for (const PasoComprobacion& paso : pasos)
        carpetaAvisada = carpetaAvisada || (paso.nombre == PasoNombre::CarpetaFtp &&
                                            paso.estado == PasoComprobacion::Estado::Aviso);
    EXPECT_TRUE(carpetaAvisada) << qPrintable(lineas(pasos));

    d = datos();
    d.ajustes.DireccionIP = u"no-existe.invalid"_s;
    pasos = comprobarConexiones(d);
    EXPECT_TRUE(de(pasos, PasoNombre::Tienda)
                    .motivo.contains(u"no se encontró el servidor «no-existe.invalid»"_s))
        << qPrintable(lineas(pasos));
}

// A server that takes the connection and never says a word: the step ends with the connect
// timeout, saying so.
TEST_F(Comprobacion, ServidorQueNuncaResponde) {
    // A listening socket that is never read: connections wait in its backlog.
    OyenteMudo mudo;
    ASSERT_TRUE(mudo.listo());
    DatosComprobacion d = datos();
    d.ajustes.DireccionIP = u"127.0.0.1"_s;
    d.ajustes.PuertoWeb = mudo.puerto();
    d.ajustes.DireccionFTP.clear();
    QList<PasoComprobacion> pasos;
    QThread* hilo = QThread::create([&] { pasos = comprobarConexiones(d); });
    hilo->start();
    ASSERT_TRUE(hilo->wait(60000));
    delete hilo;
    mudo.cerrar();
    const PasoComprobacion p = de(pasos, PasoNombre::Tienda);
    EXPECT_TRUE(p.fallo());
    EXPECT_TRUE(p.motivo.contains(u"no respondió a tiempo"_s)) << qPrintable(p.texto);
}
