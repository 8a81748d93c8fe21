#include "escenario.h"
#include "ftp/clsftp.h"
#include "sync/paso_imagenes.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// Pictures in a folder of the test's own and an FTP folder of its own on the fixture's server.
struct Imagenes : ::testing::Test {
    Escenario e;
    QString fotos;
    QString remota;
    void SetUp() override {
        e.mapeoBasico();
        e.productos(4);
        fotos = e.carpeta.ruta(u"fotos"_s);
        QDir().mkpath(fotos);
        remota = u"prueba-"_s + QFileInfo(e.carpeta.raiz()).fileName();
        QDir(entorno::ftpRaiz()).mkpath(remota);
        e.pos.ejecutar(u"INSERT INTO configura VALUES (0, 0, 0, "_s +
                       e.pos.conexion().literal(fotos) + u");"_s);
        e.ajustar(u"Tabla externa para imágenes"_s, u"oc_product_image"_s);
        e.ajustar(u"Llave en productos para imagen"_s, u"product_id"_s);
        e.ajustar(u"Llave en tabla externa para imagen"_s, u"product_id"_s);
        e.ajustar(u"Campo en tabla externa para imagen"_s, u"image"_s);
        e.ajustar(u"Prefijo para el campo en tabla de imagen"_s, u" catalog/ "_s);
        e.ajustar(u"Dirección del FTP"_s,
                  entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()));
        e.ajustar(u"Carpeta del FTP"_s, remota + u'/');
        e.ajustar(u"Usuario del FTP"_s, entorno::ftpUsuario());
        e.ajustar(u"Password del FTP"_s, entorno::ftpContrasena());
        e.defectos(u"oc_product_image"_s, "sort_order = 3\n");
        e.ventana.imagenes = true;
    }
    void foto(const QString& nombre, int bytes) {
        e.carpeta.escribir(u"fotos/"_s + nombre, QByteArray(bytes, 'x'));
    }
    QStringList enServidor() const {
        return QDir(entorno::ftpRaiz() + u'/' + remota).entryList(QDir::Files | QDir::Hidden);
    }
};
} // namespace

TEST(ArchivosDeImagen, PorClaveConCualquierExtension) {
    CarpetaTemporal c;
    for (const char* n :
         {"P1.jpg", "p1.PNG", "P1.detalle.png", "P10.jpg", "P1", "P1x.jpg", "[a].jpg"})
        c.escribir(QString::fromUtf8(n), "x");
    QDir(c.raiz()).mkdir(u"P1.carpeta"_s);
    EXPECT_EQ(ArchivosDeImagen(c.raiz() + u'/', u"P1"_s),
              (QStringList{u"P1.detalle.png"_s, u"P1.jpg"_s, u"p1.PNG"_s}));
    EXPECT_EQ(ArchivosDeImagen(c.raiz() + u'/', u"[a]"_s), QStringList{u"[a].jpg"_s});
    // An empty folder setting searches nothing, not the current folder.
    QDir::setCurrent(c.raiz());
    EXPECT_TRUE(ArchivosDeImagen(QString(), u"P1"_s).isEmpty());
}

TEST_F(Imagenes, SubeYRegistraSoloLoSubido) {
    foto(u"P01.jpg"_s, 300000);
    foto(u"P02.a.png"_s, 10);
    foto(u"P02.jpg"_s, 510);
    // P03: no picture; P04: a picture for a product that is not in the shop yet is uploaded but
    // cannot be recorded (its row is missing).
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 4);
    EXPECT_TRUE(r.conImagenes);
    EXPECT_EQ(r.imagenesSubidas, 3);
    EXPECT_EQ(r.imagenesFallidas, 0);
    EXPECT_TRUE(r.completo());
    EXPECT_EQ(enServidor(), (QStringList{u"P01.jpg"_s, u"P02.a.png"_s, u"P02.jpg"_s}));
    EXPECT_EQ(QFileInfo(entorno::ftpRaiz() + u'/' + remota + u"/P01.jpg"_s).size(), 300000);
    // One row per product; the name found last wins; the prefix is trimmed when read.
    EXPECT_EQ(
        e.tienda.filas(u"SELECT product_id, image, sort_order FROM oc_product_image ORDER BY 1"_s),
        (QStringList{u"1|catalog/P01.jpg|3"_s, u"2|catalog/P02.jpg|3"_s}));
    EXPECT_FALSE(e.ventana.imagenes) << "the request is one-shot";

    // An empty prefix records the bare file name.
    e.ajustar(u"Prefijo para el campo en tabla de imagen"_s, u"  "_s);
    e.ventana.imagenes = true;
    ASSERT_TRUE(e.enviar().completo());
    EXPECT_EQ(e.tienda.filas(u"SELECT image FROM oc_product_image WHERE product_id = 1"_s),
              QStringList{u"P01.jpg"_s});
}

TEST_F(Imagenes, ServidorQueRechazaElAccesoNoRegistraNada) {
    foto(u"P01.jpg"_s, 100);
    foto(u"P03.png"_s, 100);
    e.ajustar(u"Password del FTP"_s, u"equivocada"_s);
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 4);
    EXPECT_EQ(r.imagenesSubidas, 0);
    EXPECT_EQ(r.imagenesFallidas, 2);
    EXPECT_FALSE(r.completo());
    EXPECT_TRUE(r.texto().contains(u"imágenes con error: 2"_s));
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_image"_s), QStringList{u"0"_s});
    EXPECT_TRUE(bitacora.contiene(u"Imagen «P01.jpg» del producto «P01» no enviada: 530"_s))
        << qPrintable(bitacora.lineas().join(u'\n'));
}

TEST_F(Imagenes, InterrupcionEntreProductos) {
    foto(u"P01.jpg"_s, 100);
    foto(u"P02.jpg"_s, 100);
    foto(u"P03.jpg"_s, 100);
    // Asked during the pictures of product 2: its files are finished, product 3 is not started.
    struct Interruptor : VentanaEnvio {
        Escenario& e;
        explicit Interruptor(Escenario& es)
            : e(es) {}
        bool imagenesPedidas() override { return true; }
        void imagenProducto(const QString&, const QString&, qint64 n, qint64) override {
            if (n == 2)
                e.interrumpir = true;
        }
    } interruptor(e);
    e.leer();
    const DatosEnvio datos = clsProcedimenti(e.c, e.ajustes).datosEnvio(e.campos);
    const ResumenEnvio r = clsProcedimenti::EnviarProductos(datos, e.interrumpir, interruptor);
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::Interrumpido);
    EXPECT_EQ(r.imagenesSubidas, 2);
    EXPECT_EQ(enServidor(), (QStringList{u"P01.jpg"_s, u"P02.jpg"_s}));
}

TEST_F(Imagenes, ElClienteDeLaVentanaMuestraElAvance) {
    foto(u"P01.jpg"_s, 600);
    clsFTP ftp;
    ftp.SetModePassive();
    ftp.SetTransferBinary();
    QList<std::pair<qint64, qint64>> avance;
    QObject::connect(&ftp, &clsFTP::FileTransferProgress, [&](qint64 actual, qint64 total) {
        avance.append({actual, total});
    });
    e.leer();
    const ResumenEnvio r =
        clsProcedimenti(e.c, e.ajustes).EnviarProductos(e.campos, e.interrumpir, e.ventana, &ftp);
    EXPECT_EQ(r.imagenesSubidas, 1);
    EXPECT_EQ(avance, (QList<std::pair<qint64, qint64>>{{255, 600}, {510, 600}, {600, 600}}));
    EXPECT_FALSE(ftp.IsConnected()) << "the session ends with the pass";
}
