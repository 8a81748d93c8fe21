#include "escenario.h"
#include "services/basesdd.h"
#include "sync/bloqueo_envio.h"
#include "sync/lector_productos.h"

#include <QDate>

#include <thread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(LeerDeLosCampos, ColumnasYBanderasDelPuntoDeVenta) {
    Escenario e;
    e.pos.ejecutar(
        u"DROP TABLE productos;"
        u"CREATE TABLE productos (Clave VARCHAR(20), Descrip VARCHAR(50), Precio DECIMAL(10,2));"_s);
    e.mapear(u"Clave"_s, u"model"_s);
    e.mapear(u"Precio"_s, u" price"_s);
    e.leer();
    ASSERT_EQ(e.filas.size(), 3);
    EXPECT_EQ(e.filas[1].DeVM, u"Descrip"_s);
    EXPECT_TRUE(e.filas[1].DeWeb.isEmpty());
    ASSERT_EQ(e.campos.size(), 2);
    EXPECT_EQ(e.campos[0].DeVM, u"Clave"_s);
    EXPECT_EQ(e.campos[1].DeWeb, u" price"_s);

    struct Caso {
        const char16_t* configura;
        bool tallasOColores;
        bool tallas;
    };
    const Caso casos[] = {
        {u"NULL, NULL, NULL", false, false}, {u"1, 1, 0", true, true},
        {u"1, 0, 1", true, false},           {u"1, 0, 0", false, false},
        {u"0, 1, 1", false, false},          {u"1, NULL, 1", true, false},
    };
    for (const Caso& caso : casos) {
        e.pos.ejecutar(u"DELETE FROM configura; INSERT INTO configura VALUES ("_s +
                       QString::fromUtf16(caso.configura) + u", 'C:\\\\fotos');"_s);
        e.leer();
        EXPECT_EQ(e.ajustes.UsaTallasOColores, caso.tallasOColores)
            << qPrintable(QString::fromUtf16(caso.configura));
        if (caso.tallasOColores) {
            EXPECT_EQ(e.ajustes.UsaTallas, caso.tallas);
        }
        EXPECT_EQ(e.ajustes.CarpetaImagenesProductos, u"C:\\fotos\\"_s);
    }
    e.pos.ejecutar(u"UPDATE configura SET CarpetaImgProds = '/srv/fotos';"_s);
    e.leer();
    EXPECT_EQ(e.ajustes.CarpetaImagenesProductos, u"/srv/fotos/"_s);

    // A point-of-sale database that does not open leaves the collection empty and the rest alone.
    e.c.bases->cMiBase = u"no_existe"_s;
    CapturaBitacora bitacora;
    e.leer();
    EXPECT_TRUE(e.campos.isEmpty());
    EXPECT_EQ(e.filas.size(), 3);
    EXPECT_EQ(e.ajustes.CarpetaImagenesProductos, u"/srv/fotos/"_s);
}

