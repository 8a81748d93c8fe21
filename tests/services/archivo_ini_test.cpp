#include "services/archivo_atomico.h"
#include "services/archivo_ini.h"
#include "services/libqvtx.h"
#include "services/plataforma.h"
#include "support/entorno.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ArchivoIni, ReescrituraConservaComentariosOrdenYClavesAjenas) {
    ArchivoIni ini;
    ini.desdeTexto("; hecho a mano\n[Configuración]\nPuerto=3306\nOtra cosa = sí \n\n"
                   "# notas\n[Ajena]\nx=1\n");
    ini.fijar(u"configuración"_s, u"PUERTO"_s, u"3307"_s);
    ini.fijar(u"Configuración"_s, u"Nueva"_s, u"v"_s);
    ini.fijar(u"Reja"_s, u"Columna 3"_s, u"2000"_s);
    EXPECT_EQ(ini.aTexto(),
              QByteArray("; hecho a mano\n[Configuración]\nPuerto=3307\nOtra cosa = sí \n"
                         "Nueva=v\n\n# notas\n[Ajena]\nx=1\n\n[Reja]\nColumna 3=2000\n"));
}

TEST(ArchivoIni, LecturaSinDistinguirMayusculasYConBlancos) {
    ArchivoIni ini;
    ini.desdeTexto("[Campos]\nClave.CampoWEB=model\nvacía=\nblancos=   \n  con espacio  =  x  \n");
    bool existe = false;
    EXPECT_EQ(ini.valor(u"CAMPOS"_s, u"clave.campoweb"_s, &existe), u"model"_s);
    EXPECT_TRUE(existe);
    EXPECT_EQ(ini.valor(u"Campos"_s, u"vacía"_s, &existe), QString());
    EXPECT_TRUE(existe);
    EXPECT_EQ(ini.valor(u"Campos"_s, u"blancos"_s), u"   "_s);
    EXPECT_EQ(ini.valor(u"Campos"_s, u"con espacio"_s), u"  x  "_s);
    EXPECT_EQ(ini.valor(u"Campos"_s, u"falta"_s, &existe), QString());
    EXPECT_FALSE(existe);
    EXPECT_EQ(ini.valor(u"Otra"_s, u"Clave.CampoWEB"_s), QString());
}

TEST(ArchivoIni, FinesDeLineaYCodificacion) {
    ArchivoIni crlf;
    crlf.desdeTexto("[A]\r\nx=1\r\n");
    crlf.fijar(u"A"_s, u"y"_s, u"2"_s);
    EXPECT_EQ(crlf.aTexto(), QByteArray("[A]\r\nx=1\r\ny=2\r\n"));
    EXPECT_TRUE(crlf.eraUtf8Limpio());

    const QString esperado = u"[Configuración]\nContraseña WEB=€ñ\n"_s;
    struct Caso {
        const char* nombre;
        QByteArray bytes;
        bool limpio;
        QByteArray escrito; // what a rewrite without changes gives
    };
    const QByteArray utf8 = esperado.toUtf8();
    QByteArray utf16le("\xFF\xFE"), utf16be("\xFE\xFF");
    for (QChar c : esperado) {
        utf16le += char(c.unicode() & 0xFF);
        utf16le += char(c.unicode() >> 8);
        utf16be += char(c.unicode() >> 8);
        utf16be += char(c.unicode() & 0xFF);
    }
    const Caso casos[] = {
        {"UTF-8", utf8, true, utf8},
        {"UTF-8 con BOM", "\xEF\xBB\xBF" + utf8, true, "\xEF\xBB\xBF" + utf8},
        {"Windows-1252",
         "[Configuraci\xf3n]\nContrase\xf1"
         "a WEB=\x80\xf1\n",
         false, utf8},
        {"UTF-16 LE", utf16le, false, "\xEF\xBB\xBF" + utf8},
        {"UTF-16 BE", utf16be, false, "\xEF\xBB\xBF" + utf8},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        ArchivoIni ini;
        ini.desdeTexto(caso.bytes);
        EXPECT_EQ(ini.valor(u"configuración"_s, u"contraseña web"_s), u"€ñ"_s);
        EXPECT_EQ(ini.eraUtf8Limpio(), caso.limpio);
        EXPECT_EQ(ini.aTexto(), caso.escrito);
    }

    // UTF-8 with one line pasted from a Windows editor: only the bytes that are not UTF-8 are read
    // as Windows-1252, the rest keeps its text (never double-encoded).
    ArchivoIni mezcla;
    mezcla.desdeTexto(utf8 + "; cambi\xe9 \x93x\x94\n");
    EXPECT_FALSE(mezcla.eraUtf8Limpio());
    EXPECT_EQ(mezcla.aTexto(), utf8 + "; cambié “x”\n");
    EXPECT_EQ(mezcla.claves(u"Configuración"_s), QStringList{u"Contraseña WEB"_s});

    // An accent saved as a combining mark still names the same section.
    ArchivoIni descompuesto;
    descompuesto.desdeTexto("[Configuracio\xcc\x81n]\nx=1\n");
    EXPECT_EQ(descompuesto.valor(u"Configuración"_s, u"x"_s), u"1"_s);
}

