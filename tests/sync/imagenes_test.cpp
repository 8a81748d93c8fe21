#include "escenario.h"
#include "ftp/clsftp.h"
#include "sync/manifiesto_imagenes.h"
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
        remota = u"prueba-"_s + QFileInfo(e.carpeta.raiz()).fileName();
        QDir(entorno::ftpRaiz()).mkpath(remota);
        e.imagenesPorFtp(fotos, remota + u'/');
        e.ajustar(u"Prefijo para el campo en tabla de imagen"_s, u" catalog/ "_s);
        e.defectos(u"oc_product_image"_s, "sort_order = 3\n");
        e.ventana.imagenes = true;
    }
    void foto(const QString& nombre, int bytes) {
        e.carpeta.escribir(u"fotos/"_s + nombre, QByteArray(bytes, 'x'));
    }
    QStringList enServidor() const {
        return QDir(entorno::ftpRaiz() + u'/' + remota).entryList(QDir::Files | QDir::Hidden);
    }
    QString rutaServidor(const QString& nombre) const {
        return entorno::ftpRaiz() + u'/' + remota + u'/' + nombre;
    }
    QByteArray enServidor(const QString& nombre) const {
        QFile f(rutaServidor(nombre));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
    }
    // Marks the server's copies as old: an upload replaces the file, and with it this time.
    void envejecer() const {
        for (const QString& n : enServidor()) {
            QFile f(rutaServidor(n));
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(Antes, QFileDevice::FileModificationTime));
        }
    }
    bool reenviada(const QString& nombre) const {
        return QFileInfo(rutaServidor(nombre)).lastModified() != Antes;
    }
    static inline const QDateTime Antes{QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC};
    static int lineasCon(const CapturaBitacora& b, const QString& texto) {
        int n = 0;
        for (const QString& l : b.lineas())
            n += l.contains(texto) ? 1 : 0;
        return n;
    }
    // Logins the client tried: each failure is logged once under this operation.
    static int intentosDeEntrar(const CapturaBitacora& b) {
        int n = 0;
        for (const QString& l : b.lineas())
            n += l.startsWith(u"InternetConnect"_s) ? 1 : 0;
        return n;
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

// On a full disk the record of what was sent keeps its last complete content: the next pass only
// sends more than needed.
TEST(ManifiestoImagenes, UnDiscoLlenoDejaElAnterior) {
    DiscoLleno disco;
    REQUIERE_DISCO(disco);
    const QString ruta = ManifiestoImagenes::rutaPara(disco.ruta(u"vendaro.ini"_s));
    {
        ManifiestoImagenes m(ruta);
        m.anotar(u"a|P01.png"_s, QByteArray(64, 'a'), 10);
        QString error;
        ASSERT_TRUE(m.guardar(&error)) << qPrintable(error);
    }
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray antes = f.readAll();
    f.close();
    disco.llenar(0);
    ManifiestoImagenes m(ruta);
    for (int i = 0; i < 200; ++i)
        m.anotar(u"a|P%1.png"_s.arg(i), QByteArray(64, 'b'), 10);
    QString error;
    EXPECT_FALSE(m.guardar(&error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), antes);
    EXPECT_TRUE(ManifiestoImagenes(ruta).subido(u"a|P01.png"_s, QByteArray(64, 'a'), 10));
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
    // One row per picture; the prefix is trimmed when read.
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, image, sort_order FROM oc_product_image ORDER "
                             u"BY 1, 2"_s),
              (QStringList{u"1|catalog/P01.jpg|3"_s, u"2|catalog/P02.a.png|3"_s,
                           u"2|catalog/P02.jpg|3"_s}));
    EXPECT_FALSE(e.ventana.imagenes) << "the request is one-shot";

    // An empty prefix records the bare file name.
    e.ajustar(u"Prefijo para el campo en tabla de imagen"_s, u"  "_s);
    e.ventana.imagenes = true;
    ASSERT_TRUE(e.enviar().completo());
    EXPECT_EQ(e.tienda.filas(u"SELECT image FROM oc_product_image WHERE product_id = 1 ORDER BY "
                             u"image"_s),
              (QStringList{u"catalog/P01.jpg"_s, u"P01.jpg"_s}));
}