TEST(Envio, PrimerEnvioCreaYElSegundoActualiza) {
    Escenario e;
    e.mapeoBasico();
    e.mapear(u"Existencia"_s, u"quantity"_s);
    e.mapear(u"Alta"_s, u"date_available"_s);
    e.productos(3);
    e.pos.ejecutar(
        u"UPDATE productos SET Precio = 1234567890.1234, Existencia = 7, Alta = '2026-02-03' "
        u"WHERE Clave = 'P02';"_s);
    e.defectos(u"oc_product"_s, "status = 1\nlocation = \"Bodega\"\n"
                                "date_added = $datetime\ndate_modified=$date\nstock_status_id=5\n"
                                "stock_status_id = 7\n");
    e.defectos(u"oc_product_description"_s, "meta_title = Título\n");

    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::Terminado);
    EXPECT_EQ(r.leidos, 3);
    EXPECT_EQ(r.creados, 3);
    EXPECT_EQ(r.fallidos, 0);
    EXPECT_TRUE(r.completo());
    EXPECT_GT(r.sentencias, 0);
    EXPECT_EQ(e.ventana.inicios, 1);
    EXPECT_EQ(e.ventana.fines, 1);
    EXPECT_EQ(e.ventana.claves, (QStringList{u"P01"_s, u"P02"_s, u"P03"_s}));

    const QString hoy = QDate::currentDate().toString(u"yyyy-MM-dd"_s);
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, model, price, quantity, date_available, status, "
                             u"location, stock_status_id, LEFT(date_modified, 10) FROM oc_product "
                             u"ORDER BY product_id"_s),
              (QStringList{u"1|P01|1.5000|0|0000-00-00|1|bodega|7|"_s + hoy,
                           u"2|P02|1234567890.1234|7|2026-02-03|1|bodega|7|"_s + hoy,
                           u"3|P03|3.5000|0|0000-00-00|1|bodega|7|"_s + hoy}));
    const QString alta = e.tienda.filas(u"SELECT date_added FROM oc_product LIMIT 1"_s).value(0);
    EXPECT_TRUE(alta.startsWith(hoy)) << qPrintable(alta);
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, language_id, name, meta_title FROM "
                             u"oc_product_description ORDER BY product_id"_s),
              (QStringList{u"1|1|Producto 1|título"_s, u"2|1|Producto 2|título"_s,
                           u"3|1|Producto 3|título"_s}));

    // A changed price is updated in place; nothing is created, and the unchanged products are
    // not written at all.
    e.pos.ejecutar(
        u"UPDATE productos SET Precio = 99.99, Descrip = 'Nuevo nombre' WHERE Clave = 'P03';"_s);
    const ResumenEnvio r2 = e.enviar();
    EXPECT_EQ(r2.creados, 0);
    EXPECT_EQ(r2.actualizados, 1);
    EXPECT_EQ(r2.sinCambios, 2);
    EXPECT_TRUE(r2.completo());
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, price FROM oc_product WHERE model = 'P03'"_s),
              QStringList{u"3|99.9900"_s});
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), MAX(name) FROM oc_product_description"_s),
              QStringList{u"3|Producto 2"_s});
    EXPECT_EQ(e.tienda.filas(u"SELECT name FROM oc_product_description WHERE product_id = 3"_s),
              QStringList{u"Nuevo nombre"_s});
}

TEST(Envio, ValoresInicialesQueCambianLaLlave) {
    Escenario e;
    e.mapeoBasico();
    e.productos(1);
    // The new row is written in one statement, mapped values over defaults: a defaults file that
    // names the key column cannot give the row a key no later send finds.
    e.defectos(u"oc_product"_s, "model = otra\nlocation = bodega\n");
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 1);
    EXPECT_EQ(r.fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT model, location FROM oc_product"_s),
              QStringList{u"P01|bodega"_s});
    EXPECT_EQ(e.enviar().sinCambios, 1);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"1"_s});
}

TEST(Envio, NombresRelacionados) {
    Escenario e;
    e.mapear(u"Clave"_s, u"model"_s);
    e.mapear(u"linea"_s, u"location"_s);
    e.mapear(u"sublinea"_s, u"sku"_s);
    e.mapear(u"marca"_s, u"name"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1"_s);
    e.mapear(u"unidadmedida"_s, u"mpn"_s);
    e.pos.ejecutar(u"INSERT INTO lineas VALUES (7, 'Ropa'), (8, 'Calzado');"
                   u"INSERT INTO sublineas VALUES (3, 'Camisas');"
                   u"INSERT INTO marcas VALUES (5, 'O''Neill');"
                   u"INSERT INTO medidas VALUES (1, 'Pieza');"
                   u"INSERT INTO productos (Clave, linea, sublinea, marca, unidadmedida) VALUES "
                   u"('A', 7, 3, 5, 1), ('B', 8, 99, NULL, 1);"_s);
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT model, location, sku, mpn, name FROM oc_product JOIN "
                             u"oc_product_description USING (product_id) ORDER BY model"_s),
              (QStringList{u"A|Ropa|Camisas|Pieza|O'Neill"_s, u"B|Calzado||Pieza|"_s}));
    EXPECT_TRUE(bitacora.contiene(u"«NULL» de marcas"_s));
}

