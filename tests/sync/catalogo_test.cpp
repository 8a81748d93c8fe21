// The catalogue a send keeps around the products: categories made from the point of sale's lines,
// brands as manufacturers, search-friendly keywords, products that leave the point of sale, and the
// record that tells Vendaro's work from the owner's.
#include "escenario.h"

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
