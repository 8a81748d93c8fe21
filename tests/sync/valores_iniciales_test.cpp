#include "support/entorno.h"
#include "sync/valores_iniciales.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ValoresIniciales, LineasDelArchivo) {
    CarpetaTemporal carpeta;
    const QString ruta =
        carpeta.escribir(u"oc_product.txt"_s, "status = 1\r\n"
                                              "  location   =   Bodega \"Norte\" \n"
                                              "\n"
                                              "sin igual\n"
                                              "mpn = 'ABC' = ignorado\n"
                                              "date_added = $DATETIME\n"
                                              "date_available=$date\n"
                                              "hora=$time\n"
                                              "status = 0\n"
                                              " = sin columna\n");
    const ValoresIniciales v = LeerValoresIniciales(ruta);
    const ValoresIniciales esperado{{u"status"_s, u"1"_s},
                                    {u"location"_s, u"bodega norte"_s},
                                    {u"mpn"_s, u"abc"_s},
                                    {u"date_added"_s, u"$datetime"_s},
                                    {u"date_available"_s, u"$date"_s},
                                    {u"hora"_s, u"$time"_s},
                                    {u"status"_s, u"0"_s}};
    EXPECT_EQ(v, esperado);

    const QDateTime momento(QDate(2026, 3, 4), QTime(5, 6, 7));
    EXPECT_EQ(resolverValorInicial(u"$datetime"_s, momento), u"2026-03-04 05:06:07"_s);
    EXPECT_EQ(resolverValorInicial(u"$date"_s, momento), u"2026-03-04"_s);
    EXPECT_EQ(resolverValorInicial(u"$time"_s, momento), u"05:06:07"_s);
    EXPECT_EQ(resolverValorInicial(u"$fecha"_s, momento), u"$fecha"_s);

    EXPECT_TRUE(LeerValoresIniciales(carpeta.ruta(u"no_existe.txt"_s)).isEmpty());
    // A file saved in a Windows code page.
    const QString ansi = carpeta.escribir(u"ansi.txt"_s, "name = Ni\xf1o\n");
    EXPECT_EQ(LeerValoresIniciales(ansi), (ValoresIniciales{{u"name"_s, u"niño"_s}}));
}