TEST_F(Imagenes, ServidorQueRechazaElAccesoTerminaTrasElPrimerIntento) {
    // Many pictures: a refused login must not be tried again for each (accounts get locked).
    for (int i = 1; i <= 4; ++i)
        for (const char* ext : {"a.jpg", "b.jpg", "c.png"})
            foto(u"P%1.%2"_s.arg(i, 2, 10, QChar(u'0')).arg(QString::fromLatin1(ext)), 100);
    e.ajustar(u"Password del FTP"_s, u"equivocada"_s);
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 4);
    EXPECT_EQ(r.imagenesSubidas, 0);
    EXPECT_EQ(r.imagenesFallidas, 12);
    EXPECT_FALSE(r.completo());
    EXPECT_TRUE(r.texto().contains(u"imágenes con error: 12"_s));
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_image"_s), QStringList{u"0"_s});
    EXPECT_EQ(intentosDeEntrar(bitacora), 1) << qPrintable(bitacora.lineas().join(u'\n'));
    EXPECT_EQ(lineasCon(bitacora, u"No se enviaron imágenes al servidor FTP: 530"_s), 1)
        << qPrintable(bitacora.lineas().join(u'\n'));
    EXPECT_EQ(lineasCon(bitacora, u"no enviada"_s), 0);
}

TEST_F(Imagenes, ServidorInalcanzableTerminaTrasElPrimerIntento) {
    foto(u"P01.jpg"_s, 10);
    foto(u"P02.jpg"_s, 10);
    foto(u"P03.jpg"_s, 10);
    // A privileged port nobody listens on: refused at once.
    e.ajustar(u"Dirección del FTP"_s, u"127.0.0.1:1"_s);
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.imagenesFallidas, 3);
    EXPECT_EQ(intentosDeEntrar(bitacora), 1) << qPrintable(bitacora.lineas().join(u'\n'));
}

TEST_F(Imagenes, SoloSeEnviaLoQueCambio) {
    foto(u"P01.jpg"_s, 100);
    foto(u"P02.jpg"_s, 200);
    foto(u"P03.png"_s, 300);
    foto(u"P04.jpg"_s, 400);
    ASSERT_TRUE(e.enviar().completo());
    const QString manifiesto = ManifiestoImagenes::rutaPara(e.ajustes.RutaIni);
    ASSERT_TRUE(QFile::exists(manifiesto));
    envejecer();
    {
        SCOPED_TRACE("nothing changed: no file sent, every name recorded again");
        e.tienda.ejecutar(u"DELETE FROM oc_product_image;"_s);
        e.ventana.imagenes = true;
        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(r.completo());
        EXPECT_EQ(r.imagenesSubidas, 0);
        for (const QString& n : enServidor())
            EXPECT_FALSE(reenviada(n)) << qPrintable(n);
        EXPECT_EQ(e.tienda.filas(u"SELECT product_id, image FROM oc_product_image ORDER BY 1"_s),
                  (QStringList{u"1|catalog/P01.jpg"_s, u"2|catalog/P02.jpg"_s,
                               u"3|catalog/P03.png"_s, u"4|catalog/P04.jpg"_s}));
    }
    {
        SCOPED_TRACE("changed here, deleted or replaced there, a leftover partial upload");
        // The same size, another content.
        e.carpeta.escribir(u"fotos/P01.jpg"_s, QByteArray(100, 'y'));
        ASSERT_TRUE(QFile::remove(rutaServidor(u"P02.jpg"_s)));
        {
            QFile otro(rutaServidor(u"P03.png"_s));
            ASSERT_TRUE(otro.open(QIODevice::WriteOnly | QIODevice::Truncate));
            otro.write("cambiada en el servidor");
        }
        QFile parte(rutaServidor(u".P04.jpg.vendaro-3fa9c2.part"_s));
        ASSERT_TRUE(parte.open(QIODevice::WriteOnly));
        parte.close();
        envejecer();
        e.ventana.imagenes = true;
        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(r.completo());
        EXPECT_EQ(r.imagenesSubidas, 3);
        EXPECT_EQ(enServidor(u"P01.jpg"_s), QByteArray(100, 'y'));
        EXPECT_EQ(enServidor(u"P02.jpg"_s), QByteArray(200, 'x'));
        EXPECT_EQ(enServidor(u"P03.png"_s), QByteArray(300, 'x'));
        EXPECT_FALSE(reenviada(u"P04.jpg"_s));
        EXPECT_EQ(enServidor(),
                  (QStringList{u"P01.jpg"_s, u"P02.jpg"_s, u"P03.png"_s, u"P04.jpg"_s}));
    }
    {
        SCOPED_TRACE("a damaged record of what was sent: everything goes again");
        QFile m(manifiesto);
        ASSERT_TRUE(m.open(QIODevice::WriteOnly | QIODevice::Truncate));
        m.write("{\"formato\": 1, \"archivos\": {\"");
        m.close();
        envejecer();
        e.ventana.imagenes = true;
        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(r.completo());
        EXPECT_EQ(r.imagenesSubidas, 4);
        EXPECT_TRUE(reenviada(u"P04.jpg"_s));
    }
    {
        SCOPED_TRACE("another folder on the same server is another destination");
        e.ajustar(u"Carpeta del FTP"_s, remota + u"/otra/"_s);
        e.ventana.imagenes = true;
        EXPECT_EQ(e.enviar().imagenesSubidas, 4);
    }
}

