// The catalogue a send keeps around the products: categories made from the point of sale's lines,
// brands as manufacturers, search-friendly keywords, products that leave the point of sale, and the
// record that tells Vendaro's work from the owner's.
#include "escenario.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QStringList Modos{u"por lotes"_s, u"por producto"_s};
const QStringList TablasCatalogo{
    u"oc_category"_s,          u"oc_category_description"_s,  u"oc_category_path"_s,
    u"oc_category_to_store"_s, u"oc_category_to_layout"_s,    u"oc_product_to_category"_s,
    u"oc_manufacturer"_s,      u"oc_manufacturer_to_store"_s, u"oc_seo_url"_s,
    u"oc_product"_s,           u"oc_product_option_value"_s};

// Lines, sub-lines (one name under two lines), brands, and products with and without them.
void puntoDeVenta(Escenario& e) {
    e.pos.ejecutar(
        u"INSERT INTO lineas VALUES (1, 'Camisas'), (2, 'Pantalones'), (3, 'Zapatos & "
        u"Más');"
        u"INSERT INTO sublineas VALUES (1, 'Hombre'), (2, 'Mujer');"
        u"INSERT INTO marcas VALUES (1, 'Tom & Jerry'), (2, 'Acme');"
        u"INSERT INTO productos (Clave, Descrip, Precio, Existencia, linea, sublinea, "
        u"marca) VALUES ('P01', 'Camisa roja', 1, 5, 1, 1, 1), ('P02', 'Camisa azul', 2, "
        u"5, 1, 2, 2), ('P03', 'Pantalón', 3, 5, 2, 1, NULL), ('P04', 'Sin línea', 4, 5, "
        u"0, 1, 1), ('P05', 'Línea perdida', 5, 5, 99, NULL, 9), ('P06', 'Bota', 6, 5, "
        u"3, NULL, 2);"_s);
}

void ajustes(Escenario& e, const QString& modo) {
    e.ajustar(u"Modo de envío"_s, modo);
    e.ajustar(u"Categorías"_s, u"línea y sublínea"_s);
    e.ajustar(u"Marcas como fabricantes"_s, u"1"_s);
    e.mapeoBasico();
    e.mapear(u"Existencia"_s, u"quantity"_s);
    e.defectos(u"oc_product"_s, "status = 1\nstock_status_id = 7\n");
}

// The owner's: a top-level category "Pantalones" and a manufacturer "Acme".
void tiendaDelDueno(Escenario& e) {
    e.tienda.ejecutar(
        u"INSERT INTO oc_category (category_id, parent_id, top, `column`, status, date_added, "
        u"date_modified) VALUES (40, 0, 1, 1, 1, NOW(), NOW());"
        u"INSERT INTO oc_category_description VALUES (40, 1, 'Pantalones', '', 'Pantalones', '', "
        u"'');"
        u"INSERT INTO oc_category_path VALUES (40, 40, 0);"
        u"INSERT INTO oc_category_to_store VALUES (40, 0);"
        u"INSERT INTO oc_manufacturer (manufacturer_id, name, sort_order) VALUES (8, 'Acme', 0);"
        u"INSERT INTO oc_manufacturer_to_store VALUES (8, 0);"_s);
}

// The closure table as OpenCart's own "Rebuild" computes it from the parents alone.
QStringList caminosReconstruidos(Escenario& e) {
    QMap<qint64, qint64> padres;
    for (const QString& f : e.tienda.filas(u"SELECT category_id, parent_id FROM oc_category"_s))
        padres.insert(f.section(u'|', 0, 0).toLongLong(), f.section(u'|', 1, 1).toLongLong());
    QStringList filas;
    for (auto it = padres.cbegin(); it != padres.cend(); ++it) {
        QList<qint64> camino{it.key()};
        for (qint64 p = it.value(); p != 0; p = padres.value(p))
            camino.prepend(p);
        for (qsizetype nivel = 0; nivel < camino.size(); ++nivel)
            filas.append(u"%1|%2|%3"_s.arg(it.key()).arg(camino[nivel]).arg(nivel));
    }
    filas.sort();
    return filas;
}