TEST(Envio, TablasExternas) {
    Escenario e;
    e.mapear(u"Clave"_s, u"model"_s);
    // Two conditions: one row per language, both with the same value.
    e.mapear(u"Descrip"_s, u"name"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1, language_id=2"_s);
    // A plain key: the product's single row.
    e.mapear(u"Precio"_s, u"category_id"_s, u"oc_product_to_category"_s, u"product_id"_s,
             u"product_id"_s);
    e.defectos(u"oc_product_description"_s, "description = nueva\n");
    e.pos.ejecutar(
        u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ('A', 'Alfa', 0), ('B', NULL, 3);"_s);
    ASSERT_EQ(e.enviar().fallidos, 0);
    EXPECT_EQ(
        e.tienda.filas(u"SELECT product_id, language_id, name, description FROM "
                       u"oc_product_description ORDER BY 1, 2"_s),
        (QStringList{u"1|1|Alfa|nueva"_s, u"1|2|Alfa|nueva"_s, u"2|1||nueva"_s, u"2|2||nueva"_s}));
    EXPECT_EQ(
        e.tienda.filas(u"SELECT product_id, category_id FROM oc_product_to_category ORDER BY 1"_s),
        (QStringList{u"1|0"_s, u"2|3"_s}));

    // Later sends update the same rows.
    e.pos.ejecutar(u"UPDATE productos SET Descrip = 'Beta', Precio = 4 WHERE Clave = 'B';"_s);
    ASSERT_EQ(e.enviar().fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_description"_s),
              QStringList{u"4"_s});
    EXPECT_EQ(e.tienda.filas(u"SELECT name FROM oc_product_description WHERE product_id = 2"_s),
              (QStringList{u"Beta"_s, u"Beta"_s}));
    EXPECT_EQ(
        e.tienda.filas(u"SELECT product_id, category_id FROM oc_product_to_category ORDER BY 1"_s),
        (QStringList{u"1|0"_s, u"2|4"_s}));
}

TEST(Envio, ValoresDificilesEnClavesYDescripciones) {
    Escenario e;
    e.mapeoBasico();
    const QStringList claves{u"O'Brien"_s, u"barra\\x"_s, u"100%"_s, u"ñandú"_s, u"a_b"_s};
    for (const QString& c : claves)
        e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip) VALUES ("_s +
                       e.pos.conexion().literal(c) + u", "_s +
                       e.pos.conexion().literal(u"Descripción de "_s + c + u" \"citada\""_s) +
                       u");"_s);
    for (int vuelta = 0; vuelta < 2; ++vuelta) {
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.fallidos, 0);
        EXPECT_EQ(r.creados, vuelta == 0 ? 5 : 0);
    }
    QStringList esperadas;
    for (const QString& c : claves)
        esperadas.append(c + u'|' + u"Descripción de "_s + c + u" &quot;citada&quot;"_s);
    std::sort(esperadas.begin(), esperadas.end());
    QStringList obtenidas = e.tienda.filas(u"SELECT model, name FROM oc_product JOIN "
                                           u"oc_product_description USING (product_id)"_s);
    std::sort(obtenidas.begin(), obtenidas.end());
    EXPECT_EQ(obtenidas, esperadas);
}

TEST(Envio, UnProductoQueFallaNoDetieneALosDemas) {
    Escenario e;
    e.mapeoBasico();
    e.productos(4);
    ASSERT_TRUE(e.tienda.conexion().Execute(
        u"CREATE TRIGGER rechazo BEFORE INSERT ON oc_product FOR EACH ROW IF NEW.model = 'P02' "
        u"THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'producto rechazado'; END IF"_s));
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 3);
    EXPECT_EQ(r.fallidos, 1);
    EXPECT_FALSE(r.completo());
    EXPECT_EQ(e.tienda.filas(u"SELECT model FROM oc_product ORDER BY model"_s),
              (QStringList{u"P01"_s, u"P03"_s, u"P04"_s}));
    EXPECT_TRUE(bitacora.contiene(u"Producto «P02» no enviado"_s));
    EXPECT_TRUE(bitacora.contiene(u"producto rechazado"_s));
}

