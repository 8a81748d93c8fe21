// What a real shop does with the rows a send writes: visible products, text stored as the shop's
// own forms store it, values the columns cannot hold, and shops installed with another prefix.
#include "escenario.h"
#include "sync/esquema_tienda.h"
#include "sync/texto_tienda.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QStringList Modos{u"por lotes"_s, u"por producto"_s};

void producto(Escenario& e, const QString& clave, const QString& nombre, const QString& precio) {
    e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ("_s +
                   e.pos.conexion().literal(clave) + u", "_s + e.pos.conexion().literal(nombre) +
                   u", "_s + precio + u");"_s);
}
} // namespace

TEST(TiendaReal, TextoGuardadoComoLoGuardaLaTienda) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.mapeoBasico();
        const QList<std::pair<QString, QString>> productos{
            {u"A&B"_s, u"Tom & Jerry \"Deluxe\""_s},
            {u"C<D>"_s, u"<b>Negrita</b>"_s},
            {u"E'F"_s, u"D'Angelo ñandú 🙂"_s},
        };
        for (const auto& [clave, nombre] : productos)
            producto(e, clave, nombre, u"1"_s);

        // An earlier version stored text as it came.
        e.ajustar(u"Codificar texto como la tienda"_s, u"0"_s);
        ASSERT_EQ(e.enviar().creados, 3);
        EXPECT_EQ(e.tienda.filas(u"SELECT model, name FROM oc_product JOIN oc_product_description "
                                 u"USING (product_id) ORDER BY product_id"_s),
                  (QStringList{u"A&B|Tom & Jerry \"Deluxe\""_s, u"C<D>|<b>Negrita</b>"_s,
                               u"E'F|D'Angelo ñandú 🙂"_s}));

        // Encoding on: the old rows are found by their raw keys and rewritten once, in place.
        e.ajustar(u"Codificar texto como la tienda"_s, u"1"_s);
        ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.creados, 0);
        EXPECT_EQ(r.actualizados, 2) << "the third has nothing the shop encodes";
        EXPECT_EQ(r.sinCambios, 1);
        QStringList esperadas;
        for (const auto& [clave, nombre] : productos)
            esperadas.append(CodificarComoTienda(clave) + u'|' + CodificarComoTienda(nombre));
        const QString consulta = u"SELECT model, name FROM oc_product JOIN oc_product_description "
                                 u"USING (product_id) ORDER BY product_id"_s;
        EXPECT_EQ(e.tienda.filas(consulta), esperadas);
        for (qsizetype i = 0; i < productos.size(); ++i) {
            const QStringList partes = e.tienda.filas(consulta)[i].split(u'|');
            EXPECT_EQ(DecodificarDeTienda(partes[1]), productos[i].second);
        }

        // Nothing changed: nothing written, and the encoded keys find their rows.
        r = e.enviar();
        EXPECT_EQ(r.creados + r.actualizados, 0);
        EXPECT_EQ(r.sinCambios, 3);
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"3"_s});

        // Back to raw text: the encoded rows are found and rewritten, never duplicated.
        e.ajustar(u"Codificar texto como la tienda"_s, u"0"_s);
        r = e.enviar();
        EXPECT_EQ(r.creados, 0);
        EXPECT_EQ(r.actualizados, 2);
        EXPECT_EQ(e.tienda.filas(u"SELECT model FROM oc_product ORDER BY product_id"_s),
                  (QStringList{u"A&B"_s, u"C<D>"_s, u"E'F"_s}));
    }
}

TEST(TiendaReal, ProductosNuevosEnlazadosASusTiendasUnaVez) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.ajustar(u"Tiendas"_s, u"0,1"_s);
        e.mapeoBasico();
        e.productos(2);
        ASSERT_EQ(e.enviar().creados, 2);
        const QString enlaces =
            u"SELECT product_id, store_id FROM oc_product_to_store ORDER BY 1, 2"_s;
        EXPECT_EQ(e.tienda.filas(enlaces), (QStringList{u"1|0"_s, u"1|1"_s, u"2|0"_s, u"2|1"_s}));
        // The owner takes product 2 out of store 1 and puts product 1 into store 5: existing
        // products keep the links they have, none added, none removed.
        e.tienda.ejecutar(u"DELETE FROM oc_product_to_store WHERE product_id = 2 AND store_id = "
                          u"1; INSERT INTO oc_product_to_store VALUES (1, 5);"_s);
        e.pos.ejecutar(u"UPDATE productos SET Precio = Precio + 1;"_s);
        EXPECT_EQ(e.enviar().actualizados, 2);
        EXPECT_EQ(e.tienda.filas(enlaces), (QStringList{u"1|0"_s, u"1|1"_s, u"1|5"_s, u"2|0"_s}));
    }
}

