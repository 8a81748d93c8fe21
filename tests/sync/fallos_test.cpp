// What a send does when the shop, the point of sale or the line misbehave: a shop left half
// written, keys the shop cannot tell apart, a mapping the shop lacks, values it cannot hold, a cut.
#include "escenario.h"
#include "support/relevo.h"

#include <thread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QStringList Modos{u"por lotes"_s, u"por producto"_s};

// The message of the failed product with that key, or a null text.
QString fallo(const ResumenEnvio& r, const QString& clave) {
    for (const ResumenEnvio::Fallo& f : r.productosFallidos)
        if (f.clave == clave)
            return f.mensaje;
    return {};
}
} // namespace

// A creation cut off between the product's row and its store link (a MyISAM shop keeps the row)
// leaves a product invisible everywhere: the next send links it, and only it.
TEST(Fallos, UnProductoEnNingunaTiendaSeEnlaza) {
    QStringList finales;
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.ajustar(u"Tiendas"_s, u"0, 2"_s);
        e.mapeoBasico();
        e.productos(4);
        // The owner keeps P04 in store 5 only.
        e.tienda.ejecutar(u"SET SESSION sql_mode = '';"
                          u"INSERT INTO oc_product (product_id, model, price) VALUES "
                          u"(50, 'P04', 4.50); INSERT INTO oc_product_description (product_id, "
                          u"language_id, name) VALUES (50, 1, 'Producto 4');"
                          u"INSERT INTO oc_product_to_store VALUES (50, 5);"_s);
        ASSERT_TRUE(e.tienda.conexion().Execute(
            u"CREATE TRIGGER sin_tienda BEFORE INSERT ON oc_product_to_store FOR EACH ROW IF "
            u"NEW.product_id = (SELECT product_id FROM oc_product WHERE model = 'P02') THEN SIGNAL "
            u"SQLSTATE '45000' SET MESSAGE_TEXT = 'cortado'; END IF"_s));
        const ResumenEnvio primero = e.enviar();
        EXPECT_FALSE(fallo(primero, u"P02"_s).isNull());
        ASSERT_EQ(e.tienda.filas(u"SELECT COUNT(s.store_id) FROM oc_product p LEFT JOIN "
                                 u"oc_product_to_store s USING (product_id) WHERE p.model = "
                                 u"'P02'"_s),
                  QStringList{u"0"_s})
            << "the row stays without its links, as after a cut";

        e.tienda.ejecutar(u"DROP TRIGGER sin_tienda;"_s);
        CapturaBitacora bitacora;
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.fallidos, 0) << qPrintable(fallo(r, u"P02"_s));
        EXPECT_EQ(r.actualizados, 1);
        EXPECT_EQ(e.tienda.filas(u"SELECT p.model, s.store_id FROM oc_product_to_store s JOIN "
                                 u"oc_product p USING (product_id) ORDER BY p.model, s.store_id"_s),
                  (QStringList{u"P01|0"_s, u"P01|2"_s, u"P02|0"_s, u"P02|2"_s, u"P03|0"_s,
                               u"P03|2"_s, u"P04|5"_s}))
            << "P04 keeps the owner's one link";
        EXPECT_TRUE(bitacora.contiene(u"Producto «P02»: no estaba en ninguna tienda"_s));
        EXPECT_EQ(e.enviar().sinCambios, 4);
        finales.append(e.volcado().join(u'\n'));
    }
    EXPECT_EQ(finales[0], finales[1]);
}

