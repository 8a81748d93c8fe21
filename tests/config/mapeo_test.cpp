#include "config/ajustes.h"
#include "config/mapeo.h"
#include "services/archivo_ini.h"
#include "services/libqvtx.h"
#include "support/entorno.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Mapeo, ComprobacionesMuestranAmbosMensajes) {
    DialogosDePrueba dialogos;
    // The page never filled: one empty row.
    EXPECT_FALSE(ComprobarMapeo({Estrucs{}}));
    ASSERT_EQ(dialogos.cajas.size(), 2);
    EXPECT_EQ(dialogos.cajas[0].texto,
              u"No se han definido los campos de productos con sus equivalentes de la web"_s);
    EXPECT_EQ(dialogos.cajas[0].titulo, u"Alerta"_s);
    EXPECT_EQ(dialogos.cajas[1].texto, u"No se definió equivalente a la clave del producto"_s);
    EXPECT_EQ(dialogos.cajas[1].titulo, u"ERROR"_s);
    EXPECT_EQ(dialogos.cajas[1].botones, Botones::Critico);

    dialogos.cajas.clear();
    EXPECT_FALSE(
        ComprobarMapeo({{u"Clave"_s, u"  "_s, {}, {}, {}}, {u"Precio"_s, u"price"_s, {}, {}, {}}}));
    EXPECT_EQ(dialogos.cajas.size(), 1);

    dialogos.cajas.clear();
    EXPECT_TRUE(
        ComprobarMapeo({{u"Clave"_s, u"model"_s, {}, {}, {}}, {u"Precio"_s, {}, {}, {}, {}}}));
    EXPECT_TRUE(dialogos.cajas.isEmpty());
}

TEST(Mapeo, GrabarRecortaYVaciaClaves) {
    CarpetaTemporal carpeta;
    const QString ini =
        carpeta.escribir(u"vendaro.ini"_s, "[Campos]\nPrecio.CampoWEB=price\nViejo.CampoWEB=x\n");
    const libQVTX qvtx;
    const QList<Estrucs> filas{
        {u"Clave"_s, u" model "_s, QString(), QString(), QString()},
        {u"Precio"_s, QString(), QString(), QString(), QString()},
        {u"Descrip"_s, u"name"_s, u"oc_product_description "_s, u"product_id"_s,
         u"product_id,language_id=1"_s},
    };
    ASSERT_TRUE(GrabarMapeo(filas, qvtx, ini));
    EXPECT_EQ(qvtx.LeeIni(SeccionCampos, u"Clave.CampoWEB"_s, ini), u"model"_s);
    bool existe = false;
    ArchivoIni archivo;
    archivo.cargar(ini);
    EXPECT_EQ(archivo.valor(SeccionCampos, u"Precio.CampoWEB"_s, &existe), QString());
    EXPECT_TRUE(existe) << "a cleared cell clears its key";
    EXPECT_EQ(qvtx.LeeIni(SeccionCampos, u"Descrip.TablaExterna"_s, ini),
              u"oc_product_description"_s);
    EXPECT_EQ(qvtx.LeeIni(SeccionCampos, u"Descrip.CampoEnTablaExt"_s, ini),
              u"product_id,language_id=1"_s);
    EXPECT_EQ(qvtx.LeeIni(SeccionCampos, u"Viejo.CampoWEB"_s, ini), u"x"_s)
        << "keys of columns that are gone stay in the file";
    EXPECT_EQ(archivo.claves(SeccionCampos).size(), 13);
}
