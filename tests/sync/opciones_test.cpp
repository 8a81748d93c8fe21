#include "escenario.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
void conTallas(Escenario& e, bool tallas = true) {
    e.pos.ejecutar(tallas ? u"INSERT INTO configura VALUES (1, 1, 0, NULL);"_s
                          : u"INSERT INTO configura VALUES (1, 0, 1, NULL);"_s);
    e.mapeoBasico();
}

QStringList existencias(Escenario& e) {
    return e.tienda.filas(
        u"SELECT p.model, d1.name, d3.name, pov.quantity, pov.option_id, pov.subtract, "
        u"pov.price_prefix FROM oc_product_option_value pov JOIN oc_product p USING (product_id) "
        u"JOIN oc_option_value_description d1 ON d1.option_value_id = pov.option_value_id AND "
        u"d1.language_id = 1 JOIN oc_option_value_description d3 ON d3.option_value_id = "
        u"pov.option_value_id AND d3.language_id = 3 ORDER BY p.model, d1.name"_s);
}
} // namespace

TEST(Opciones, TallasConSuExistencia) {
    Escenario e;
    conTallas(e);
    e.productos(2);
    e.pos.ejecutar(u"INSERT INTO existenciaexterna VALUES ('P01', 'M', 5), ('P01', 'CH', 2), "
                   u"('P01', 'G', 0), ('P02', 'M', 1.0000);"_s);
    ASSERT_EQ(e.enviar().fallidos, 0);
    EXPECT_EQ(existencias(e), (QStringList{u"P01|CH|CH|2|11|1|+"_s, u"P01|G|G|0|11|1|+"_s,
                                           u"P01|M|M|5|11|1|+"_s, u"P02|M|M|1|11|1|+"_s}));
    // One option value per size name, shared by the products; one product option each.
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), MIN(option_id) FROM oc_option_value"_s),
              QStringList{u"3|11"_s});
    EXPECT_EQ(e.tienda.filas(u"SELECT product_id, option_id, value, required FROM "
                             u"oc_product_option ORDER BY product_id"_s),
              (QStringList{u"1|11||1"_s, u"2|11||1"_s}));
    const QStringList ids =
        e.tienda.filas(u"SELECT product_option_value_id FROM oc_product_option_value ORDER BY 1"_s);

    // A changed stock and a new size: the quantity changes in place, the new size is added, and the
    // rows that orders point at keep their ids.
    e.pos.ejecutar(u"UPDATE existenciaexterna SET Existencia = 9 WHERE Producto = 'P01' AND "
                   u"Referencia = 'M'; INSERT INTO existenciaexterna VALUES ('P02', 'XG', 4);"_s);
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.fallidos, 0);
    EXPECT_EQ(existencias(e),
              (QStringList{u"P01|CH|CH|2|11|1|+"_s, u"P01|G|G|0|11|1|+"_s, u"P01|M|M|9|11|1|+"_s,
                           u"P02|M|M|1|11|1|+"_s, u"P02|XG|XG|4|11|1|+"_s}));
    EXPECT_EQ(e.tienda.filas(u"SELECT product_option_value_id FROM oc_product_option_value "
                             u"ORDER BY 1 LIMIT 4"_s),
              ids);

    // A send without changes creates nothing.
    const QStringList antes = e.tienda.filas(
        u"SELECT (SELECT COUNT(*) FROM oc_option_value), (SELECT COUNT(*) FROM "
        u"oc_option_value_description), (SELECT COUNT(*) FROM oc_product_option), (SELECT "
        u"COUNT(*) FROM oc_product_option_value)"_s);
    EXPECT_EQ(antes, QStringList{u"4|8|2|5"_s});
    e.enviar();
    EXPECT_EQ(
        e.tienda.filas(u"SELECT (SELECT COUNT(*) FROM oc_option_value), (SELECT COUNT(*) "
                       u"FROM oc_option_value_description), (SELECT COUNT(*) FROM "
                       u"oc_product_option), (SELECT COUNT(*) FROM oc_product_option_value)"_s),
        antes);
}

TEST(Opciones, ColoresYNombresQueYaExisten) {
    Escenario e;
    conTallas(e, false);
    e.productos(1);
    // The shop already knows "Rojo" in language 1 only, and "Rojo" as a size (another option).
    e.tienda.ejecutar(u"INSERT INTO oc_option_value VALUES (39, 5, '', 0), (46, 11, '', 0);"
                      u"INSERT INTO oc_option_value_description VALUES (39, 1, 5, 'Rojo'), "
                      u"(46, 1, 11, 'Rojo'), (46, 3, 11, 'Rojo');"_s);
    e.pos.ejecutar(
        u"INSERT INTO existenciaexterna VALUES ('P01', 'Rojo', 3), ('P01', 'Azul', 1);"_s);
    ASSERT_EQ(e.enviar().fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT option_value_id, option_id, quantity FROM "
                             u"oc_product_option_value ORDER BY option_value_id"_s),
              (QStringList{u"39|5|3"_s, u"47|5|1"_s}));
    EXPECT_EQ(
        e.tienda.filas(u"SELECT option_value_id, language_id, option_id, name FROM "
                       u"oc_option_value_description WHERE option_id = 5 ORDER BY 1, 2"_s),
        (QStringList{u"39|1|5|Rojo"_s, u"39|3|5|Rojo"_s, u"47|1|5|Azul"_s, u"47|3|5|Azul"_s}));
}

TEST(Opciones, SinCampoDeIdNoSeEscribenOpciones) {
    Escenario e;
    conTallas(e);
    e.ajustar(u"Campo en productos para talla o color"_s, u" "_s);
    e.productos(1);
    e.pos.ejecutar(u"INSERT INTO existenciaexterna VALUES ('P01', 'M', 5);"_s);
    e.leer();
    // A blank is not empty for the settings file; trimmed by nobody, it names no column.
    const ResumenEnvio r = e.enviar();
    EXPECT_EQ(r.fallidos, 1);

    e.ajustar(u"Campo en productos para talla o color"_s, u"Nada"_s);
    e.c.qvtx->EscribeIni(SeccionConfiguracion, u"Campo en productos para talla o color"_s,
                         e.c.utilerias->Encripta(QString()), e.ajustes.RutaIni);
    const ResumenEnvio r2 = e.enviar();
    EXPECT_EQ(r2.fallidos, 0);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product_option_value"_s),
              QStringList{u"0"_s});
}
