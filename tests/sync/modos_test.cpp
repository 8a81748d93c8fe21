// The batched and the per-product runs decide with the same code: for the same point-of-sale and
// shop data they must leave the shop identical, and the batched run writes only what changed.
#include "escenario.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList volcado(Escenario& e) {
    return e.volcado();
}

// A catalogue with the awkward cases: quotes and markup, NULLs, related names, two language rows,
// sizes, and shop rows of an earlier run whose keys differ only in case or trailing blanks.
void catalogo(Escenario& e, const QString& modo) {
    e.ajustar(u"Modo de envío"_s, modo);
    e.mapear(u"Clave"_s, u"model"_s);
    e.mapear(u"Precio"_s, u"price"_s);
    e.mapear(u"Existencia"_s, u"quantity"_s);
    e.mapear(u"CodigoBarras"_s, u"ean"_s);
    e.mapear(u"Peso"_s, u"weight"_s);
    e.mapear(u"Alta"_s, u"date_available"_s);
    e.mapear(u"Descrip"_s, u"name"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1,language_id=2"_s);
    e.mapear(u"marca"_s, u"tag"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1"_s);
    e.defectos(u"oc_product"_s, "status = 1\nstock_status_id = 7\ndate_added = 2026-01-02\n");
    e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"_s);
    e.pos.ejecutar(u"INSERT INTO marcas VALUES (1, 'Tom & Jerry'), (2, '<i>Acme</i>');"_s);
    QStringList filas;
    for (int i = 1; i <= 45; ++i) {
        const QString clave = u"K%1"_s.arg(i, 3, 10, QChar(u'0'));
        filas.append(u"('%1', %2, %3.25, %4, %5, %6, %7, %8)"_s.arg(
            clave,
            i % 7 == 0 ? u"NULL"_s
                       : u"'Artículo %1 \"%2\" & <b>co</b> d''Ávila'"_s.arg(i).arg(i * 3),
            QString::number(i), QString::number(i % 5),
            i % 4 == 0 ? u"NULL"_s : u"'750%1'"_s.arg(i),
            i % 3 == 0 ? u"NULL"_s : u"%1.125"_s.arg(i),
            i % 6 == 0 ? u"NULL"_s : u"'2026-0%1-15'"_s.arg(i % 9 + 1),
            i % 2 == 0 ? u"1"_s : u"2"_s));
        for (int t = 0; t < i % 4; ++t)
            e.pos.ejecutar(u"INSERT INTO existenciaexterna VALUES ('%1', '%2', %3);"_s.arg(
                clave, QStringList{u"CH"_s, u"M"_s, u"G & XG"_s}[t], QString::number(i + t)));
    }
    e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio, Existencia, CodigoBarras, "
                   u"Peso, Alta, marca) VALUES "_s +
                   filas.join(u',') + u';');
    e.tienda.ejecutar(u"SET SESSION sql_mode = '';"_s);
    e.tienda.ejecutar(
        u"INSERT INTO oc_product (product_id, model, price, status, date_added, date_modified) "
        u"VALUES (100, 'k003', 1, 1, '2025-01-01', '2025-01-01'), (101, 'K005 ', 5.25, 1, "
        u"'2025-01-01', '2025-01-01');"_s);
}

void cambios(Escenario& e) {
    e.pos.ejecutar(u"UPDATE productos SET Precio = Precio * 2 WHERE Clave IN ('K002', 'K010');"_s);
    e.pos.ejecutar(u"UPDATE productos SET Descrip = 'Otro \"nombre\"' WHERE Clave = 'K011';"_s);
    e.pos.ejecutar(u"UPDATE productos SET Descrip = NULL, CodigoBarras = NULL WHERE Clave = "
                   u"'K012';"_s);
    e.pos.ejecutar(u"DELETE FROM productos WHERE Clave = 'K020';"_s);
    e.pos.ejecutar(
        u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ('K100', 'Nuevo', 1);"_s);
    e.pos.ejecutar(u"UPDATE existenciaexterna SET Existencia = Existencia + 3 WHERE Producto = "
                   u"'K003';"_s);
    e.pos.ejecutar(u"INSERT INTO existenciaexterna VALUES ('K004', 'XXL', 2), ('K100', 'M', 1);"_s);
}

// Counts the rows the shop sees inserted or updated, whoever writes them.
void contarEscrituras(Escenario& e) {
    e.tienda.ejecutar(u"CREATE TABLE escrituras (n INT NOT NULL); INSERT INTO escrituras VALUES "
                      u"(0);"_s);
    // Read when called: a copy made at start-up could run before escenario.cpp has filled it.
    for (const QString& t : Escenario::TablasEscritas)
        for (const char16_t* evento : {u"INSERT", u"UPDATE"})
            ASSERT_TRUE(e.tienda.conexion().Execute(
                u"CREATE TRIGGER cuenta_%1_%2 AFTER %2 ON %1 FOR EACH ROW UPDATE escrituras SET "
                u"n = n + 1"_s.arg(t, QString::fromUtf16(evento))));
}
} // namespace

TEST(ModosDeEnvio, MismoEstadoFinalYSoloLoQueCambia) {
    Escenario porProducto;
    Escenario porLotes;
    catalogo(porProducto, u"por producto"_s);
    catalogo(porLotes, u"por lotes"_s);
    contarEscrituras(porProducto);
    contarEscrituras(porLotes);

    {
        SCOPED_TRACE("first send");
        const ResumenEnvio a = porProducto.enviar();
        const ResumenEnvio b = porLotes.enviar();
        EXPECT_EQ(a.fallidos, 0);
        EXPECT_EQ(b.creados, a.creados);
        EXPECT_EQ(b.creados, 43) << "K003 and K005 find the rows of an earlier run";
        EXPECT_EQ(volcado(porLotes), volcado(porProducto));
        EXPECT_LT(b.viajesTienda * 5, a.viajesTienda) << "bulk reads and batched writes";
    }
    {
        SCOPED_TRACE("nothing changed");
        porLotes.tienda.ejecutar(u"UPDATE escrituras SET n = 0;"_s);
        const ResumenEnvio b = porLotes.enviar();
        EXPECT_EQ(b.sinCambios, 45);
        EXPECT_EQ(porLotes.tienda.filas(u"SELECT n FROM escrituras"_s), QStringList{u"0"_s});
        EXPECT_EQ(porProducto.enviar().sinCambios, 45);
        EXPECT_EQ(volcado(porLotes), volcado(porProducto));
    }
    {
        SCOPED_TRACE("changes, a new size, a removed and a new product");
        cambios(porProducto);
        cambios(porLotes);
        porLotes.tienda.ejecutar(u"UPDATE escrituras SET n = 0;"_s);
        porProducto.tienda.ejecutar(u"UPDATE escrituras SET n = 0;"_s);
        const ResumenEnvio a = porProducto.enviar();
        const ResumenEnvio b = porLotes.enviar();
        EXPECT_EQ(b.creados, 1);
        EXPECT_EQ(b.actualizados, a.actualizados);
        EXPECT_EQ(b.actualizados, 6);
        // Two prices; two names in two languages; three stock rows; a new size (its value, two
        // names, the product's option and stock row); the new product with two description rows,
        // its store link, option and stock row.
        EXPECT_EQ(porLotes.tienda.filas(u"SELECT n FROM escrituras"_s), QStringList{u"20"_s});
        EXPECT_EQ(porProducto.tienda.filas(u"SELECT n FROM escrituras"_s), QStringList{u"20"_s});
        EXPECT_EQ(volcado(porLotes), volcado(porProducto));
    }
}

TEST(ModosDeEnvio, ProductoCompletoONada) {
    for (const QString& modo : {u"por lotes"_s, u"por producto"_s}) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.mapeoBasico();
        e.defectos(u"oc_product"_s, "status = 1\n");
        e.productos(3);
        // What each insert put in the row: a crash between two statements could otherwise leave a
        // live product with the defaults only.
        e.tienda.ejecutar(u"CREATE TABLE altas (model VARCHAR(64), price DECIMAL(15,4), status "
                          u"INT);"_s);
        ASSERT_TRUE(e.tienda.conexion().Execute(
            u"CREATE TRIGGER alta AFTER INSERT ON oc_product FOR EACH ROW INSERT INTO altas "
            u"VALUES (NEW.model, NEW.price, NEW.status)"_s));
        ASSERT_EQ(e.enviar().creados, 3);
        EXPECT_EQ(e.tienda.filas(u"SELECT * FROM altas ORDER BY model"_s),
                  (QStringList{u"P01|1.5000|1"_s, u"P02|2.5000|1"_s, u"P03|3.5000|1"_s}));
    }
}

