// What a batched send keeps of the shop for the next one: products unchanged on both sides cost
// nothing, and whatever changed in the shop by hand is still found and corrected.
#include "escenario.h"
#include "sync/estado_tienda.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// Products with sizes, a description row in two languages, related names and a date.
void catalogo(Escenario& e, int cuantos) {
    e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"
                   u"INSERT INTO marcas VALUES (1, 'Acme');"_s);
    e.mapear(u"Clave"_s, u"model"_s);
    e.mapear(u"Precio"_s, u"price"_s);
    e.mapear(u"Existencia"_s, u"quantity"_s);
    e.mapear(u"Alta"_s, u"date_available"_s);
    e.mapear(u"CodigoBarras"_s, u"ean"_s);
    e.mapear(u"Descrip"_s, u"name"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1,language_id=2"_s);
    e.mapear(u"marca"_s, u"tag"_s, u"oc_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1"_s);
    e.defectos(u"oc_product"_s, "status = 1\nstock_status_id = 7\ndate_added = 2026-01-01\n");
    for (int i = 1; i <= cuantos; ++i) {
        const QString clave = u"K%1"_s.arg(i, 3, 10, QChar(u'0'));
        e.pos.ejecutar(
            u"INSERT INTO productos (Clave, Descrip, Precio, Existencia, Alta, "
            u"CodigoBarras, marca) VALUES ('%1', 'Camisa %2', %2.5, %3, %4, %5, 1);"_s.arg(clave)
                .arg(i)
                .arg(i % 7)
                .arg(i % 3 == 0 ? u"NULL"_s : u"'2026-03-0%1'"_s.arg(i % 9 + 1))
                .arg(i % 2 == 0 ? u"NULL"_s : u"''"_s));
        e.pos.ejecutar(
            u"INSERT INTO existenciaexterna VALUES ('%1', 'M', %2), ('%1', 'G', 1);"_s.arg(clave)
                .arg(i));
    }
}

void contarEscrituras(Escenario& e) {
    e.tienda.ejecutar(u"CREATE TABLE escrituras (n INT NOT NULL); INSERT INTO escrituras VALUES "
                      u"(0);"_s);
    for (const QString& t : Escenario::TablasEscritas)
        for (const char16_t* evento : {u"INSERT", u"UPDATE", u"DELETE"})
            ASSERT_TRUE(e.tienda.conexion().Execute(
                u"CREATE TRIGGER cuenta_%1_%2 AFTER %2 ON %1 FOR EACH ROW UPDATE escrituras SET "
                u"n = n + 1"_s.arg(t, QString::fromUtf16(evento))));
}

QString escrituras(Escenario& e) {
    const QString n = e.tienda.filas(u"SELECT n FROM escrituras"_s).value(0);
    e.tienda.ejecutar(u"UPDATE escrituras SET n = 0;"_s);
    return n;
}
} // namespace

// Unchanged on both sides: nothing read product by product, nothing written, whatever the size of
// the catalogue; one product changed in the point of sale: only it is written.
TEST(EstadoTienda, SoloCuestaLoQueCambio) {
    qint64 sentencias[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const int cuantos = k == 0 ? 20 : 60;
        SCOPED_TRACE(cuantos);
        Escenario e;
        catalogo(e, cuantos);
        ASSERT_TRUE(e.enviar().completo());
        EXPECT_TRUE(QFile::exists(EstadoTienda::rutaPara(e.ajustes.RutaIni)));
        contarEscrituras(e);
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.sinCambios, cuantos);
        EXPECT_EQ(escrituras(e), u"0"_s);
        sentencias[k] = r.sentencias;

        e.pos.ejecutar(u"UPDATE productos SET Precio = 1 WHERE Clave = 'K005';"
                       u"UPDATE existenciaexterna SET Existencia = 9 WHERE Producto = 'K007' AND "
                       u"Referencia = 'G';"_s);
        const ResumenEnvio r2 = e.enviar();
        EXPECT_EQ(r2.actualizados, 2);
        EXPECT_EQ(escrituras(e), u"2"_s);
    }
    EXPECT_EQ(sentencias[0], sentencias[1])
        << "the unchanged send does not grow with the catalogue";
}