QStringList categoriasDe(Escenario& e, const QString& clave) {
    return e.tienda.filas(u"SELECT d.name FROM oc_product_to_category pc JOIN oc_product p USING "
                          u"(product_id) JOIN oc_category_description d ON d.category_id = "
                          u"pc.category_id AND d.language_id = 1 WHERE p.model = '"_s +
                          clave + u"' ORDER BY pc.category_id"_s);
}

// The rows, with the moments the two runs made them masked.
QString sinFechas(const QStringList& filas) {
    static const QRegularExpression fecha(u"\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}"_s);
    return filas.join(u'\n').replace(fecha, u"(fecha)"_s);
}

// Counts the rows the shop sees inserted, updated or deleted in the catalogue's tables.
void contarEscrituras(Escenario& e) {
    e.tienda.ejecutar(u"CREATE TABLE escrituras (n INT NOT NULL); INSERT INTO escrituras VALUES "
                      u"(0);"_s);
    for (const QString& t : TablasCatalogo)
        for (const char16_t* evento : {u"INSERT", u"UPDATE", u"DELETE"})
            ASSERT_TRUE(e.tienda.conexion().Execute(
                u"CREATE TRIGGER cuenta_%1_%2 AFTER %2 ON %1 FOR EACH ROW UPDATE escrituras SET "
                u"n = n + 1"_s.arg(t, QString::fromUtf16(evento))));
}
} // namespace