TEST(ArchivoIni, LaPrimeraReescrituraGuardaLaCopia) {
    CarpetaTemporal carpeta;
    const QByteArray original = "[Configuración]\nPuerto=3306\n; cambi\xe9\n";
    const QString ruta = carpeta.escribir(u"vendaro.ini"_s, original);
    libQVTX qvtx;
    ASSERT_TRUE(qvtx.EscribeIni(u"Configuración"_s, u"Puerto"_s, u"3307"_s, ruta));
    EXPECT_EQ(carpeta.leer(u"vendaro.ini.bak"_s), original);
    EXPECT_EQ(carpeta.leer(u"vendaro.ini"_s),
              QByteArray("[Configuración]\nPuerto=3307\n; cambié\n"));

    // Once clean, later rewrites leave the copy alone; a clean file never gets one.
    ASSERT_TRUE(qvtx.EscribeIni(u"Configuración"_s, u"Puerto"_s, u"3308"_s, ruta));
    EXPECT_EQ(carpeta.leer(u"vendaro.ini.bak"_s), original);
    const QString limpio = carpeta.escribir(u"limpio.ini"_s, "[A]\nx=1\n");
    ASSERT_TRUE(qvtx.EscribeIni(u"A"_s, u"x"_s, u"2"_s, limpio));
    EXPECT_FALSE(QFile::exists(carpeta.ruta(u"limpio.ini.bak"_s)));

    // When the copy cannot be kept, the file is not rewritten.
    carpeta.escribir(u"otro.ini"_s, original);
    QDir(carpeta.raiz()).mkdir(u"otro.ini.bak"_s);
    CapturaBitacora bitacora;
    EXPECT_FALSE(
        qvtx.EscribeIni(u"Configuración"_s, u"Puerto"_s, u"1"_s, carpeta.ruta(u"otro.ini"_s)));
    EXPECT_EQ(carpeta.leer(u"otro.ini"_s), original);
    EXPECT_TRUE(bitacora.contiene(u"otro.ini.bak"_s));
    // The copy holds the passwords as the file did: its owner's only.
    REQUIERE_LISTAS_DE_ACCESO();
    EXPECT_FALSE(plataforma::accesiblePorOtros(carpeta.ruta(u"vendaro.ini.bak"_s)));
}

TEST(ArchivoIni, UnSaltoDeLineaEnElValorNoCreaClaves) {
    ArchivoIni ini;
    ini.fijar(u"A"_s, u"x"_s, u"uno\n[B]\ny=2"_s);
    EXPECT_EQ(ini.claves(u"A"_s), QStringList{u"x"_s});
    EXPECT_TRUE(ini.claves(u"B"_s).isEmpty());
}