TEST_F(Imagenes, ImagenPrincipalSoloCuandoFalta) {
    foto(u"P01.b.jpg"_s, 10);
    foto(u"P01.a.jpg"_s, 10);
    foto(u"P02.jpg"_s, 10);
    // The run creates the products; P02 then gets a main picture of the shop's own.
    e.ventana.imagenes = false;
    ASSERT_TRUE(e.enviar().completo());
    e.tienda.ejecutar(u"UPDATE oc_product SET image = 'catalog/propia.jpg' WHERE model = 'P02';"_s
                      u"UPDATE oc_product SET image = '' WHERE model = 'P03';"_s);
    foto(u"P03.jpg"_s, 10);
    e.ventana.imagenes = true;
    ASSERT_TRUE(e.enviar().completo());
    const QString consulta = u"SELECT p.model, p.image, i.image FROM oc_product p LEFT JOIN "_s
                             u"oc_product_image i USING (product_id) ORDER BY 1"_s;
    EXPECT_EQ(e.tienda.filas(consulta + u", 3"_s),
              (QStringList{u"P01|catalog/P01.a.jpg|catalog/P01.a.jpg"_s,
                           u"P01|catalog/P01.a.jpg|catalog/P01.b.jpg"_s,
                           u"P02|catalog/propia.jpg|catalog/P02.jpg"_s,
                           u"P03|catalog/P03.jpg|catalog/P03.jpg"_s, u"P04||NULL"_s}))
        << "a new product's image is the empty text, as the shop's admin writes it";

    // A picture that sorts first later on does not replace the main picture.
    foto(u"P01.0.jpg"_s, 10);
    e.ventana.imagenes = true;
    ASSERT_TRUE(e.enviar().completo());
    EXPECT_EQ(e.tienda.filas(u"SELECT image FROM oc_product WHERE model = 'P01'"_s),
              QStringList{u"catalog/P01.a.jpg"_s});

    // A product table without that column: pictures are recorded all the same.
    e.tienda.ejecutar(u"ALTER TABLE oc_product DROP COLUMN image;"_s);
    e.ajustar(u"Prefijo para el campo en tabla de imagen"_s, u"otro/"_s);
    e.ventana.imagenes = true;
    ASSERT_TRUE(e.enviar().completo());
    EXPECT_EQ(e.tienda.filas(u"SELECT image FROM oc_product_image WHERE image LIKE 'otro/%' "
                             u"ORDER BY product_id, image"_s),
              (QStringList{u"otro/P01.0.jpg"_s, u"otro/P01.a.jpg"_s, u"otro/P01.b.jpg"_s,
                           u"otro/P02.jpg"_s, u"otro/P03.jpg"_s}));
}