TEST(Catalogo, CategoriasDeLineasYFabricantesDeMarcas) {
    QStringList finales;
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        puntoDeVenta(e);
        ajustes(e, modo);
        tiendaDelDueno(e);
        const ResumenEnvio r = e.enviar();
        ASSERT_TRUE(r.completo()) << qPrintable(r.mensaje);
        EXPECT_EQ(r.categoriasCreadas, 5);
        EXPECT_EQ(r.fabricantesCreados, 1);

        // Made as the admin's form makes them: shown, top-level ones in the menu, a description
        // per language with its meta title, the store and the default layout.
        EXPECT_EQ(e.tienda.filas(u"SELECT c.category_id = 40, d.name, COALESCE(pd.name, '-'), "
                                 u"c.top, c.`column`, c.status, d.meta_title = d.name FROM "
                                 u"oc_category c JOIN oc_category_description d ON d.category_id = "
                                 u"c.category_id AND d.language_id = 1 LEFT JOIN "
                                 u"oc_category_description pd ON pd.category_id = c.parent_id AND "
                                 u"pd.language_id = 1 ORDER BY 3, 2"_s),
                  (QStringList{u"0|Camisas|-|1|1|1|1"_s, u"1|Pantalones|-|1|1|1|1"_s,
                               u"0|Zapatos &amp; Más|-|1|1|1|1"_s, u"0|Hombre|Camisas|0|1|1|1"_s,
                               u"0|Mujer|Camisas|0|1|1|1"_s, u"0|Hombre|Pantalones|0|1|1|1"_s}));
        EXPECT_EQ(
            e.tienda.filas(u"SELECT category_id, path_id, level FROM oc_category_path"_s).size(),
            caminosReconstruidos(e).size());
        QStringList caminos =
            e.tienda.filas(u"SELECT category_id, path_id, level FROM oc_category_path"_s);
        caminos.sort();
        EXPECT_EQ(caminos, caminosReconstruidos(e));
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), COUNT(DISTINCT language_id) FROM "
                                 u"oc_category_description WHERE category_id <> 40"_s),
                  QStringList{u"10|2"_s});
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_category c JOIN oc_category_to_store s "
                                 u"USING (category_id) JOIN oc_category_to_layout l USING "
                                 u"(category_id) WHERE c.category_id <> 40 AND s.store_id = 0 AND "
                                 u"l.layout_id = 0"_s),
                  QStringList{u"5"_s});

        // A product in its line and, below it, its sub-line; none without a line.
        EXPECT_EQ(categoriasDe(e, u"P01"_s), (QStringList{u"Camisas"_s, u"Hombre"_s}));
        EXPECT_EQ(categoriasDe(e, u"P03"_s), (QStringList{u"Pantalones"_s, u"Hombre"_s}));
        EXPECT_EQ(categoriasDe(e, u"P06"_s), QStringList{u"Zapatos &amp; Más"_s});
        EXPECT_TRUE(categoriasDe(e, u"P04"_s).isEmpty());
        EXPECT_TRUE(categoriasDe(e, u"P05"_s).isEmpty());

        EXPECT_EQ(e.tienda.filas(u"SELECT p.model, COALESCE(m.name, '-') FROM oc_product p LEFT "
                                 u"JOIN oc_manufacturer m USING (manufacturer_id) ORDER BY 1"_s),
                  (QStringList{u"P01|Tom &amp; Jerry"_s, u"P02|Acme"_s, u"P03|-"_s,
                               u"P04|Tom &amp; Jerry"_s, u"P05|-"_s, u"P06|Acme"_s}));
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_manufacturer_to_store"_s),
                  QStringList{u"2"_s});

        // A second send with nothing changed writes nothing.
        contarEscrituras(e);
        EXPECT_EQ(e.enviar().sinCambios, 6);
        EXPECT_EQ(e.tienda.filas(u"SELECT n FROM escrituras"_s), QStringList{u"0"_s});
        e.tienda.ejecutar(u"DROP TABLE escrituras;"_s);
        for (const QString& t : TablasCatalogo)
            for (const char16_t* evento : {u"INSERT", u"UPDATE", u"DELETE"})
                e.tienda.ejecutar(
                    u"DROP TRIGGER cuenta_%1_%2;"_s.arg(t, QString::fromUtf16(evento)));

        // The owner renames a category Vendaro made, links P02 by hand to his own category and
        // chooses P06's manufacturer; then P01 and P02 change line, P06 brand, in the point of
        // sale.
        e.tienda.ejecutar(u"UPDATE oc_category_description d JOIN oc_category c USING "
                          u"(category_id) SET d.name = 'Camisetas' WHERE d.name = 'Camisas';"
                          u"INSERT INTO oc_product_to_category SELECT product_id, 40 FROM "
                          u"oc_product WHERE model = 'P02';"
                          u"UPDATE oc_product SET manufacturer_id = 77 WHERE model = 'P06';"_s);
        e.pos.ejecutar(u"UPDATE productos SET linea = 3, sublinea = NULL WHERE Clave = 'P01';"
                       u"UPDATE productos SET linea = 3 WHERE Clave = 'P02';"
                       u"UPDATE productos SET marca = 1 WHERE Clave = 'P06';"_s);
        CapturaBitacora bitacora;
        const ResumenEnvio r2 = e.enviar();
        EXPECT_TRUE(r2.completo()) << qPrintable(r2.mensaje);
        EXPECT_EQ(r2.categoriasCreadas, 1) << "Mujer below Zapatos & Más";
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_category_description WHERE language_id "
                                 u"= 1 AND name IN ('Camisas', 'Camisetas')"_s),
                  QStringList{u"1"_s})
            << "a renamed category is found, not made again";
        EXPECT_EQ(categoriasDe(e, u"P01"_s), QStringList{u"Zapatos &amp; Más"_s});
        EXPECT_EQ(categoriasDe(e, u"P02"_s),
                  (QStringList{u"Pantalones"_s, u"Zapatos &amp; Más"_s, u"Mujer"_s}))
            << "the owner's link stays";
        EXPECT_EQ(e.tienda.filas(u"SELECT manufacturer_id FROM oc_product WHERE model = 'P06'"_s),
                  QStringList{u"77"_s});
        EXPECT_TRUE(
            bitacora.contiene(u"Producto «P06»: su fabricante (77) se cambió en la tienda"_s));
        finales.append(sinFechas(e.volcado(TablasCatalogo)));
    }
    EXPECT_EQ(finales[0], finales[1]);
}