TEST(ArchivoIni, UnDiscoLlenoNoTocaElArchivo) {
    DiscoLleno disco;
    REQUIERE_DISCO(disco);
    // Large enough that a little room takes part of it but not all.
    QByteArray original = "[Configuración]\nPuerto=3306\n";
    for (int i = 0; original.size() < 9000; ++i)
        original += "Clave " + QByteArray::number(i) + "=" + QByteArray(60, 'v') + "\n";
    const QString ruta = disco.escribir(u"vendaro.ini"_s, original);
    // Windows-1252 bytes: the first rewrite also keeps a copy.
    const QByteArray latino = "[A]\nNombre=Caf\xe9\n";
    const QString otro = disco.escribir(u"latino.ini"_s, latino);
    auto leer = [](const QString& r) {
        QFile f(r);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    libQVTX qvtx;
    for (const qint64 libres : {qint64(0), qint64(4096), qint64(8192)}) {
        SCOPED_TRACE(libres);
        disco.liberar();
        disco.llenar(libres);
        CapturaBitacora bitacora;
        EXPECT_FALSE(qvtx.EscribeIni(u"Configuración"_s, u"Puerto"_s, u"9999"_s, ruta));
        EXPECT_EQ(leer(ruta), original);
        EXPECT_TRUE(bitacora.contiene(u"No se pudo escribir"_s));
        if (libres == 0) {
            EXPECT_FALSE(qvtx.EscribeIni(u"A"_s, u"Nombre"_s, u"Té"_s, otro));
            EXPECT_EQ(leer(otro), latino);
            // Neither a temporary file nor an empty copy is left beside them.
            EXPECT_EQ(QDir(disco.raiz()).entryList(QDir::Files),
                      (QStringList{u"latino.ini"_s, u"vendaro.ini"_s}));
        }
    }
    disco.liberar();
    EXPECT_TRUE(qvtx.EscribeIni(u"Configuración"_s, u"Puerto"_s, u"9999"_s, ruta));
    EXPECT_EQ(qvtx.LeeIni(u"configuración"_s, u"puerto"_s, ruta), u"9999"_s);
    EXPECT_TRUE(qvtx.EscribeIni(u"A"_s, u"Nombre"_s, u"Té"_s, otro));
    EXPECT_EQ(leer(ArchivoIni::rutaCopia(otro)), latino);
}

TEST(ArchivoIni, ElArchivoQuedaSoloParaSuDueno) {
    CarpetaTemporal carpeta;
    const QString ruta = carpeta.escribir(u"vendaro.ini"_s, "[A]\nx=1\n");
    QFile::setPermissions(ruta, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadOther | QFileDevice::ReadGroup);
    libQVTX qvtx;
    ASSERT_TRUE(qvtx.EscribeIni(u"A"_s, u"y"_s, u"2"_s, ruta));
    REQUIERE_LISTAS_DE_ACCESO();
    EXPECT_FALSE(plataforma::accesiblePorOtros(ruta));

    const QString nueva = carpeta.ruta(u"nuevo.ini"_s);
    ASSERT_TRUE(qvtx.EscribeIni(u"A"_s, u"y"_s, u"2"_s, nueva));
    EXPECT_FALSE(plataforma::accesiblePorOtros(nueva));
}

TEST(ArchivoIni, UnArchivoIlegibleNoSeReescribe) {
    CarpetaTemporal carpeta;
    // A folder where the file should be: reading fails, so the write must not replace it.
    QDir(carpeta.raiz()).mkdir(u"vendaro.ini"_s);
    libQVTX qvtx;
    CapturaBitacora bitacora;
    EXPECT_FALSE(qvtx.EscribeIni(u"A"_s, u"x"_s, u"1"_s, carpeta.ruta(u"vendaro.ini"_s)));
    EXPECT_TRUE(QFileInfo(carpeta.ruta(u"vendaro.ini"_s)).isDir());
}