// Whatever the owner changes by hand in the shop, in any table the send decides on and in any
// type, is found and put back as a plain send would leave it.
TEST(EstadoTienda, LoCambiadoAManoEnLaTiendaSeCorrige) {
    Escenario e;
    catalogo(e, 12);
    ASSERT_TRUE(e.enviar().completo());
    const QStringList limpio = e.volcado();
    ASSERT_TRUE(e.enviar().completo());
    const QString p = u"(SELECT product_id FROM oc_product WHERE model = '%1')"_s;
    struct Cambio {
        const char* que;
        QString sql;
    };
    const Cambio cambios[] = {
        {"decimal at its scale",
         u"UPDATE oc_product SET price = price + 0.0001 WHERE model = 'K002';"_s},
        {"an integer", u"UPDATE oc_product SET quantity = quantity + 1 WHERE model = 'K003';"_s},
        // Equal lengths: what a XOR of CRCs cannot tell from nothing.
        {"two products trading prices",
         u"UPDATE oc_product SET price = 3.5 WHERE model = 'K002';"
         u"UPDATE oc_product SET price = 2.5 WHERE model = 'K003';"_s},
        {"a zero date", u"UPDATE oc_product SET date_available = '0000-00-00' WHERE model = "
                        u"'K004';"_s},
        {"a date", u"UPDATE oc_product SET date_available = '2025-01-01' WHERE model = 'K003';"_s},
        {"letter case",
         u"UPDATE oc_product_description SET name = UPPER(name) WHERE product_id = "_s +
             p.arg(u"K005"_s) + u" AND language_id = 2;"_s},
        {"a trailing blank",
         u"UPDATE oc_product_description SET tag = CONCAT(tag, ' ') WHERE product_id = "_s +
             p.arg(u"K006"_s) + u" AND language_id = 1;"_s},
        {"an accent", u"UPDATE oc_product_description SET name = REPLACE(name, 'a', 'á') WHERE "
                      u"product_id = "_s +
                          p.arg(u"K007"_s) + u" AND language_id = 1;"_s},
        {"empty text for NULL-free text",
         u"UPDATE oc_product SET ean = 'x' WHERE model = 'K008';"_s},
        {"a size's stock",
         u"UPDATE oc_product_option_value SET quantity = 0 WHERE product_id = "_s +
             p.arg(u"K009"_s) + u';'},
        {"a store link deleted",
         u"DELETE FROM oc_product_to_store WHERE product_id = "_s + p.arg(u"K010"_s) + u';'},
        {"a description row deleted",
         u"DELETE FROM oc_product_description WHERE language_id = 2 AND product_id = "_s +
             p.arg(u"K011"_s) + u';'},
        {"a product row deleted", u"DELETE FROM oc_product WHERE model = 'K012';"_s},
    };
    for (const Cambio& c : cambios) {
        SCOPED_TRACE(c.que);
        e.tienda.ejecutar(u"SET SESSION sql_mode = '';"_s + c.sql);
        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(r.completo()) << qPrintable(r.mensaje);
        EXPECT_GE(r.actualizados + r.creados, 1);
        QStringList ahora = e.volcado();
        // A deleted product is made again under a new id: compare what the storefront shows.
        if (QByteArray(c.que).contains("product row")) {
            EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product WHERE model = 'K012'"_s),
                      QStringList{u"1"_s});
            continue;
        }
        EXPECT_EQ(ahora, limpio);
    }
    // A product the owner adds among Vendaro's stays his and changes nothing of theirs.
    e.tienda.ejecutar(u"SET SESSION sql_mode = ''; INSERT INTO oc_product (model, price) VALUES "
                      u"('PROPIO', 3);"_s);
    EXPECT_EQ(e.enviar().sinCambios, 12);
    EXPECT_EQ(e.tienda.filas(u"SELECT price FROM oc_product WHERE model = 'PROPIO'"_s),
              QStringList{u"3.0000"_s});
}

// The owner edits the shop while a send runs: a bucket the send did not write keeps the checksums
// it had when the send began, so the edit is found by the next send and not taken for the send's.
TEST(EstadoTienda, LoCambiadoAManoDuranteUnEnvioSeCorrigeDespues) {
    Escenario e;
    catalogo(e, 12);
    // Two buckets: K001-K006 in the first, K007-K012 under ids from 1000.
    e.pos.ejecutar(u"DELETE FROM productos WHERE Clave > 'K006';"
                   u"DELETE FROM existenciaexterna WHERE Producto > 'K006';"_s);
    ASSERT_TRUE(e.enviar().completo());
    e.tienda.ejecutar(u"ALTER TABLE oc_product AUTO_INCREMENT = 1000;"_s);
    Escenario otro;
    catalogo(otro, 12);
    e.pos.ejecutar(u"INSERT INTO productos SELECT * FROM "_s + otro.pos.nombre() +
                   u".productos WHERE Clave > 'K006';"
                   u"INSERT INTO existenciaexterna SELECT * FROM "_s +
                   otro.pos.nombre() + u".existenciaexterna WHERE Producto > 'K006';"_s);
    ASSERT_TRUE(e.enviar().completo());
    ASSERT_EQ(e.tienda.filas(u"SELECT product_id DIV 256 FROM oc_product WHERE model = 'K009'"_s),
              QStringList{u"3"_s});

    e.pos.ejecutar(u"UPDATE productos SET Precio = 77 WHERE Clave = 'K009';"_s);
    bool hecho = false;
    e.ventana.alProducto = [&](qint64) {
        if (!hecho)
            e.tienda.ejecutar(u"UPDATE oc_product SET price = 5 WHERE model = 'K002';"_s);
        hecho = true;
    };
    ASSERT_EQ(e.enviar().actualizados, 1);
    e.ventana.alProducto = nullptr;
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.actualizados, 1) << "the edit made during the last send is corrected";
    EXPECT_EQ(e.tienda.filas(u"SELECT price FROM oc_product WHERE model = 'K002'"_s),
              QStringList{u"2.5000"_s});
    EXPECT_EQ(e.enviar().sinCambios, 12);
}