// Keywords for what has none, from its name: unique in the store across every language and kind,
// never rewritten, also when the name changes.
TEST(Catalogo, DireccionesSeoUnicasYQueNoCambian) {
    QStringList finales;
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.ajustar(u"Categorías"_s, u"línea"_s);
        e.ajustar(u"Direcciones SEO"_s, u"1"_s);
        e.mapeoBasico();
        e.pos.ejecutar(u"INSERT INTO lineas VALUES (1, 'Ropa de Niño');"
                       u"INSERT INTO productos (Clave, Descrip, Precio, linea) VALUES "
                       u"('P01', 'Camisa Roja', 1, 1), ('P02', 'Camisa Roja', 2, 1), "
                       u"('P03', '¡¡¡!!!', 3, 1), ('P04', 'Ñandú & Açaí «Über»', 4, NULL), "
                       u"('P05', '"_s +
                       QString(40, u'x') + u' ' + QString(40, u'y') + u"', 5, NULL);"_s);
        // The owner's keyword of another kind, and one of an earlier product.
        e.tienda.ejecutar(u"INSERT INTO oc_seo_url (store_id, language_id, query, keyword) VALUES "
                          u"(0, 1, 'information_id=4', 'camisa-roja');"_s);
        ASSERT_TRUE(e.enviar().completo());
        const QString palabras = u"SELECT s.language_id, s.keyword FROM oc_seo_url s JOIN "
                                 u"oc_product p ON s.query = CONCAT('product_id=', p.product_id) "
                                 u"WHERE p.model = '%1' ORDER BY 1"_s;
        EXPECT_EQ(e.tienda.filas(palabras.arg(u"P01"_s)),
                  (QStringList{u"1|camisa-roja-p01"_s, u"3|camisa-roja-2"_s}));
        EXPECT_EQ(e.tienda.filas(palabras.arg(u"P02"_s)),
                  (QStringList{u"1|camisa-roja-p02"_s, u"3|camisa-roja-3"_s}));
        EXPECT_EQ(e.tienda.filas(palabras.arg(u"P03"_s)), (QStringList{u"1|p03"_s, u"3|p03-2"_s}))
            << "a name that is all punctuation takes the key";
        EXPECT_EQ(e.tienda.filas(palabras.arg(u"P04"_s)).value(0), u"1|nandu-acai-uber"_s);
        const QString larga = e.tienda.filas(palabras.arg(u"P05"_s)).value(0).mid(2);
        EXPECT_EQ(larga, QString(40, u'x')) << "at most 64 characters, cut at a word";
        EXPECT_EQ(e.tienda.filas(u"SELECT keyword FROM oc_seo_url WHERE query LIKE 'category_id=%' "
                                 u"ORDER BY language_id"_s),
                  (QStringList{u"ropa-de-nino"_s, u"ropa-de-nino-2"_s}));
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), COUNT(DISTINCT store_id, keyword) FROM "
                                 u"oc_seo_url"_s),
                  QStringList{u"13|13"_s});

        // A new name keeps the keyword.
        e.pos.ejecutar(u"UPDATE productos SET Descrip = 'Camisa Verde' WHERE Clave = 'P01';"_s);
        e.enviar();
        EXPECT_EQ(e.tienda.filas(palabras.arg(u"P01"_s)),
                  (QStringList{u"1|camisa-roja-p01"_s, u"3|camisa-roja-2"_s}));
        finales.append(e.volcado({u"oc_seo_url"_s}).join(u'\n'));
    }
    EXPECT_EQ(finales[0], finales[1]);
}