TEST(TiendaReal, ValoresQueLaColumnaNoGuarda) {
    for (const QString& modo : Modos) {
        SCOPED_TRACE(qPrintable(modo));
        Escenario e;
        e.ajustar(u"Modo de envío"_s, modo);
        e.mapeoBasico();
        e.pos.ejecutar(u"ALTER TABLE productos MODIFY Clave VARCHAR(100) NOT NULL, MODIFY Descrip "
                       u"VARCHAR(400) NULL;"_s);
        e.tienda.ejecutar(u"ALTER TABLE oc_product_description MODIFY name VARCHAR(255) "
                          u"CHARACTER SET utf8mb3 NOT NULL;"_s);
        producto(e, u"LARGO"_s, QString(300, u'x'), u"1"_s);
        producto(e, u"EMOJI"_s, u"Sol 🙂"_s, u"2"_s);
        producto(e, u"BIEN"_s, u"Normal"_s, u"3"_s);
        const QString claveLarga = QString(70, u'K');
        producto(e, claveLarga, u"Clave larga"_s, u"4"_s);

        CapturaBitacora bitacora;
        ResumenEnvio r = e.enviar();
        EXPECT_EQ(r.creados, 3);
        EXPECT_EQ(r.conAvisos, 2);
        EXPECT_EQ(r.fallidos, 1);
        EXPECT_TRUE(bitacora.contiene(u"Producto «LARGO»: la tienda no guardó"_s));
        EXPECT_TRUE(bitacora.contiene(u"Producto «EMOJI»: la tienda no guardó"_s));
        EXPECT_TRUE(bitacora.contiene(u"'name'"_s));
        EXPECT_TRUE(
            bitacora.contiene(u"la clave tiene 70 caracteres y la columna «model» admite 64"_s));
        ASSERT_EQ(r.productosFallidos.size(), 1);
        EXPECT_EQ(r.productosFallidos[0].clave, claveLarga);
        EXPECT_TRUE(bitacora.contiene(u"quedó «Sol ?»"_s));
        EXPECT_TRUE(bitacora.contiene(u"quedó «"_s + QString(255, u'x') + u'»'));
        // No row under a cut key, not now and not at the next send; and values the shop keeps cut
        // are not rewritten at every send.
        r = e.enviar();
        EXPECT_EQ(r.fallidos, 1);
        EXPECT_EQ(r.sinCambios, 3);
        EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), SUM(LENGTH(model) > 60) FROM oc_product"_s),
                  QStringList{u"3|0"_s});
    }
}

TEST(TiendaReal, TiendaConOtroPrefijo) {
    Escenario e;
    for (const char16_t* t :
         {u"product", u"product_description", u"product_to_store", u"option", u"option_value",
          u"option_value_description", u"product_option", u"product_option_value"})
        e.tienda.ejecutar(u"RENAME TABLE oc_"_s + QString::fromUtf16(t) + u" TO shop_"_s +
                          QString::fromUtf16(t) + u';');
    // A shop of two languages: size names go to both, and to no other.
    e.tienda.ejecutar(u"CREATE TABLE shop_language (language_id INT NOT NULL PRIMARY KEY); INSERT "
                      u"INTO shop_language VALUES (1), (2);"_s);
    e.ajustar(u"Nombre de la tabla"_s, u"shop_product"_s);
    e.mapear(u"Clave"_s, u"model"_s);
    e.mapear(u"Descrip"_s, u"name"_s, u"shop_product_description"_s, u"product_id"_s,
             u"product_id,language_id=1"_s);
    e.pos.ejecutar(u"INSERT INTO configura VALUES (1, 1, 0, NULL);"_s);
    e.productos(2);
    e.pos.ejecutar(u"INSERT INTO existenciaexterna VALUES ('P01', 'M', 5), ('P02', 'G', 1);"_s);
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.creados, 2);
    EXPECT_EQ(r.fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT p.model, d.name, v.quantity FROM shop_product_option_value "
                             u"v JOIN shop_product p USING (product_id) JOIN "
                             u"shop_option_value_description d ON d.option_value_id = "
                             u"v.option_value_id AND d.language_id = 1 ORDER BY 1"_s),
              (QStringList{u"P01|M|5"_s, u"P02|G|1"_s}));
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM shop_product_to_store"_s), QStringList{u"2"_s});
    EXPECT_EQ(e.tienda.filas(u"SELECT language_id, COUNT(*) FROM shop_option_value_description "
                             u"GROUP BY 1"_s),
              (QStringList{u"1|2"_s, u"2|2"_s}));
}