// The state is the shop's and the settings': another mapping, a damaged file or another shop read
// everything again.
TEST(EstadoTienda, OtroMapeoOUnArchivoDanadoLeenTodo) {
    Escenario e;
    catalogo(e, 6);
    ASSERT_TRUE(e.enviar().completo());
    const QString ruta = EstadoTienda::rutaPara(e.ajustes.RutaIni);
    // The weight goes to the shop too now: a state that ignored it would skip every product.
    e.mapear(u"Peso"_s, u"weight"_s);
    e.pos.ejecutar(u"UPDATE productos SET Peso = 2;"_s);
    EXPECT_EQ(e.enviar().actualizados, 6);
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(40);
    f.write("basura basura basura");
    f.close();
    e.pos.ejecutar(u"UPDATE productos SET Peso = 3 WHERE Clave = 'K001';"_s);
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.actualizados, 1);
    EXPECT_EQ(r.sinCambios, 5);
    EXPECT_EQ(e.tienda.filas(u"SELECT weight FROM oc_product WHERE model = 'K001'"_s),
              QStringList{u"3.00000000"_s});
}

// Compression changes how the bytes travel, never what arrives.
TEST(EstadoTienda, ConYSinCompresionLaMismaTienda) {
    QStringList finales;
    for (const char16_t* comprimir : {u"1", u"0"}) {
        Escenario e;
        e.ajustar(u"Comprimir conexión WEB"_s, QString::fromUtf16(comprimir));
        catalogo(e, 15);
        ASSERT_TRUE(e.enviar().completo());
        e.pos.ejecutar(
            u"UPDATE productos SET Precio = Precio * 2 WHERE Clave IN ('K002', 'K011');"_s);
        ASSERT_TRUE(e.enviar().completo());
        finales.append(e.volcado().join(u'\n'));
    }
    EXPECT_EQ(finales[0], finales[1]);
}

// The state is streamed into its file: on a full disk, with no room or room for part of it, the
// last complete state stays as it was and reads back whole.
TEST(EstadoTienda, UnDiscoLlenoDejaElAnterior) {
    DiscoLleno disco;
    REQUIERE_DISCO(disco);
    const QString ruta = disco.ruta(u"vendaro.tienda"_s);
    auto estado = [](int productos, char marca) {
        EstadoTienda e;
        e.huella = QByteArray(16, marca);
        for (int i = 0; i < productos; ++i) {
            e.productos.insert(u"K%1"_s.arg(i), {i + 1, QByteArray(12, marca)});
            e.pesos.insert(u"K%1"_s.arg(i), u"%1"_s.arg(i, 20, 16, QChar(u'0')));
        }
        e.sumas[u"oc_product"_s].insert(0, {productos, 0x1234});
        return e;
    };
    QString error;
    ASSERT_TRUE(estado(10, 'a').guardar(ruta, &error)) << qPrintable(error);
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray antes = f.readAll();
    f.close();
    for (const qint64 libres : {qint64(0), qint64(64 * 1024)}) {
        SCOPED_TRACE(libres);
        disco.llenar(libres);
        error.clear();
        // About 340 kB: more than the room left, many times the file's write buffer.
        EXPECT_FALSE(estado(5000, 'b').guardar(ruta, &error));
        EXPECT_FALSE(error.isEmpty());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), antes);
        f.close();
        EstadoTienda leido;
        EXPECT_TRUE(leido.leer(ruta));
        EXPECT_EQ(leido.productos.size(), 10);
        EXPECT_EQ(leido.huella, QByteArray(16, 'a'));
        disco.liberar();
    }
    // With room again the new state is written whole.
    ASSERT_TRUE(estado(5000, 'b').guardar(ruta, &error)) << qPrintable(error);
    EstadoTienda leido;
    ASSERT_TRUE(leido.leer(ruta));
    EXPECT_EQ(leido.productos.size(), 5000);
    EXPECT_EQ(leido.pesos.value(u"K4999"_s), u"%1"_s.arg(4999, 20, 16, QChar(u'0')));
}