// Products Vendaro made that the point of sale no longer has are taken out of sale, and put back
// when they return; the owner's products are never touched, and a point of sale that reads empty,
// or a large share gone at once, touches none.
TEST(Catalogo, ProductosQueYaNoEstan) {
    for (const QString& modo : Modos) {
        for (const QString& baja : {u"sin existencias"_s, u"desactivar"_s}) {
            SCOPED_TRACE(qPrintable(modo + u", "_s + baja));
            Escenario e;
            e.ajustar(u"Modo de envío"_s, modo);
            e.ajustar(u"Productos que ya no están"_s, baja);
            e.ajustar(u"Límite de bajas"_s, u"25 %"_s);
            e.mapeoBasico();
            e.defectos(u"oc_product"_s, "status = 1\nstock_status_id = 7\nquantity = 8\n");
            e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"_s);
            e.productos(8);
            e.pos.ejecutar(u"INSERT INTO existenciaexterna VALUES ('P03', 'M', 4);"_s);
            // The owner's own product, absent from the point of sale.
            e.tienda.ejecutar(u"SET SESSION sql_mode = ''; INSERT INTO oc_product (product_id, "
                              u"model, quantity, status, stock_status_id) VALUES (90, 'PROPIO', 3, "
                              u"1, 7);"_s);
            ASSERT_TRUE(e.enviar().completo());
            const QString estado =
                u"SELECT quantity, status, stock_status_id FROM oc_product WHERE model = '%1'"_s;

            e.pos.ejecutar(u"DELETE FROM productos WHERE Clave IN ('P03', 'P05');"_s);
            ResumenEnvio r = e.enviar();
            EXPECT_TRUE(r.completo()) << qPrintable(r.mensaje + r.bajasDetenidas);
            EXPECT_EQ(r.bajas, 2);
            if (baja == u"sin existencias"_s) {
                EXPECT_EQ(e.tienda.filas(estado.arg(u"P03"_s)), QStringList{u"0|1|5"_s})
                    << "the shop's \"Out Of Stock\"";
                EXPECT_EQ(e.tienda.filas(u"SELECT v.quantity FROM oc_product_option_value v JOIN "
                                         u"oc_product p USING (product_id) WHERE p.model = "
                                         u"'P03'"_s),
                          QStringList{u"0"_s});
            } else {
                EXPECT_EQ(e.tienda.filas(estado.arg(u"P03"_s)), QStringList{u"8|0|7"_s});
            }
            EXPECT_EQ(e.tienda.filas(estado.arg(u"PROPIO"_s)), QStringList{u"3|1|7"_s});
            EXPECT_EQ(e.enviar().bajas, 0) << "once";

            // Back in the point of sale: back on sale.
            e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ('P03', "
                           u"'Producto 3', 3.50);"_s);
            r = e.enviar();
            EXPECT_EQ(r.vuelven, 1);
            EXPECT_EQ(e.tienda.filas(estado.arg(u"P03"_s)), QStringList{u"8|1|7"_s});
            EXPECT_EQ(e.tienda.filas(u"SELECT v.quantity FROM oc_product_option_value v JOIN "
                                     u"oc_product p USING (product_id) WHERE p.model = 'P03'"_s),
                      QStringList{u"4"_s});

            // More than the limit at once (3 of 8), and a point of sale that reads empty.
            e.pos.ejecutar(u"DELETE FROM productos WHERE Clave IN ('P01', 'P02', 'P04');"_s);
            r = e.enviar();
            EXPECT_EQ(r.bajas, 0);
            EXPECT_TRUE(r.bajasDetenidas.contains(u"3 de los 8 productos"_s))
                << qPrintable(r.bajasDetenidas);
            EXPECT_FALSE(r.completo());
            EXPECT_EQ(e.tienda.filas(estado.arg(u"P01"_s)), QStringList{u"8|1|7"_s});
            e.pos.ejecutar(u"DELETE FROM productos;"_s);
            r = e.enviar();
            EXPECT_EQ(r.bajas, 0);
            EXPECT_TRUE(r.bajasDetenidas.startsWith(u"El punto de venta no tiene productos"_s));
            // A test run reads a part of the catalogue only: it takes nothing out of sale.
            e.ajustar(u"Límite de bajas"_s, u"100"_s);
            EXPECT_EQ(e.enviar(true).bajas, 0);
        }
    }
}

// Without the right to make the record's table, the send goes on without the features needing it,
// and says so.
TEST(Catalogo, SinRegistroSinLoQueLoNecesita) {
    Escenario e;
    e.ajustar(u"Categorías"_s, u"línea"_s);
    e.mapeoBasico();
    e.pos.ejecutar(u"INSERT INTO lineas VALUES (1, 'Camisas');"
                   u"INSERT INTO productos (Clave, Descrip, Precio, linea) VALUES ('P01', 'x', 1, "
                   u"1);"_s);
    const QString usuario = u"sincrear_"_s + e.tienda.nombre().right(6);
    e.tienda.ejecutar(u"CREATE USER '"_s + usuario +
                      u"'@'%' IDENTIFIED BY 'p'; GRANT SELECT, "
                      u"INSERT, UPDATE, DELETE ON `"_s +
                      e.tienda.nombre() + u"`.* TO '"_s + usuario + u"'@'%';"_s);
    e.ajustar(u"Usuario WEB"_s, usuario);
    e.ajustar(u"Contraseña WEB"_s, u"p"_s);
    const ResumenEnvio r = e.enviar();
    e.tienda.ejecutar(u"DROP USER '"_s + usuario + u"'@'%';"_s);
    EXPECT_EQ(r.creados, 1);
    ASSERT_EQ(r.avisosEnvio.size(), 1);
    EXPECT_TRUE(
        r.avisosEnvio.first().startsWith(u"No se pudo crear la tabla «oc_vendaro_registro»"_s))
        << qPrintable(r.avisosEnvio.first());
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_category"_s), QStringList{u"0"_s});
}