// As in the demo: a product's own picture and a detail of it. Every picture gets its row, once,
// and the main picture is the one named after the key alone, though the detail sorts first.
TEST_F(Imagenes, CadaImagenEnSuFilaYLaPrincipalEsLaDeLaClave) {
    foto(u"P02.detalle.png"_s, 10);
    foto(u"P02.png"_s, 20);
    foto(u"P03.JPG"_s, 10);
    foto(u"P03.a.jpg"_s, 10);
    foto(u"P04.a.jpg"_s, 10);
    foto(u"P04.b.jpg"_s, 10);
    for (const QString& modo : {u"por lotes"_s, u"por producto"_s}) {
        SCOPED_TRACE(qPrintable(modo));
        e.ajustar(u"Modo de envío"_s, modo);
        e.tienda.ejecutar(u"DELETE FROM oc_product_image; UPDATE oc_product SET image = '';"_s);
        QFile::remove(ManifiestoImagenes::rutaPara(e.ajustes.RutaIni));
        e.ventana.imagenes = true;
        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(r.completo()) << qPrintable(r.texto());
        EXPECT_EQ(r.imagenesSubidas, 6);
        const QString filas = u"SELECT p.model, i.image FROM oc_product_image i JOIN oc_product "_s
                              u"p USING (product_id) ORDER BY 1, 2"_s;
        const QStringList todas{u"P02|catalog/P02.detalle.png"_s, u"P02|catalog/P02.png"_s,
                                u"P03|catalog/P03.a.jpg"_s,       u"P03|catalog/P03.JPG"_s,
                                u"P04|catalog/P04.a.jpg"_s,       u"P04|catalog/P04.b.jpg"_s};
        EXPECT_EQ(e.tienda.filas(filas), todas);
        EXPECT_EQ(e.tienda.filas(u"SELECT model, image FROM oc_product ORDER BY 1"_s),
                  (QStringList{u"P01|"_s, u"P02|catalog/P02.png"_s, u"P03|catalog/P03.JPG"_s,
                               u"P04|catalog/P04.a.jpg"_s}));

        // Sent again, nothing changed: no row twice.
        e.ventana.imagenes = true;
        EXPECT_TRUE(e.enviar().completo());
        EXPECT_EQ(e.tienda.filas(filas), todas);
    }
}

TEST_F(Imagenes, CreaLaCarpetaQueFalta) {
    foto(u"P01.jpg"_s, 10);
    foto(u"P02.jpg"_s, 10);
    e.ajustar(u"Carpeta del FTP"_s, remota + u"/image/catalog/pos/"_s);
    ASSERT_TRUE(e.enviar().completo());
    EXPECT_EQ(enServidor(u"image/catalog/pos/P02.jpg"_s), QByteArray(10, 'x'));

    // A folder that cannot exist (a file stands where a parent should): one error for the pass.
    QFile estorbo(rutaServidor(u"ocupado"_s));
    ASSERT_TRUE(estorbo.open(QIODevice::WriteOnly));
    estorbo.close();
    e.ajustar(u"Carpeta del FTP"_s, remota + u"/ocupado/fotos/"_s);
    e.ventana.imagenes = true;
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.imagenesFallidas, 2);
    EXPECT_EQ(lineasCon(bitacora, u"No se pudo crear la carpeta"_s), 2)
        << "one from the client, one for the pass\n"
        << qPrintable(bitacora.lineas().join(u'\n'));
    EXPECT_EQ(lineasCon(bitacora, u"no enviada"_s), 0);
}

TEST_F(Imagenes, ClaveConBarraNoPisaOtraImagen) {
    e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ("_s +
                   e.pos.conexion().literal(u"X\\P01"_s) + u", 'Otro', 1);"_s);
    if (QDir::separator() == u'\\')
        GTEST_SKIP() << "En Windows «\\» separa carpetas: ningún archivo de la carpeta de imágenes "
                        "se llama «X\\P01.jpg»";
    foto(u"P01.jpg"_s, 10);
    e.carpeta.escribir(u"fotos/X\\P01.jpg"_s, "ajena");
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.imagenesSubidas, 1);
    EXPECT_EQ(r.imagenesFallidas, 1);
    EXPECT_EQ(enServidor(), QStringList{u"P01.jpg"_s});
    EXPECT_EQ(enServidor(u"P01.jpg"_s), QByteArray(10, 'x'));
    EXPECT_TRUE(bitacora.contiene(u"Imágenes del producto «X\\P01» no enviadas: la clave lleva"_s))
        << qPrintable(bitacora.lineas().join(u'\n'));
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, image FROM oc_product_image"_s),
              QStringList{u"1|catalog/P01.jpg"_s});
}