TEST(Envio, TiendaTransaccionalDeshaceElProductoFallido) {
    Escenario e;
    for (const char16_t* t : {u"oc_product", u"oc_product_description"})
        e.tienda.ejecutar(u"ALTER TABLE "_s + QString::fromUtf16(t) + u" ENGINE=InnoDB;"_s);
    e.mapeoBasico();
    e.productos(3);
    // The product row is written, then its description fails: the whole product is undone.
    ASSERT_TRUE(e.tienda.conexion().Execute(
        u"CREATE TRIGGER rechazo BEFORE INSERT ON oc_product_description FOR EACH ROW IF "
        u"NEW.name = 'Producto 2' THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'sin "
        u"descripción'; "
        u"END IF"_s));
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 2);
    EXPECT_EQ(r.fallidos, 1);
    EXPECT_EQ(e.tienda.filas(u"SELECT model FROM oc_product ORDER BY model"_s),
              (QStringList{u"P01"_s, u"P03"_s}));
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_description"_s),
              QStringList{u"2"_s});
}

TEST(Envio, NulosDelPuntoDeVenta) {
    Escenario e;
    e.mapear(u"Clave"_s, u"model"_s);
    e.mapear(u"Costo"_s, u"image"_s);      // nullable web column: NULL
    e.mapear(u"Peso"_s, u"weight"_s);      // NOT NULL numeric: 0
    e.mapear(u"CodigoBarras"_s, u"ean"_s); // NOT NULL text: ''
    e.mapear(u"Observ"_s, u"name"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1"_s);
    e.pos.ejecutar(u"INSERT INTO productos (Clave) VALUES ('N1');"_s);
    ASSERT_EQ(e.enviar().fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT image, weight, ean, name FROM oc_product JOIN "
                             u"oc_product_description USING (product_id)"_s),
              QStringList{u"NULL|0.00000000||"_s});
}

TEST(Envio, InterrupcionLimiteDePruebaYTablaVacia) {
    {
        // One product at a time: the product shown when the user asks is written.
        Escenario e;
        e.ajustar(u"Modo de envío"_s, u"por producto"_s);
        e.mapeoBasico();
        e.productos(10);
        e.ventana.imagenes = true;
        e.ventana.alProducto = [&](qint64 n) {
            if (n == 3)
                e.interrumpir = true;
        };
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::Interrumpido);
        EXPECT_EQ(r.creados, 3) << "the product being written when asked is finished";
        EXPECT_FALSE(r.completo());
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"3"_s});
        EXPECT_FALSE(e.ventana.imagenes) << "the picture request is one-shot";
        // The next run starts with the flag cleared.
        e.ventana.alProducto = nullptr;
        EXPECT_EQ(e.enviar().creados, 7);
    }
    {
        // In blocks: the block not yet sent is dropped whole.
        Escenario e;
        e.mapeoBasico();
        e.productos(10);
        e.ventana.alProducto = [&](qint64 n) {
            if (n == 3)
                e.interrumpir = true;
        };
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::Interrumpido);
        EXPECT_EQ(r.creados, 0);
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
    }
    {
        Escenario e;
        e.mapeoBasico();
        e.productos(60);
        const ResumenEnvio r = e.enviar(true);
        EXPECT_EQ(r.leidos, 50);
        EXPECT_EQ(e.tienda.filas(u"SELECT MAX(model) FROM oc_product"_s), QStringList{u"P50"_s});
    }
    {
        Escenario e;
        e.mapeoBasico();
        e.ventana.imagenes = true;
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.leidos, 0);
        EXPECT_TRUE(r.completo());
        EXPECT_TRUE(e.ventana.claves.isEmpty());
        EXPECT_EQ(e.ventana.fines, 1);
        EXPECT_FALSE(e.ventana.imagenes);
    }
}

