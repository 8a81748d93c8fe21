#include "services/libqvtx.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(LibQVTX, QvValLeeElNumeroDelPrincipio) {
    EXPECT_EQ(libQVTX::qvVal(u""_s), 0);
    EXPECT_EQ(libQVTX::qvVal(u"abc"_s), 0);
    EXPECT_EQ(libQVTX::qvVal(u"15"_s), 15);
    EXPECT_EQ(libQVTX::qvVal(u" 1 5 "_s), 15);
    EXPECT_EQ(libQVTX::qvVal(u"12abc"_s), 12);
    EXPECT_EQ(libQVTX::qvVal(u"-3.5x"_s), -3.5);
    EXPECT_EQ(libQVTX::qvVal(u"1,000"_s), 1);
    EXPECT_EQ(libQVTX::qvVal(u"2e3"_s), 2000);
    EXPECT_EQ(libQVTX::qvVal(u"7e"_s), 7);
    EXPECT_EQ(libQVTX::qvVal(u".5"_s), 0.5);
    EXPECT_EQ(libQVTX::qvVal(u"-"_s), 0);
}

namespace {
struct Filtrado {
    int caracter;
    AccionTecla accion;
};
Filtrado filtrar(int caracter, const QString& clase) {
    const libQVTX qvtx;
    const AccionTecla a = qvtx.Enter(caracter, clase);
    return {caracter, a};
}
} // namespace

TEST(LibQVTX, FiltroEnterPorClase) {
    // "9": digits pass, letters are refused
    EXPECT_EQ(filtrar('7', u"9"_s).caracter, '7');
    const Filtrado letra = filtrar('a', u"9"_s);
    EXPECT_EQ(letra.caracter, 0);
    EXPECT_EQ(letra.accion, AccionTecla::Rechazo);
    EXPECT_EQ(filtrar('-', u"9"_s).caracter, 0);
    EXPECT_EQ(filtrar(8, u"9"_s).caracter, 8) << "backspace keeps working";

    // "¡": names in lower case, no backslash
    EXPECT_EQ(filtrar('A', u"¡"_s).caracter, 'a');
    EXPECT_EQ(filtrar(u'Ñ', u"¡"_s).caracter, u'ñ');
    EXPECT_EQ(filtrar('\\', u"¡"_s).caracter, 0);
    EXPECT_EQ(filtrar('_', u"¡"_s).caracter, '_');

    // "!": upper case, no backslash
    EXPECT_EQ(filtrar('b', u"!"_s).caracter, 'B');
    EXPECT_EQ(filtrar('\\', u"!"_s).caracter, 0);

    // "T": digits, point and colon
    EXPECT_EQ(filtrar(':', u"T"_s).caracter, ':');
    EXPECT_EQ(filtrar('.', u"T"_s).caracter, '.');
    EXPECT_EQ(filtrar('-', u"T"_s).caracter, 0);

    // "X": anything
    EXPECT_EQ(filtrar('\\', u"X"_s).caracter, '\\');
    EXPECT_EQ(filtrar(u'é', u"X"_s).caracter, u'é');

    // Enter moves on in every class
    const Filtrado enter = filtrar(Tecla::Enter, u"X"_s);
    EXPECT_EQ(enter.caracter, 0);
    EXPECT_EQ(enter.accion, AccionTecla::Siguiente);
}

TEST(LibQVTX, TeclasDeNavegacion) {
    const libQVTX qvtx;
    int tecla = Tecla::Abajo;
    EXPECT_EQ(qvtx.Teclas(tecla), AccionTecla::Siguiente);
    EXPECT_EQ(tecla, 0);
    tecla = Tecla::Arriba;
    EXPECT_EQ(qvtx.Teclas(tecla), AccionTecla::Anterior);
    tecla = Tecla::Abajo;
    EXPECT_EQ(qvtx.Teclas(tecla, Cambio::Mayusculas), AccionTecla::Ninguna);
    EXPECT_EQ(tecla, Tecla::Abajo);
    tecla = 'A';
    EXPECT_EQ(qvtx.Teclas(tecla), AccionTecla::Ninguna);
    EXPECT_EQ(tecla, 'A');
}