// Keys that a binary point-of-sale column tells apart but the shop's case-insensitive, pad-space
// key column does not: the first in point-of-sale order is sent, the others fail, in both modes,
// at every send, without one overwriting the other.
TEST(Fallos, ClavesGemelasSeRechazan) {
    QStringList finales;
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.mapeoBasico();
        e.pos.ejecutar(u"ALTER TABLE productos MODIFY Clave VARCHAR(30) CHARACTER SET utf8mb4 "
                       u"COLLATE utf8mb4_nopad_bin NOT NULL;"
                       u"INSERT INTO productos (Clave, Descrip, Precio) VALUES "
                       u"('caso-01', 'minúsculas', 1), ('CASO-01', 'MAYÚSCULAS', 2), "
                       u"('BLANCO-01', 'sin blanco', 3), ('BLANCO-01 ', 'con blanco', 4), "
                       u"('OTRO', 'otro', 5);"_s);
        for (int envio = 1; envio <= 2; ++envio) {
            SCOPED_TRACE(envio);
            const ResumenEnvio r = e.enviar();
            EXPECT_EQ(r.fallidos, 2);
            EXPECT_EQ(r.gemelas, 2);
            EXPECT_TRUE(fallo(r, u"caso-01"_s)
                            .startsWith(u"la clave «caso-01» equivale en la tienda a «CASO-01»"_s))
                << qPrintable(fallo(r, u"caso-01"_s));
            EXPECT_TRUE(fallo(r, u"BLANCO-01 "_s)
                            .startsWith(u"la clave «BLANCO-01 » equivale en la tienda a "
                                        u"«BLANCO-01»"_s));
            EXPECT_EQ(envio == 1 ? r.creados : r.sinCambios, 3);
            EXPECT_EQ(e.tienda.filas(u"SELECT p.model, p.price, d.name FROM oc_product p JOIN "
                                     u"oc_product_description d USING (product_id) ORDER BY "
                                     u"p.product_id"_s),
                      (QStringList{u"BLANCO-01|3.0000|sin blanco"_s, u"CASO-01|2.0000|MAYÚSCULAS"_s,
                                   u"OTRO|5.0000|otro"_s}));
        }
        finales.append(e.volcado().join(u'\n'));
    }
    EXPECT_EQ(finales[0], finales[1]);
}

// A mapping naming a column or a table the shop does not have, or an account that may only read,
// is one error before anything is written: no option value, no product.
TEST(Fallos, UnaTiendaQueNoPuedeRecibirElEnvioNoRecibeNada) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"_s);
        e.mapeoBasico();
        e.productos(3);
        e.pos.ejecutar(
            u"INSERT INTO existenciaexterna VALUES ('P01', 'CH', 1), ('P02', 'M', 2);"_s);
        auto nadaEscrito = [&] {
            for (const QString& t : Escenario::TablasEscritas)
                EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM "_s + t), QStringList{u"0"_s})
                    << qPrintable(t);
        };

        e.mapear(u"Precio"_s, u"precio_venta"_s);
        e.mapear(u"Costo"_s, u"cost"_s, u"oc_product_cost"_s, u"product_id"_s, u"product_id"_s);
        ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::TiendaNoSirve);
        EXPECT_TRUE(
            r.mensaje.contains(u"La tabla «oc_product» no tiene la columna «precio_venta»"_s))
            << qPrintable(r.mensaje);
        EXPECT_TRUE(
            r.mensaje.contains(u"La tabla «oc_product_cost» (relación de campos) no existe"_s))
            << qPrintable(r.mensaje);
        EXPECT_FALSE(r.completo());
        nadaEscrito();

        e.mapeoBasico();
        e.mapear(u"Costo"_s, QString());
        const QString usuario = u"lector_"_s + e.tienda.nombre().right(6);
        e.tienda.ejecutar(u"CREATE USER '"_s + usuario + u"'@'%' IDENTIFIED BY 'lee';"_s +
                          u"GRANT SELECT ON `"_s + e.tienda.nombre() + u"`.* TO '"_s + usuario +
                          u"'@'%';"_s);
        e.ajustar(u"Usuario WEB"_s, usuario);
        e.ajustar(u"Contraseña WEB"_s, u"lee"_s);
        r = e.enviar();
        e.tienda.ejecutar(u"DROP USER '"_s + usuario + u"'@'%';"_s);
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::TiendaNoSirve);
        EXPECT_TRUE(r.mensaje.contains(u"El usuario de la tienda no puede"_s))
            << qPrintable(r.mensaje);
        EXPECT_TRUE(r.mensaje.contains(u"1142"_s)) << qPrintable(r.mensaje);
        nadaEscrito();
    }
}