TEST(Envio, RelacionDeCamposInvalida) {
    struct Caso {
        std::function<void(Escenario&)> mapeo;
        QString mensaje;
    };
    const QList<Caso> casos{
        {[](Escenario&) {}, u"La lista de campos a pasar no ha sido definida"_s},
        {[](Escenario& e) { e.mapear(u"Precio"_s, u"price"_s); },
         u"El campo «Clave» no está en la lista de campos a pasar"_s},
        {[](Escenario& e) {
             e.mapear(u"Clave"_s, u"model"_s, u"oc_product_description"_s, u"product_id"_s,
                      u"product_id"_s);
             e.mapear(u"Precio"_s, u"price"_s);
         },
         u"El campo «Clave» debe pasar a la tabla de productos, no a una tabla externa"_s},
    };
    for (const Caso& caso : casos) {
        Escenario e;
        caso.mapeo(e);
        e.productos(2);
        e.ventana.imagenes = true;
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::MapeoInvalido);
        ASSERT_EQ(e.dialogos.cajas.size(), 1);
        EXPECT_EQ(e.dialogos.cajas[0].texto, caso.mensaje);
        EXPECT_EQ(e.dialogos.cajas[0].titulo, u"Alerta"_s);
        EXPECT_EQ(e.dialogos.cajas[0].botones, Botones::Critico);
        EXPECT_TRUE(e.ventana.imagenes) << "a refused run keeps the picture request";
        EXPECT_EQ(r.sentencias, 0);
    }
}

TEST(Envio, UnEnvioALaVez) {
    Escenario e;
    e.mapeoBasico();
    e.productos(2);
    BloqueoEnvio otro(e.ajustes.RutaIni);
    ASSERT_TRUE(otro.tomar());
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::EnCurso);
    EXPECT_TRUE(r.mensaje.startsWith(u"Ya hay un envío en curso"_s)) << qPrintable(r.mensaje);
    EXPECT_TRUE(bitacora.contiene(u"Ya hay un envío en curso"_s));
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
}

TEST(Envio, ConexionPerdidaSeReabreUnaVez) {
    Escenario e;
    e.mapeoBasico();
    e.productos(5);
    Conexion administrador;
    ASSERT_TRUE(administrador.abrir(entorno::mysql(), {}));
    const QString propia = e.tienda.filas(u"SELECT CONNECTION_ID()"_s).value(0);
    int muertas = 0;
    e.ventana.alProducto = [&](qint64 n) {
        if (n != 3)
            return;
        ResultadoConsulta r;
        administrador.consultar(u"SELECT ID FROM information_schema.PROCESSLIST WHERE DB = "_s +
                                    administrador.literal(e.tienda.nombre()) + u" AND ID <> "_s +
                                    propia,
                                r);
        for (const auto& fila : r.filas)
            muertas += administrador.Execute(u"KILL "_s + fila[0].texto()) ? 1 : 0;
    };
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(muertas, 1) << "the run's shop connection was cut";
    EXPECT_EQ(r.creados, 5);
    EXPECT_EQ(r.fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"5"_s});
    EXPECT_TRUE(bitacora.contiene(u"Se perdió la conexión con la tienda"_s));
}

TEST(Envio, TiendaInalcanzable) {
    Escenario e;
    e.mapeoBasico();
    e.productos(2);
    e.ajustar(u"Contraseña WEB"_s, u"equivocada"_s);
    e.ventana.imagenes = true;
    CapturaBitacora bitacora;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::SinConexion);
    EXPECT_TRUE(r.mensaje.contains(u"1045"_s)) << qPrintable(r.mensaje);
    EXPECT_EQ(e.ventana.inicios, 0);
    EXPECT_EQ(e.ventana.fines, 1);
    EXPECT_FALSE(e.ventana.imagenes);
    EXPECT_FALSE(r.completo());
}