// Our checks of what a column holds agree with the server's own: a number the server would store
// otherwise (its limit, or 0) and a text it would cut or alter are refused; what it stores as sent
// passes.
TEST(TiendaReal, LoQueCabeSegunElServidor) {
    BaseTemporal base;
    base.ejecutar(u"CREATE TABLE t (d DECIMAL(15,4), i INT, u INT UNSIGNED, ti TINYINT, "
                  u"b BIGINT, v VARCHAR(5) CHARACTER SET utf8mb4, v3 VARCHAR(50) CHARACTER SET "
                  u"utf8mb3, l VARCHAR(50) CHARACTER SET latin1);"
                  u"SET SESSION sql_mode = '';"_s);
    QHash<QString, TablaTienda> esquema;
    QString error;
    ASSERT_TRUE(LeerEsquemaTienda(base.conexion(), {u"t"_s}, &esquema, &error))
        << qPrintable(error);
    const TablaTienda& t = esquema[u"t"_s];
    const std::pair<const char16_t*, const char16_t*> numeros[] = {{u"d", u"99999999999.9999"},
                                                                   {u"d", u"100000000000"},
                                                                   {u"d", u"99999999999.99995"},
                                                                   {u"d", u"-99999999999.9999"},
                                                                   {u"d", u"0.00001"},
                                                                   {u"d", u"1e20"},
                                                                   {u"d", u"abc"},
                                                                   {u"i", u"2147483647"},
                                                                   {u"i", u"2147483648"},
                                                                   {u"i", u"-2147483648"},
                                                                   {u"i", u"-2147483649"},
                                                                   {u"i", u"9000000000.0000"},
                                                                   {u"i", u"12.5"},
                                                                   {u"u", u"-1"},
                                                                   {u"u", u"4294967295"},
                                                                   {u"u", u"4294967296"},
                                                                   {u"ti", u"127"},
                                                                   {u"ti", u"128"},
                                                                   {u"ti", u"-128"},
                                                                   {u"b", u"9223372036854775807"},
                                                                   {u"b", u"9223372036854775808"},
                                                                   {u"b", u"-9223372036854775808"}};
    for (const auto& [c, valor] : numeros) {
        const QString columna = QString::fromUtf16(c);
        const QString texto = QString::fromUtf16(valor);
        SCOPED_TRACE(qPrintable(columna + u' ' + texto));
        ResultadoConsulta r;
        ASSERT_TRUE(base.conexion().consultar(u"INSERT INTO t ("_s + columna + u") VALUES ("_s +
                                                  base.conexion().literal(texto) + u')',
                                              r));
        ResultadoConsulta avisos;
        ASSERT_TRUE(base.conexion().consultar(u"SHOW WARNINGS"_s, avisos));
        bool pierde = false;
        for (const QList<Valor>& a : avisos.filas)
            pierde = pierde || a[0].texto() == u"Warning"_s;
        EXPECT_EQ(!numeroNoCabe(*t.columna(columna), texto).isEmpty(), pierde);
    }
    const std::pair<const char16_t*, QString> textos[] = {
        {u"v", u"cinco"_s},     {u"v", u"seis!!"_s}, {u"v", u"ñandú"_s},  {u"v3", u"Sol"_s},
        {u"v3", u"Sol 🙂"_s}, {u"l", u"Café €"_s}, {u"l", u"Ελλάδα"_s}, {u"l", u"Œuvre “x”"_s}};
    for (const auto& [c, texto] : textos) {
        const QString columna = QString::fromUtf16(c);
        SCOPED_TRACE(qPrintable(columna + u' ' + texto));
        base.ejecutar(u"DELETE FROM t;"_s);
        ASSERT_TRUE(base.conexion().Execute(u"INSERT INTO t ("_s + columna + u") VALUES ("_s +
                                            base.conexion().literal(texto) + u')'));
        const QString guardado = base.filas(u"SELECT "_s + columna + u" FROM t"_s).value(0);
        EXPECT_EQ(textoNoCabe(*t.columna(columna), texto).isEmpty(), guardado == texto)
            << qPrintable(guardado);
        EXPECT_EQ(textoQueCabe(*t.columna(columna), texto), guardado);
    }
}