// An account that may read the record's table but not write it: every send tries it again (the
// state of a send that could not use it proves nothing), goes on without the features needing it
// and says so, and no block fails on the record.
TEST(Catalogo, RegistroSinDerechoDeEscrituraSePruebaEnCadaEnvio) {
    Escenario e;
    e.ajustar(u"Modo de envío"_s, u"por lotes"_s);
    e.ajustar(u"Categorías"_s, u"línea"_s);
    e.mapeoBasico();
    e.pos.ejecutar(u"INSERT INTO lineas VALUES (1, 'Camisas');"
                   u"INSERT INTO productos (Clave, Descrip, Precio, linea) VALUES ('P01', 'x', 1, "
                   u"1);"_s);
    ASSERT_TRUE(e.enviar().completo());
    const QString usuario = u"sinregistro_"_s + e.tienda.nombre().right(6);
    QString derechos = u"CREATE USER '"_s + usuario + u"'@'%' IDENTIFIED BY 'p';"_s;
    for (const QString& t : e.tienda.filas(u"SELECT TABLE_NAME FROM information_schema.TABLES "
                                           u"WHERE TABLE_SCHEMA = DATABASE()"_s))
        derechos += u"GRANT SELECT"_s +
                    (t == u"oc_vendaro_registro"_s ? QString() : u", INSERT, UPDATE, DELETE"_s) +
                    u" ON `"_s + e.tienda.nombre() + u"`.`"_s + t + u"` TO '"_s + usuario +
                    u"'@'%';"_s;
    e.tienda.ejecutar(derechos);
    e.ajustar(u"Usuario WEB"_s, usuario);
    e.ajustar(u"Contraseña WEB"_s, u"p"_s);
    for (const QString& clave : {u"P02"_s, u"P03"_s}) {
        SCOPED_TRACE(qPrintable(clave));
        e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio, linea) VALUES ('"_s +
                       clave + u"', 'x', 1, 1);"_s);
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.creados, 1);
        EXPECT_EQ(r.fallidos, 0);
        ASSERT_EQ(r.avisosEnvio.size(), 1);
        EXPECT_TRUE(r.avisosEnvio.first().startsWith(
            u"El usuario de la tienda no puede escribir en «oc_vendaro_registro»"_s))
            << qPrintable(r.avisosEnvio.first());
    }
    e.tienda.ejecutar(u"DROP USER '"_s + usuario + u"'@'%';"_s);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"3"_s});
}

