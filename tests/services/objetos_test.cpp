#include "services/componentes.h"
#include "services/mensajes.h"
#include "services/modoprueba.h"
#include "services/ventanas.h"
#include "support/entorno.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(CrearObjeto, ClaseDesconocidaAvisaYDejaLaVariable) {
    DialogosDePrueba dialogos;
    auto anterior = std::make_unique<libQVTX>();
    libQVTX* antes = anterior.get();
    EXPECT_FALSE(CrearObjeto(anterior, u"NoExiste"_s));
    EXPECT_EQ(anterior.get(), antes);
    ASSERT_EQ(dialogos.cajas.size(), 1);
    const Caja& caja = dialogos.cajas.first();
    EXPECT_EQ(caja.titulo, u"Alerta"_s);
    EXPECT_EQ(caja.botones, Botones::Critico);
    EXPECT_TRUE(caja.texto.startsWith(u"Error nº 429, "_s)) << qPrintable(caja.texto);
    EXPECT_TRUE(caja.texto.endsWith(u"\r\nIntentanto crear \"qvvm5.NoExiste\""_s));

    // A known class of the wrong type takes the same path.
    std::unique_ptr<BasesDD> bases;
    EXPECT_FALSE(CrearObjeto(bases, u"libQVTX"_s));
    EXPECT_EQ(bases, nullptr);
    EXPECT_EQ(dialogos.cajas.size(), 2);
}

TEST(CrearObjeto, ComponentesCompartidos) {
    DialogosDePrueba dialogos;
    Componentes c;
    EXPECT_TRUE(c.crear());
    EXPECT_TRUE(c.qvtx && c.bases && c.utilerias && c.archivos && c.registro);
    std::unique_ptr<libQVTX> minusculas;
    EXPECT_TRUE(CrearObjeto(minusculas, u"libqvtx"_s, u"QVVM5"_s));
    EXPECT_TRUE(dialogos.cajas.isEmpty());
}

TEST(Mensajes, PreguntaConNoPorDefecto) {
    DialogosDePrueba dialogos;
    dialogos.respuestas = {Respuesta::No, Respuesta::Si};
    EXPECT_FALSE(Pregunta(u"¿Seguro?"_s, u"Título"_s, true));
    EXPECT_TRUE(Pregunta(u"¿Seguro?"_s, u"Título"_s, false));
    ASSERT_EQ(dialogos.cajas.size(), 2);
    EXPECT_EQ(dialogos.cajas[0].botones, 36 + 256);
    EXPECT_EQ(dialogos.cajas[1].botones, 36);
    EXPECT_TRUE(dialogos.cajas[0].estilizada);
    // Unanswered, a question is No.
    EXPECT_FALSE(Pregunta(u"¿Seguro?"_s, u"Título"_s, false));
}

TEST(Mensajes, SinPantallaLasPreguntasSonNo) {
    EXPECT_EQ(respuestaSinUsuario(Botones::SiNo | Botones::Pregunta), Respuesta::No);
    EXPECT_EQ(respuestaSinUsuario(Botones::AceptarCancelar), Respuesta::Cancelar);
    EXPECT_EQ(respuestaSinUsuario(Botones::Critico), Respuesta::Aceptar);
}

TEST(Ventanas, GeometriaIdaYVuelta) {
    CarpetaTemporal carpeta;
    const QString ini = carpeta.ruta(u"v.ini"_s);
    const libQVTX qvtx;
    GeometriaVentana guardada{
        QString(), u"frmDescripcion"_s, u"Descripción del programa"_s, 1200, 2400, 9300, 6900};
    GuardarVentana(guardada, true, qvtx, ini);
    EXPECT_EQ(qvtx.LeeIni(u"frmDescripcion"_s, u"Ventana"_s, ini), u"Descripción del programa"_s);
    EXPECT_EQ(carpeta.leer(u"v.ini"_s),
              QByteArray("[frmDescripcion]\nVentana=Descripción del programa\nLinea=1200\n"
                         "Columna=2400\nAncho=9300\nAlto=6900\n"));

    GeometriaVentana leida{QString(), u"frmDescripcion"_s, QString(), 0, 0, 100, 200};
    RecuperarVentana(leida, true, qvtx, ini);
    EXPECT_EQ(leida.Top, 1200);
    EXPECT_EQ(leida.Left, 2400);
    EXPECT_EQ(leida.Width, 9300);
    EXPECT_EQ(leida.Height, 6900);

    // Without the size flag the size stays.
    GeometriaVentana sinTamano{QString(), u"frmDescripcion"_s, QString(), 0, 0, 100, 200};
    RecuperarVentana(sinTamano, false, qvtx, ini);
    EXPECT_EQ(sinTamano.Top, 1200);
    EXPECT_EQ(sinTamano.Width, 100);
}

TEST(Ventanas, CasosQueVanALaEsquina) {
    CarpetaTemporal carpeta;
    const QString ini = carpeta.ruta(u"v.ini"_s);
    const libQVTX qvtx;

    // Saved without size, restored with it: the empty "Ancho" does not convert.
    GuardarVentana({QString(), u"frmA"_s, u"A"_s, 500, 600, 7000, 8000}, false, qvtx, ini);
    GeometriaVentana a{QString(), u"frmA"_s, QString(), 9, 9, 111, 222};
    RecuperarVentana(a, true, qvtx, ini);
    EXPECT_EQ(a.Top, 0);
    EXPECT_EQ(a.Left, 0);
    EXPECT_EQ(a.Width, 111);
    EXPECT_EQ(a.Height, 222);

    // Missing section.
    GeometriaVentana b{QString(), u"frmB"_s, QString(), 9, 9, 111, 222};
    RecuperarVentana(b, true, qvtx, ini);
    EXPECT_EQ(b.Top, 0);
    EXPECT_EQ(b.Width, 111);

    // A Tag of blanks: saved under the name, restored from the section of blanks, which is absent.
    GuardarVentana({u"   "_s, u"frmC"_s, u"C"_s, 500, 600, 7000, 8000}, true, qvtx, ini);
    EXPECT_EQ(qvtx.LeeIni(u"frmC"_s, u"Linea"_s, ini), u"500"_s);
    GeometriaVentana c{u"   "_s, u"frmC"_s, QString(), 9, 9, 111, 222};
    RecuperarVentana(c, true, qvtx, ini);
    EXPECT_EQ(c.Top, 0);
    EXPECT_EQ(c.Width, 111);

    // A value beyond 16 bits.
    qvtx.EscribeIni(u"frmD"_s, u"Linea"_s, u"40000"_s, ini);
    qvtx.EscribeIni(u"frmD"_s, u"Columna"_s, u"10"_s, ini);
    GeometriaVentana d{QString(), u"frmD"_s, QString(), 9, 9, 111, 222};
    RecuperarVentana(d, false, qvtx, ini);
    EXPECT_EQ(d.Top, 0);
    EXPECT_EQ(d.Left, 0);
}

TEST(ModoPrueba, BuscaElInterruptorEnTodaLaLinea) {
    establecerLineaComandos({u"--send"_s});
    EXPECT_FALSE(EnModoPrueba());
    establecerLineaComandos({u"--send"_s, u"x-qvtxy"_s});
    EXPECT_TRUE(EnModoPrueba());
    establecerLineaComandos({u"-QVTX"_s});
    EXPECT_FALSE(EnModoPrueba());
    establecerLineaComandos({});
}