// Values the shop cannot store as they are: the product fails rather than publish a wrong price,
// a size the shop cannot name is not made as "XL ?", control characters stay out of names, and a
// warning says what the shop actually kept.
TEST(Fallos, ValoresQueLaTiendaNoGuardaTalCual) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.mapeoBasico();
        e.mapear(u"Observ"_s, u"description"_s, u"oc_product_description"_s, u"product_id"_s,
                 u"product_id,language_id=1"_s);
        e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"
                       u"ALTER TABLE productos DROP PRIMARY KEY, MODIFY Clave VARCHAR(30) NULL, "
                       u"MODIFY Precio DECIMAL(30,4) NOT NULL DEFAULT 0;"
                       u"INSERT INTO productos (Clave, Descrip, Precio, Observ) VALUES "
                       u"(NULL, 'sin clave', 1, NULL), ('', 'clave vacía', 1, NULL), "
                       u"('CARO', 'precio enorme', 100000000000000000000, NULL), "
                       u"('CTRL', CONCAT('Camisa', CHAR(7), ' roja', CHAR(13), CHAR(10), 'azul'), "
                       u"1, CONCAT('línea 1', CHAR(13), CHAR(10), 'línea 2', CHAR(27))), "
                       u"('TALLAS', 'tallas', 1, NULL);"
                       u"INSERT INTO existenciaexterna VALUES ('TALLAS', 'XL 🙂', 3), "
                       u"('TALLAS', 'M', 4);"_s);
        // OpenCart 3.0 keeps its names in the three-byte utf8.
        e.tienda.ejecutar(u"ALTER TABLE oc_option_value_description MODIFY name VARCHAR(128) "
                          u"CHARACTER SET utf8mb3 NOT NULL;"_s);
        // A defaults value the column cannot hold: the server keeps its maximum.
        e.defectos(u"oc_product"_s, "points = 99999999999\n");

        const ResumenEnvio r = e.enviar();
        EXPECT_TRUE(fallo(r, QString()).contains(u"no tiene clave"_s)) << qPrintable(fallo(r, {}));
        EXPECT_EQ(r.productosFallidos.first().mensaje, r.productosFallidos[1].mensaje)
            << "NULL and empty alike";
        EXPECT_TRUE(
            fallo(r, u"CARO"_s).contains(u"no cabe en la columna «price» (decimal(15,4))"_s))
            << qPrintable(fallo(r, u"CARO"_s));
        EXPECT_TRUE(fallo(r, u"TALLAS"_s).contains(u"la talla «XL 🙂» no se envió"_s))
            << qPrintable(fallo(r, u"TALLAS"_s));
        EXPECT_EQ(r.fallidos, 4);
        EXPECT_EQ(e.tienda.filas(u"SELECT model FROM oc_product ORDER BY model"_s),
                  (QStringList{u"CTRL"_s, u"TALLAS"_s}));
        EXPECT_EQ(e.tienda.filas(u"SELECT DISTINCT name FROM oc_option_value_description"_s),
                  QStringList{u"M"_s})
            << "no value named \"XL ?\"";
        EXPECT_EQ(e.tienda.filas(u"SELECT v.quantity FROM oc_product_option_value v JOIN "
                                 u"oc_product p USING (product_id) WHERE p.model = 'TALLAS'"_s),
                  QStringList{u"4"_s});
        EXPECT_EQ(
            e.tienda.filas(u"SELECT d.name, HEX(d.description) FROM oc_product_description "
                           u"d JOIN oc_product p USING (product_id) WHERE p.model = 'CTRL'"_s),
            QStringList{u"Camisa roja azul|"_s +
                        QString::fromLatin1(QByteArray("línea 1\r\nlínea 2").toHex().toUpper())});
        EXPECT_EQ(r.conAvisos, 2) << "control characters dropped; points cut to the column";
        EXPECT_EQ(e.tienda.filas(u"SELECT DISTINCT points FROM oc_product"_s),
                  QStringList{u"2147483647"_s});

        // What the log and the window list for the warning is the shop's value, read back.
        CapturaBitacora bitacora;
        e.pos.ejecutar(
            u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ('NUEVO', 'n', 1);"_s);
        e.enviar();
        EXPECT_TRUE(bitacora.contiene(u"quedó «2147483647»"_s))
            << qPrintable(bitacora.lineas().join(u'\n'));
        EXPECT_FALSE(bitacora.contiene(u"quedó «99999999999»"_s));
        EXPECT_TRUE(e.enviar().conAvisos == 0) << "nothing rewritten, nothing said again";
    }
}