// An OpenCart 4.1 shop: columns that moved out of the product table, text columns that take NULL
// (its pages break on NULL), keywords as key and value with a sub-category's under its parent's,
// categories without the menu column.
TEST(Catalogo, TiendaOpenCart4) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e(u"tienda_esquema_oc41.sql"_s);
        e.ajustar(u"Modo de envío"_s, modo);
        e.ajustar(u"Categorías"_s, u"línea y sublínea"_s);
        e.ajustar(u"Marcas como fabricantes"_s, u"1"_s);
        e.ajustar(u"Direcciones SEO"_s, u"1"_s);
        e.mapeoBasico();
        // A defaults file written for 3.0: "sku" is no column of 4.1's product table.
        e.defectos(u"oc_product"_s, "status = 1\nsku = X\n");
        e.pos.ejecutar(u"INSERT INTO lineas VALUES (1, 'Camisas');"
                       u"INSERT INTO sublineas VALUES (1, 'Hombre');"
                       u"INSERT INTO marcas VALUES (1, 'Acme');"
                       u"INSERT INTO productos (Clave, Descrip, Precio, linea, sublinea, marca) "
                       u"VALUES ('P01', 'Camisa', 1, 1, 1, 1);"_s);
        CapturaBitacora bitacora;
        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(r.completo()) << qPrintable(
            r.mensaje + r.texto() + u' ' +
            (r.productosFallidos.isEmpty() ? QString() : r.productosFallidos.first().mensaje));
        EXPECT_TRUE(bitacora.contiene(u"la tabla «oc_product» no tiene la columna «sku»"_s))
            << qPrintable(bitacora.lineas().join(u'\n'));
        EXPECT_EQ(
            e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_description WHERE description IS "
                           u"NULL OR tag IS NULL OR meta_title IS NULL OR meta_description IS "
                           u"NULL OR meta_keyword IS NULL"_s),
            QStringList{u"0"_s});
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product WHERE location IS NULL OR "
                                 u"variant IS NULL OR override IS NULL"_s),
                  QStringList{u"0"_s});
        EXPECT_EQ(e.tienda.filas(u"SELECT status, parent_id = 0 FROM oc_category ORDER BY "
                                 u"category_id"_s),
                  (QStringList{u"1|1"_s, u"1|0"_s}));
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_category_to_layout"_s),
                  QStringList{u"0"_s})
            << "4.1's admin stores no row for the default layout";
        EXPECT_EQ(e.tienda.filas(u"SELECT s.`key`, s.`value` = p.product_id, s.keyword, "
                                 u"s.sort_order FROM oc_seo_url s JOIN oc_product p WHERE s.`key` "
                                 u"= 'product_id' AND s.language_id = 1"_s),
                  QStringList{u"product_id|1|camisa|0"_s});
        const QStringList caminos = e.tienda.filas(
            u"SELECT s.`value`, s.keyword FROM oc_seo_url s WHERE s.`key` = 'path' AND "
            u"s.language_id = 1 ORDER BY LENGTH(s.`value`)"_s);
        ASSERT_EQ(caminos.size(), 2);
        const QString linea = caminos[0].section(u'|', 0, 0);
        EXPECT_EQ(caminos[0].section(u'|', 1), u"camisas"_s);
        EXPECT_TRUE(caminos[1].startsWith(linea + u'_')) << qPrintable(caminos[1]);
        EXPECT_EQ(caminos[1].section(u'|', 1), u"camisas/hombre"_s);
        EXPECT_EQ(e.tienda.filas(u"SELECT `key`, keyword FROM oc_seo_url WHERE `key` = "
                                 u"'manufacturer_id' AND language_id = 1"_s),
                  QStringList{u"manufacturer_id|acme"_s});
        EXPECT_EQ(e.enviar().sinCambios, 1);
    }
}

// A send that changed products deletes the shop's cached product lists over FTP, when the cache
// folder is set; the other cache files stay, and a send without changes deletes nothing.
TEST(Catalogo, CacheDeLaTiendaPorFtp) {
    Escenario e;
    e.mapeoBasico();
    e.productos(2);
    const QString carpeta = u"cache-"_s + QFileInfo(e.carpeta.raiz()).fileName();
    const QDir cache(entorno::ftpRaiz() + u'/' + carpeta);
    QDir().mkpath(cache.path());
    auto archivo = [&](const QString& nombre) {
        QFile f(cache.filePath(nombre));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{}");
    };
    e.ajustar(u"Dirección del FTP"_s,
              entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()));
    e.ajustar(u"Usuario del FTP"_s, entorno::ftpUsuario());
    e.ajustar(u"Password del FTP"_s, entorno::ftpContrasena());
    ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.cacheBorrada, -1) << "no folder set: the summary says the lists catch up";
    EXPECT_TRUE(r.texto().contains(u"se ponen al día en una hora"_s));

    e.ajustar(u"Carpeta de caché de la tienda"_s, carpeta);
    for (const char16_t* n : {u"cache.product.1a.1796831870", u"cache.product.2b.1796831870",
                              u"cache.language.3c.1796831861", u"cache.manufacturer.4d.1"})
        archivo(QString::fromUtf16(n));
    EXPECT_EQ(e.enviar().cacheBorrada, 0) << "nothing changed, nothing deleted";
    e.pos.ejecutar(u"UPDATE productos SET Precio = 9 WHERE Clave = 'P01';"_s);
    r = e.enviar();
    EXPECT_EQ(r.cacheBorrada, 2);
    EXPECT_EQ(cache.entryList(QDir::Files, QDir::Name),
              (QStringList{u"cache.language.3c.1796831861"_s, u"cache.manufacturer.4d.1"_s}));
}