TEST(Envio, EnUnHiloDeTrabajoSobreUnaCopia) {
    Escenario e;
    e.mapeoBasico();
    e.productos(5);
    e.leer();
    const DatosEnvio datos = clsProcedimenti(e.c, e.ajustes).datosEnvio(e.campos);
    // Settings saved after the run took its copy do not reach it.
    e.ajustar(u"Nombre de la tabla"_s, u"otra_tabla"_s);
    e.mapear(u"Precio"_s, QString());
    ResumenEnvio r;
    std::thread hilo(
        [&] { r = clsProcedimenti::EnviarProductos(datos, e.interrumpir, e.ventana); });
    hilo.join();
    EXPECT_EQ(r.creados, 5);
    EXPECT_EQ(e.tienda.filas(u"SELECT MAX(price) FROM oc_product"_s), QStringList{u"5.5000"_s});
}

// Pages split the catalogue where the key column's collation says, so keys equal under it (case,
// trailing blanks) and NULL keys are read once each, in the order of one whole read.
TEST(LectorProductos, CadaFilaUnaVezEnElOrdenDeLaColumna) {
    BaseTemporal pos(u"pos"_s);
    pos.ejecutar(u"CREATE TABLE productos (Clave VARCHAR(20) COLLATE utf8mb4_general_ci, n INT) "
                 u"CHARACTER SET utf8mb4;"_s);
    QStringList valores;
    int n = 0;
    for (const char16_t* clave : {u"b", u"B", u"b ", u"a", u"c", u"C", u"c", u"d", u"e", u"E"})
        valores.append(u"('%1', %2)"_s.arg(QString::fromUtf16(clave)).arg(++n));
    for (int i = 0; i < 4; ++i)
        valores.append(u"(NULL, %1)"_s.arg(++n));
    for (int i = 0; i < 7; ++i)
        valores.append(u"('k%1', %2)"_s.arg(i).arg(++n));
    pos.ejecutar(u"INSERT INTO productos VALUES "_s + valores.join(u',') + u';');
    const QStringList entera = pos.filas(u"SELECT Clave, n FROM productos ORDER BY Clave, n"_s);

    BasesDD bases;
    for (qsizetype porPagina : {1, 2, 3, 5, 40}) {
        SCOPED_TRACE(porPagina);
        LectorProductos lector(
            bases, pos.conexion(),
            Consulta(u"productos"_s).con({u"Clave"_s, u"n"_s}).ordenar(u"Clave"_s), porPagina);
        QStringList claves;
        QString error;
        ASSERT_TRUE(lector.leerClaves(&claves, &error)) << qPrintable(error);
        EXPECT_EQ(lector.total(), entera.size());
        QStringList leidas;
        Recordset rs;
        int paginas = 0;
        while (lector.siguiente(rs, &error)) {
            ++paginas;
            EXPECT_LE(rs.RecordCount(), porPagina + 3); // a page holds its keys' ties, no more
            for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
                leidas.append((rs.valor(0).esNulo() ? u"NULL"_s : rs.valor(0).texto()) + u'|' +
                              rs.valor(1).texto());
        }
        EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
        EXPECT_GT(paginas, porPagina < 40 ? 3 : 0);
        // Within keys equal under the collation the server may return any order.
        auto grupo = [](const QString& fila) {
            return fila.section(u'|', 0, 0).trimmed().toLower();
        };
        QStringList l = leidas, m = entera;
        l.sort();
        m.sort();
        EXPECT_EQ(l, m);
        QStringList gl, ge;
        for (const QString& f : leidas)
            gl.append(grupo(f));
        for (const QString& f : entera)
            ge.append(grupo(f));
        EXPECT_EQ(gl, ge);
    }

    // A limit of rows (the test mode) holds over the pages too.
    LectorProductos limitado(
        bases, pos.conexion(),
        Consulta(u"productos"_s).con({u"Clave"_s}).ordenar(u"Clave"_s).limitar(6), 2);
    QStringList claves;
    QString error;
    ASSERT_TRUE(limitado.leerClaves(&claves, &error));
    EXPECT_EQ(claves.size(), 6);
    qint64 filas = 0;
    Recordset rs;
    while (limitado.siguiente(rs, &error))
        filas += rs.RecordCount();
    EXPECT_EQ(filas, 6);
}