// A value the shop's column does not keep as sent: the product is written, and its warning, listed
// per product for the window, names the column, what was sent and what the shop kept, on creation
// (a defaults value out of range) as on update (a name cut to the column). A stock out of range is
// not written at all: the product fails, and the shop keeps no made-up number.
TEST(Fallos, AvisoConLoEnviadoYLoQueQuedo) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.mapeoBasico();
        e.mapear(u"Existencia"_s, u"quantity"_s);
        e.productos(3);
        e.pos.ejecutar(u"ALTER TABLE productos MODIFY Descrip VARCHAR(400) NULL;"
                       u"UPDATE productos SET Existencia = 9000000000 WHERE Clave = 'P03';"_s);
        e.defectos(u"oc_product"_s, "points = 99999999999\n");
        auto avisosDe = [](const ResumenEnvio& r, const QString& clave) {
            QStringList textos;
            for (const ResumenEnvio::Fallo& a : r.productosConAvisos)
                if (a.clave == clave && !a.descripcion.isEmpty())
                    textos.append(a.mensaje);
            return textos;
        };
        ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.conAvisos, 2);
        EXPECT_EQ(avisosDe(r, u"P01"_s),
                  QStringList{u"oc_product.points: Out of range value for column 'points' at row "
                              u"1; se envió «99999999999»; quedó «2147483647»"_s});
        ASSERT_EQ(r.productosFallidos.size(), 1);
        EXPECT_EQ(r.productosFallidos[0].clave, u"P03"_s);
        EXPECT_TRUE(r.productosFallidos[0].mensaje.contains(u"«quantity»"_s))
            << qPrintable(r.productosFallidos[0].mensaje);
        EXPECT_EQ(e.tienda.filas(u"SELECT model FROM oc_product WHERE quantity = 2147483647"_s),
                  QStringList{});

        e.pos.ejecutar(u"UPDATE productos SET Descrip = REPEAT('x', 300) WHERE Clave = 'P02';"_s);
        r = e.enviar();
        const QStringList suyos = avisosDe(r, u"P02"_s);
        ASSERT_EQ(suyos.size(), 1) << qPrintable(suyos.join(u'\n'));
        EXPECT_TRUE(suyos[0].startsWith(u"oc_product_description.name: "_s))
            << qPrintable(suyos[0]);
        EXPECT_TRUE(suyos[0].contains(u"; se envió «"_s + QString(300, u'x') + u"»; "_s));
        EXPECT_TRUE(suyos[0].endsWith(u"; quedó «"_s + QString(255, u'x') + u'»'));
    }
}

// A line that drops every connection and refuses new ones for a moment: the run waits and goes on
// from what the shop holds, with no duplicate.
TEST(Fallos, UnCorteBreveSeReintenta) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        Relevo linea(entorno::mysql().puerto);
        e.ajustar(u"Modo de envío"_s, modo);
        e.ajustar(u"Dirección IP"_s, u"127.0.0.1"_s);
        e.ajustar(u"Puerto"_s, QString::number(linea.puerto()));
        e.mapeoBasico();
        e.productos(5);
        e.ventana.alProducto = [&](qint64 n) {
            if (n == 3)
                linea.cortar(2500);
        };
        CapturaBitacora bitacora;
        const ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.estado, ResumenEnvio::Estado::Terminado) << qPrintable(r.mensaje);
        EXPECT_TRUE(r.completo()) << qPrintable(r.mensaje);
        EXPECT_TRUE(bitacora.contiene(u"nuevo intento en"_s));
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), COUNT(DISTINCT model) FROM oc_product"_s),
                  QStringList{u"5|5"_s});
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_to_store"_s),
                  QStringList{u"5"_s});
    }
}
