#include "services/cifrado.h"
#include "services/plataforma.h"
#include "support/entorno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Cifrado, IdaYVueltaConTextosDificiles) {
    CarpetaTemporal carpeta;
    const Cifrador c(carpeta.ruta(u"llave"_s));
    for (const QString& texto :
         {u""_s, u"root"_s, u"contraseña con ñ, ü y 'comillas' \\ %"_s, u"emoji 🛒 y\nsalto"_s}) {
        const QString cifrado = c.cifrar(texto);
        EXPECT_TRUE(Cifrador::estaCifrado(cifrado)) << qPrintable(texto);
        EXPECT_FALSE(cifrado.contains(texto) && !texto.isEmpty());
        EXPECT_EQ(c.descifrar(cifrado), texto);
    }
    // A fresh nonce each time: equal texts give different cipher texts.
    EXPECT_NE(c.cifrar(u"root"_s), c.cifrar(u"root"_s));
    REQUIERE_LISTAS_DE_ACCESO();
    EXPECT_FALSE(plataforma::accesiblePorOtros(carpeta.ruta(u"llave"_s)));
}

TEST(Cifrado, TextoPlanoPasaIgual) {
    CarpetaTemporal carpeta;
    const Cifrador c(carpeta.ruta(u"llave"_s));
    EXPECT_EQ(c.descifrar(u"escrito a mano"_s), u"escrito a mano"_s);
    EXPECT_EQ(c.descifrar(QString()), QString());
}

TEST(Cifrado, TextoAlteradoUOtraLlaveDanVacio) {
    CarpetaTemporal carpeta;
    const Cifrador c(carpeta.ruta(u"llave"_s));
    const QString cifrado = c.cifrar(u"secreto"_s);

    QString alterado = cifrado;
    const qsizetype medio = Cifrador::Prefijo.size() + 20;
    alterado[medio] = alterado[medio] == u'A' ? u'B' : u'A';
    CapturaBitacora bitacora;
    EXPECT_EQ(c.descifrar(alterado), QString());
    EXPECT_EQ(c.descifrar(Cifrador::Prefijo + u"corto"_s), QString());
    EXPECT_TRUE(bitacora.contiene(u"no se pudo descifrar"_s));

    const Cifrador otra(carpeta.ruta(u"otra-llave"_s));
    EXPECT_EQ(otra.descifrar(cifrado), QString());
}

TEST(Cifrado, LlaveDanadaNoSeReemplaza) {
    // Garbage, an empty file (a disk that filled up), and a key cut short.
    const QByteArray corta = QByteArray(20, 'k').toBase64() + "\n";
    for (const QByteArray& contenido : {QByteArray("no es una llave\n"), QByteArray(), corta}) {
        CarpetaTemporal carpeta;
        const QString ruta = carpeta.escribir(u"llave"_s, contenido);
        const Cifrador c(ruta);
        CapturaBitacora bitacora;
        EXPECT_EQ(c.cifrar(u"x"_s), QString());
        EXPECT_EQ(carpeta.leer(u"llave"_s), contenido);
        EXPECT_TRUE(bitacora.contiene(u"dañada"_s));
        EXPECT_TRUE(c.problemaLlave().contains(u"dañada"_s)) << qPrintable(c.problemaLlave());
    }
}

TEST(Cifrado, UnaLlaveNuevaNoNaceVaciaEnUnDiscoLleno) {
    DiscoLleno disco;
    REQUIERE_DISCO(disco);
    disco.llenar(0);
    const QString ruta = disco.ruta(u"vendaro.key"_s);
    {
        const Cifrador c(ruta);
        CapturaBitacora bitacora;
        EXPECT_EQ(c.cifrar(u"x"_s), QString());
        EXPECT_TRUE(bitacora.contiene(u"No se pudo crear la llave"_s));
    }
    EXPECT_FALSE(QFile::exists(ruta));
    EXPECT_TRUE(QDir(disco.raiz()).entryList(QDir::Files).isEmpty());
    disco.liberar();
    const Cifrador c(ruta);
    const QString cifrado = c.cifrar(u"x"_s);
    EXPECT_EQ(c.descifrar(cifrado), u"x"_s);
    EXPECT_EQ(QFileInfo(ruta).size(), 45);
}

TEST(Cifrado, LlavePredeterminadaEnLaCarpetaDelUsuario) {
    const QString ruta = Cifrador::rutaLlavePredeterminada();
    EXPECT_TRUE(ruta.startsWith(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/vendaro/"_s))
        << qPrintable(ruta);
    const Cifrador c;
    EXPECT_EQ(c.descifrar(c.cifrar(u"x"_s)), u"x"_s);
    EXPECT_TRUE(QFile::exists(ruta));
}