TEST_F(Imagenes, ClaveConAmpersandSeBuscaComoLaGuardaLaTienda) {
    if (QDir::separator() == u'\\')
        GTEST_SKIP() << "En Windows un archivo no puede llamarse «A&B <1>.jpg»";
    const QString clave = u"A&B <1>"_s;
    e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ("_s +
                   e.pos.conexion().literal(clave) + u", 'Con signos', 1);"_s);
    // The shop's own forms stored this product's key encoded.
    e.tienda.ejecutar(
        u"INSERT INTO oc_product (product_id, model, sku, upc, ean, jan, isbn, mpn, "_s
        u"location, stock_status_id, manufacturer_id, tax_class_id, date_added, "_s
        u"date_modified) VALUES (50, 'A&amp;B &lt;1&gt;', '', '', '', '', '', '', "_s
        u"'', 0, 0, 0, NOW(), NOW());"_s);
    e.carpeta.escribir(u"fotos/"_s + clave + u".jpg"_s, "signos");
    ASSERT_EQ(e.enviar().imagenesFallidas, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, image FROM oc_product_image"_s),
              QStringList{u"50|catalog/A&B <1>.jpg"_s})
        << "picture names are never encoded";
    EXPECT_EQ(enServidor(clave + u".jpg"_s), "signos");

    // Stored as it comes: the key is looked up as it comes.
    e.ajustar(u"Codificar texto como la tienda"_s, u"0"_s);
    e.tienda.ejecutar(u"DELETE FROM oc_product_image;"_s);
    e.ventana.imagenes = true;
    ASSERT_EQ(e.enviar().imagenesFallidas, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT p.model FROM oc_product_image i JOIN oc_product p USING "_s
                             u"(product_id)"_s),
              QStringList{clave});
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

// On a transactional shop the run's session does not commit by itself: the recording commits what
// it wrote, and a product the shop refuses leaves nothing of it while the others are recorded.
TEST_F(Imagenes, TiendaTransaccionalRegistraYAislaElProductoQueFalla) {
    e.tienda.ejecutar(u"ALTER TABLE oc_product ENGINE=InnoDB;"_s
                      u"ALTER TABLE oc_product_description ENGINE=InnoDB;"_s
                      u"ALTER TABLE oc_product_image ENGINE=InnoDB;"_s);
    ASSERT_TRUE(e.tienda.conexion().Execute(
        u"CREATE TRIGGER rechaza BEFORE INSERT ON oc_product_image FOR EACH ROW IF "
        u"NEW.product_id = 3 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'imagen rechazada'; "
        u"END IF"_s));
    for (const char16_t* n : {u"P01.jpg", u"P02.jpg", u"P03.jpg", u"P04.jpg"})
        foto(QString::fromUtf16(n), 10);
    for (const char16_t* modo : {u"por lotes", u"por producto"}) {
        SCOPED_TRACE(QString::fromUtf16(modo).toStdString());
        e.ajustar(u"Modo de envío"_s, QString::fromUtf16(modo));
        e.tienda.ejecutar(u"DELETE FROM oc_product_image; UPDATE oc_product SET image = '';"_s);
        e.ventana.imagenes = true;
        CapturaBitacora bitacora;
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.imagenesFallidas, 1);
        EXPECT_EQ(lineasCon(bitacora, u"no registradas en la tienda"_s), 1);
        EXPECT_EQ(lineasCon(bitacora, u"«P03» no registradas en la tienda"_s), 1);
        // Another session sees only what was committed.
        EXPECT_EQ(e.tienda.filas(u"SELECT p.model, p.image, i.image FROM oc_product p LEFT JOIN "
                                 u"oc_product_image i USING (product_id) ORDER BY 1"_s),
                  (QStringList{u"P01|catalog/P01.jpg|catalog/P01.jpg"_s,
                               u"P02|catalog/P02.jpg|catalog/P02.jpg"_s, u"P03||NULL"_s,
                               u"P04|catalog/P04.jpg|catalog/P04.jpg"_s}));
    }
}