TEST(ModosDeEnvio, ValoresDeOpcionDeUnProductoDeshecho) {
    for (const QString& modo : {u"por lotes"_s, u"por producto"_s}) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        for (const char16_t* t : {u"oc_product", u"oc_product_description", u"oc_option_value",
                                  u"oc_option_value_description", u"oc_product_option",
                                  u"oc_product_option_value", u"oc_product_to_store"})
            e.tienda.ejecutar(u"ALTER TABLE "_s + QString::fromUtf16(t) + u" ENGINE=InnoDB;"_s);
        e.ajustar(u"Modo de envío"_s, modo);
        e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"_s);
        e.mapeoBasico();
        e.productos(2);
        e.pos.ejecutar(
            u"INSERT INTO existenciaexterna VALUES ('P01', 'XL', 1), ('P02', 'XL', 2);"_s);
        // The first product, the first to use the new size, is rolled back.
        ASSERT_TRUE(e.tienda.conexion().Execute(
            u"CREATE TRIGGER rechazo BEFORE INSERT ON oc_product_option_value FOR EACH ROW IF "
            u"NEW.quantity = 1 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no'; END IF"_s));
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.fallidos, 1);
        EXPECT_EQ(r.creados, 1);
        // The next product's stock row points at a value that exists, with its names.
        EXPECT_EQ(e.tienda.filas(u"SELECT p.model, d.name, v.quantity FROM oc_product_option_value "
                                 u"v JOIN oc_product p USING (product_id) JOIN oc_option_value o "
                                 u"USING (option_value_id) JOIN oc_option_value_description d ON "
                                 u"d.option_value_id = v.option_value_id AND d.language_id = 1"_s),
                  QStringList{u"P02|XL|2"_s});
        EXPECT_EQ(e.tienda.filas(u"SELECT model FROM oc_product"_s), QStringList{u"P02"_s});
    }
}
