#include "sync/texto_tienda.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The shop's forms encode with htmlspecialchars(ENT_COMPAT, UTF-8): these are its results.
TEST(TextoTienda, CodificaComoLosFormulariosDeLaTiendaYVuelve) {
    const std::pair<QString, QString> casos[] = {
        {u"Tom & Jerry \"Deluxe\""_s, u"Tom &amp; Jerry &quot;Deluxe&quot;"_s},
        {u"<b>Negrita</b>"_s, u"&lt;b&gt;Negrita&lt;/b&gt;"_s},
        {u"D'Angelo · Ñandú 🙂"_s, u"D'Angelo · Ñandú 🙂"_s},
        {u"&amp; ya codificado"_s, u"&amp;amp; ya codificado"_s},
        {u"&lt;"_s, u"&amp;lt;"_s},
        {QString(), QString()},
    };
    for (const auto& [pos, tienda] : casos) {
        SCOPED_TRACE(qPrintable(pos));
        EXPECT_EQ(CodificarComoTienda(pos), tienda);
        EXPECT_EQ(DecodificarDeTienda(tienda), pos);
    }
}
