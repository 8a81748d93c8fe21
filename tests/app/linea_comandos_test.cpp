#include "app/historial_envios.h"
#include "app/linea_comandos.h"
#include "config/ajustes.h"
#include "services/libqvtx.h"
#include "support/entorno.h"
#include "sync/escenario.h"

#include <QDir>
#include <QProcess>

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
struct Resultado {
    int codigo = -1;
    QString salida;
    QString errores;
};

Resultado ejecutar(const QStringList& argumentos,
                   const QProcessEnvironment& ambiente = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(ambiente);
    p.start(entorno::ejecutable(), argumentos);
    if (!p.waitForFinished(60000))
        ADD_FAILURE() << "vendaro no terminó";
    // Windows' C library ends the lines it writes with CR LF.
    auto texto = [](const QByteArray& b) {
        return QString::fromUtf8(b).replace(u"\r\n"_s, u"\n"_s);
    };
    return {p.exitCode(), texto(p.readAllStandardOutput()), texto(p.readAllStandardError())};
}

// A host installation pointing at the test server, and an INI file naming it.
QString prepararInstalacion(const CarpetaTemporal& carpeta, const QString& basePos,
                            const QString& contrasena) {
    QDir().mkpath(carpeta.ruta(u"velmora"_s));
    const DatosConexion d = entorno::mysql();
    carpeta.escribir(u"velmora/velmora.ini"_s,
                     (u"[Servidor]\nMySQLServer="_s + d.servidor + u"\nMySQLPuerto="_s +
                      QString::number(d.puerto) + u"\nMySQLUsuario="_s + d.usuario +
                      u"\nMySQLPassword="_s + contrasena + u'\n')
                         .toUtf8());
    const QString ini = carpeta.ruta(u"vendaro.ini"_s);
    const libQVTX qvtx;
    qvtx.EscribeIni(SeccionConfiguracion, ClaveRutaHost, carpeta.ruta(u"velmora"_s), ini);
    qvtx.EscribeIni(SeccionConfiguracion, ClaveBasePrincipal, basePos, ini);
    return ini;
}
} // namespace

TEST(LineaComandos, Analisis) {
    // An absolute path of the system's (with its drive on Windows) is kept as given.
    const QString ini = QDir::rootPath() + u"tmp/x.ini"_s;
    auto l = analizarLineaComandos({u"--send"_s, u"--pictures"_s, u"--ini"_s, ini});
    EXPECT_EQ(l.accion, LineaComandos::Accion::Enviar);
    EXPECT_TRUE(l.imagenes);
    EXPECT_EQ(l.rutaIni, ini);
    EXPECT_EQ(analizarLineaComandos({}).accion, LineaComandos::Accion::Bandeja);
    EXPECT_EQ(analizarLineaComandos({u"-qvtx"_s}).accion, LineaComandos::Accion::Bandeja);
    EXPECT_EQ(analizarLineaComandos({u"--ini"_s}).accion, LineaComandos::Accion::Error);
    EXPECT_EQ(analizarLineaComandos({u"--nada"_s}).accion, LineaComandos::Accion::Error);
    EXPECT_EQ(analizarLineaComandos({u"--check"_s, u"--pictures"_s}).accion,
              LineaComandos::Accion::Error);
}

TEST(LineaComandos, ComprobarSinInstalacion) {
    CarpetaTemporal carpeta;
    ASSERT_TRUE(QDir().mkpath(carpeta.ruta(u"con espacios"_s)));
    const QString ini = carpeta.ruta(u"con espacios/vendaro.ini"_s);
    const Resultado r = ejecutar({u"--check"_s, u"--ini"_s, ini});
    EXPECT_EQ(r.codigo, 2) << qPrintable(r.salida + r.errores);
    // Given in Qt's form (forward slashes), the settings file is shown as the system writes
    // paths: on Windows with its drive letter and backslashes.
    EXPECT_TRUE(r.salida.startsWith(u"Archivo de configuración: "_s +
                                    QDir::toNativeSeparators(ini) + u'\n'))
        << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(
        u"Instalación de Velmora Premium: no se encontró en «C:\\velmorapremium»"_s))
        << qPrintable(r.salida);
    // The boxes went to standard error, and the question was answered No without waiting.
    EXPECT_TRUE(r.errores.contains(u"[Atención]"_s)) << qPrintable(r.errores);
    EXPECT_TRUE(r.errores.contains(u"[Editar INI]"_s));
    // The INI file got its default folder, and the log file sits next to it.
    const libQVTX qvtx;
    EXPECT_EQ(qvtx.LeeIni(SeccionConfiguracion, ClaveRutaHost, ini), u"C:\\velmorapremium"_s);
    EXPECT_TRUE(QFile::exists(carpeta.ruta(u"con espacios/vendaro.log"_s)));
}

TEST(LineaComandos, ComprobarConBaseDelPuntoDeVenta) {
    CarpetaTemporal carpeta;
    BaseTemporal pos(u"pos"_s);
    const QString ini = prepararInstalacion(carpeta, pos.nombre(), entorno::mysql().contrasena);
    const Resultado r = ejecutar({u"--check"_s, u"--ini"_s, ini});
    EXPECT_TRUE(r.salida.contains(u"Instalación de Velmora Premium: encontrada"_s));
    EXPECT_TRUE(
        r.salida.contains(u"Base de datos del punto de venta «"_s + pos.nombre() + u"» en "_s))
        << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"conexión correcta"_s)) << qPrintable(r.salida);
    // The shop's settings are still the placeholders written at start.
    EXPECT_EQ(r.codigo, 1);
    EXPECT_TRUE(r.salida.contains(
        u"Base de datos de la tienda «BaseDeDatos» en IP:3306: no se pudo abrir"_s))
        << qPrintable(r.salida);
    const libQVTX qvtx;
    EXPECT_EQ(qvtx.LeeIni(SeccionConfiguracion, u"Puerto"_s, ini), u"3306"_s);
}

TEST(LineaComandos, ComprobarBasesYFtp) {
    Escenario e;
    e.mapeoBasico();
    e.ajustar(u"Dirección del FTP"_s,
              entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()));
    e.ajustar(u"Usuario del FTP"_s, entorno::ftpUsuario());
    e.ajustar(u"Password del FTP"_s, entorno::ftpContrasena());
    Resultado r = ejecutar({u"--check"_s, u"--ini"_s, e.ajustes.RutaIni});
    EXPECT_EQ(r.codigo, 0) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"Base de datos de la tienda «"_s + e.tienda.nombre() +
                                  u"» en 127.0.0.1:"_s))
        << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"Servidor FTP «"_s)) << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u": sesión correcta"_s)) << qPrintable(r.salida);

    e.ajustar(u"Password del FTP"_s, u"equivocada"_s);
    r = ejecutar({u"--check"_s, u"--ini"_s, e.ajustes.RutaIni});
    EXPECT_EQ(r.codigo, 1);
    EXPECT_TRUE(r.salida.contains(u"no se pudo entrar (530"_s)) << qPrintable(r.salida);

    e.ajustar(u"Dirección del FTP"_s, u"  "_s);
    r = ejecutar({u"--check"_s, u"--ini"_s, e.ajustes.RutaIni});
    EXPECT_EQ(r.codigo, 0);
    EXPECT_TRUE(r.salida.contains(u"Servidor FTP: sin configurar"_s)) << qPrintable(r.salida);
}

TEST(LineaComandos, ComprobarConexionCifradaConLaTienda) {
    Escenario e;
    e.mapeoBasico();
    e.ajustar(u"Dirección del FTP"_s, u" "_s);
    const QStringList argumentos{u"--check"_s, u"--ini"_s, e.ajustes.RutaIni};
    // By default TLS is used whenever the server offers it, and the check says with what.
    Resultado r = ejecutar(argumentos);
    EXPECT_EQ(r.codigo, 0) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"» en 127.0.0.1:"_s + QString::number(entorno::mysql().puerto) +
                                  u": conexión correcta, cifrada (TLSv1."_s))
        << qPrintable(r.salida);

    e.ajustar(u"Conexión segura WEB"_s, u"verificada"_s);
    e.ajustar(u"Certificado CA WEB"_s, entorno::mysqlOtraCa());
    r = ejecutar(argumentos);
    EXPECT_EQ(r.codigo, 1);
    EXPECT_TRUE(r.salida.contains(u"Base de datos de la tienda «"_s + e.tienda.nombre()))
        << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"no se pudo abrir (Error 2026"_s)) << qPrintable(r.salida);

    e.ajustar(u"Certificado CA WEB"_s, entorno::mysqlCa());
    r = ejecutar(argumentos);
    EXPECT_EQ(r.codigo, 0) << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"conexión correcta, cifrada (TLSv1."_s)) << qPrintable(r.salida);
    // Optional keys are never written by the program.
    EXPECT_FALSE(e.carpeta.leer(u"vendaro.ini"_s).contains("Conexión segura WEB=preferida"));
}

TEST(LineaComandos, ComprobarConContrasenaEquivocada) {
    CarpetaTemporal carpeta;
    BaseTemporal pos(u"pos"_s);
    const QString ini = prepararInstalacion(carpeta, pos.nombre(), u"equivocada"_s);
    const Resultado r = ejecutar({u"--check"_s, u"--ini"_s, ini});
    EXPECT_EQ(r.codigo, 1);
    EXPECT_TRUE(r.salida.contains(u"no se pudo abrir"_s)) << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"1045"_s));
}

TEST(LineaComandos, EnviarSinElPuntoDeVenta) {
    CarpetaTemporal carpeta;
    BaseTemporal pos(u"pos"_s);
    const QString ini = prepararInstalacion(carpeta, pos.nombre(), u"equivocada"_s);
    const Resultado r = ejecutar({u"--send"_s, u"--ini"_s, ini});
    // The point of sale's own error, not a complaint about the mapping.
    EXPECT_EQ(r.codigo, 1) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"No se abrió la base de datos del punto de venta «"_s +
                                  pos.nombre() + u"»: Error 1045"_s))
        << qPrintable(r.salida);
    EXPECT_FALSE((r.salida + r.errores).contains(u"relación de campos"_s));
}

TEST(LineaComandos, DatosHostilesYContrasenasEnLaSalida) {
    Escenario e;
    e.mapeoBasico();
    // A key with a line break is refused; the other product reaches the shop.
    e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio) VALUES "
                   u"('P\n01', CONCAT('borra', CHAR(27), '[2J', CHAR(0), 'fin'), 1), "
                   u"('P02', 'otro', 2)"_s);
    // The shop rejects the product with a message that repeats the shop's password.
    const QString contrasena = entorno::mysql().contrasena;
    ASSERT_TRUE(e.tienda.conexion().Execute(
        u"CREATE TRIGGER rechazo BEFORE INSERT ON oc_product FOR EACH ROW SIGNAL SQLSTATE '45000' "
        u"SET MESSAGE_TEXT = 'clave "_s +
        contrasena + u"'"_s));
    const Resultado r = ejecutar({u"--send"_s, u"--ini"_s, e.ajustes.RutaIni});
    EXPECT_EQ(r.codigo, 1) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"Producto 1 de 2: P\\n01 borra\\x1b[2J\\x00fin\n"_s))
        << qPrintable(r.salida);
    EXPECT_FALSE(r.salida.contains(QChar(0x1b)));
    EXPECT_TRUE(r.errores.contains(u"Producto «P\\n01» no enviado: No se envía: la clave tiene "
                                   u"caracteres de control"_s))
        << qPrintable(r.errores);
    EXPECT_TRUE(r.errores.contains(u"clave ****"_s)) << qPrintable(r.errores);
    const QByteArray bitacora = e.carpeta.leer(u"vendaro.log"_s);
    EXPECT_FALSE(bitacora.contains(contrasena.toUtf8()));
    EXPECT_FALSE(r.errores.contains(contrasena));
}

TEST(LineaComandos, EnviarYSusCodigosDeSalida) {
    Escenario e;
    e.mapeoBasico();
    e.productos(60);
    const QStringList argumentos{u"--send"_s, u"--ini"_s, e.ajustes.RutaIni};

    Resultado r = ejecutar(argumentos + QStringList{u"-qvtx"_s});
    EXPECT_EQ(r.codigo, 0) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"Producto 50 de 50: P50 Producto 50"_s)) << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(
        u"Productos leídos: 50; creados: 50; actualizados: 0; sin cambios: 0; con error: 0"_s));
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"50"_s});

    r = ejecutar(argumentos);
    EXPECT_EQ(r.codigo, 0);
    EXPECT_TRUE(
        r.salida.contains(u"Productos leídos: 60; creados: 10; actualizados: 0; sin cambios: 50"_s))
        << qPrintable(r.salida);

    // The log beside the settings file tells the run, never a password.
    const QByteArray bitacora = e.carpeta.leer(u"vendaro.log"_s);
    EXPECT_TRUE(bitacora.contains("Envío iniciado en modo de prueba"));
    EXPECT_TRUE(bitacora.contains("Envío terminado. Productos leídos: 60"));
    EXPECT_FALSE(bitacora.contains(entorno::mysql().contrasena.toUtf8()));

    // A product that fails: exit 1, and the others are written.
    ASSERT_TRUE(e.tienda.conexion().Execute(
        u"CREATE TRIGGER rechazo BEFORE UPDATE ON oc_product FOR EACH ROW IF NEW.model = 'P07' "
        u"THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no se deja'; END IF"_s));
    e.pos.ejecutar(u"UPDATE productos SET Precio = Precio + 1;"_s);
    r = ejecutar(argumentos);
    EXPECT_EQ(r.codigo, 1);
    EXPECT_TRUE(r.errores.contains(u"Producto «P07» no enviado"_s)) << qPrintable(r.errores);
    EXPECT_TRUE(r.salida.contains(u"con error: 1"_s)) << qPrintable(r.salida);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product WHERE price = "_s
                             u"CAST(SUBSTRING(model, 2) AS DECIMAL) + 1.5"_s),
              QStringList{u"59"_s});

    // The runs are kept where the window reads its last runs, the failure without its statement.
    {
        HistorialEnvios historial(e.ajustes.RutaIni);
        historial.leer();
        ASSERT_EQ(historial.envios().size(), 3);
        EXPECT_EQ(historial.envios()[0].creados, 50);
        EXPECT_EQ(historial.envios()[2].fallidos, 1);
        EXPECT_EQ(historial.envios()[2].resultado(), u"Con errores"_s);
        ASSERT_EQ(historial.fallidosUltimo().size(), 1);
        const ResumenEnvio::Fallo& f = historial.fallidosUltimo().first();
        EXPECT_EQ(f.clave, u"P07"_s);
        EXPECT_EQ(f.descripcion, u"Producto 7"_s);
        EXPECT_TRUE(f.mensaje.contains(u"no se deja"_s)) << qPrintable(f.mensaje);
        EXPECT_FALSE(f.mensaje.contains(u"UPDATE"_s)) << qPrintable(f.mensaje);
    }

    // A dry run tells what would change and writes nothing.
    e.pos.ejecutar(u"UPDATE productos SET Descrip = 'Otra <b>' WHERE Clave = 'P02';"_s);
    const QStringList antes = e.tienda.filas(u"SELECT * FROM oc_product_description"_s);
    r = ejecutar({u"--send"_s, u"--dry-run"_s, u"--ini"_s, e.ajustes.RutaIni});
    EXPECT_EQ(r.codigo, 0) << qPrintable(r.errores);
    EXPECT_TRUE(r.salida.contains(u"Tabla oc_product_description:\n  actualizar producto «P02»:\n"
                                  u"    name: «Producto 2» → «Otra &lt;b&gt;»"_s))
        << qPrintable(r.salida);
    EXPECT_EQ(e.tienda.filas(u"SELECT * FROM oc_product_description"_s), antes);
    EXPECT_FALSE(QFileInfo::exists(e.ajustes.RutaIni + u".lock"_s));
    {
        HistorialEnvios historial(e.ajustes.RutaIni);
        historial.leer();
        EXPECT_EQ(historial.envios().size(), 3) << "a dry run is not a send";
    }

    // A mapping without its key is unusable settings.
    e.mapear(u"Clave"_s, QString());
    r = ejecutar(argumentos);
    EXPECT_EQ(r.codigo, 2);
    EXPECT_TRUE(
        r.errores.contains(u"[Alerta] El campo «Clave» no está en la lista de campos a pasar"_s))
        << qPrintable(r.errores);

    // No installation: unusable settings.
    e.ajustar(ClaveRutaHost, e.carpeta.ruta(u"no-existe"_s));
    EXPECT_EQ(ejecutar(argumentos).codigo, 2);
}

TEST(LineaComandos, ArchivoDeConfiguracionEditadoAMano) {
    Escenario e;
    e.mapeoBasico();
    e.ajustar(u"Dirección del FTP"_s, u" "_s);
    ASSERT_EQ(ejecutar({u"--check"_s, u"--ini"_s, e.ajustes.RutaIni}).codigo, 0);
    // Every key present, but one, so that the check rewrites the file to add its default.
    QStringList lineas = QString::fromUtf8(e.carpeta.leer(u"vendaro.ini"_s)).split(u'\n');
    const QString intervalo = u"Intervalo en minutos para enviar existencias=0"_s;
    ASSERT_EQ(lineas.removeAll(intervalo), 1);
    const QString texto = lineas.join(u'\n') + u"; cambié\n"_s;

    QByteArray utf16("\xFF\xFE");
    for (QChar c : texto) {
        utf16 += char(c.unicode() & 0xFF);
        utf16 += char(c.unicode() >> 8);
    }
    QByteArray windows = texto.toUtf8();
    windows.replace("cambié", "cambi\xe9");
    const std::pair<const char*, QByteArray> casos[] = {{"una línea en Windows-1252", windows},
                                                        {"UTF-16 con BOM", utf16}};
    for (const auto& [nombre, bytes] : casos) {
        SCOPED_TRACE(nombre);
        e.carpeta.escribir(u"vendaro.ini"_s, bytes);
        QFile::remove(e.carpeta.ruta(u"vendaro.ini.bak"_s));
        const Resultado r = ejecutar({u"--check"_s, u"--ini"_s, e.ajustes.RutaIni});
        EXPECT_EQ(r.codigo, 0) << qPrintable(r.salida + r.errores);
        // Rewritten as UTF-8 with every line as it was plus the missing default: no double
        // encoding, no second section of placeholders; the bytes as they were kept beside it.
        QByteArray escrito = e.carpeta.leer(u"vendaro.ini"_s);
        if (escrito.startsWith("\xEF\xBB\xBF"))
            escrito.remove(0, 3);
        const QStringList leidas = QString::fromUtf8(escrito).split(u'\n');
        for (const QString& linea : texto.split(u'\n'))
            EXPECT_TRUE(leidas.contains(linea)) << qPrintable(linea);
        EXPECT_TRUE(leidas.contains(intervalo));
        EXPECT_EQ(leidas.size(), texto.split(u'\n').size() + 1);
        EXPECT_EQ(e.carpeta.leer(u"vendaro.ini.bak"_s), bytes);
    }
}

TEST(LineaComandos, LlaveDeCifradoPerdida) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    Escenario e;
    e.mapeoBasico();
    e.productos(3);
    e.ajustar(u"Contraseña WEB"_s, e.c.utilerias->Encripta(entorno::mysql().contrasena));
    // The program run by another user, or after the key file was deleted.
    CarpetaTemporal otraConfiguracion;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(u"XDG_CONFIG_HOME"_s, otraConfiguracion.raiz());
    const QString llave = otraConfiguracion.ruta(u"vendaro/vendaro.key"_s);
    for (const QString& accion : {u"--check"_s, u"--send"_s}) {
        SCOPED_TRACE(qPrintable(accion));
        const Resultado r = ejecutar({accion, u"--ini"_s, e.ajustes.RutaIni}, ambiente);
        EXPECT_EQ(r.codigo, 2) << qPrintable(r.salida + r.errores);
        EXPECT_TRUE(
            r.salida.contains(u"Los valores cifrados no se pueden leer: falta la llave "_s + llave))
            << qPrintable(r.salida);
        EXPECT_FALSE(QFile::exists(llave));
    }
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
}

// A key file of another installation (well-formed, but not the one that encrypted the values):
// nothing runs, and no connection is made with the empty login the values would leave.
TEST(LineaComandos, LlaveDeOtraInstalacion) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    Escenario e;
    e.mapeoBasico();
    e.productos(3);
    e.ajustar(u"Usuario WEB"_s, e.c.utilerias->Encripta(entorno::mysql().usuario));
    e.ajustar(u"Contraseña WEB"_s, e.c.utilerias->Encripta(entorno::mysql().contrasena));
    CarpetaTemporal otraConfiguracion;
    QDir().mkpath(otraConfiguracion.ruta(u"vendaro"_s));
    const QString llave =
        otraConfiguracion.escribir(u"vendaro/vendaro.key"_s, QByteArray(32, 'k').toBase64() + "\n");
    const QByteArray antes = e.carpeta.leer(u"vendaro.ini"_s);
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(u"XDG_CONFIG_HOME"_s, otraConfiguracion.raiz());
    for (const QString& accion : {u"--check"_s, u"--send"_s}) {
        SCOPED_TRACE(qPrintable(accion));
        const Resultado r = ejecutar({accion, u"--ini"_s, e.ajustes.RutaIni}, ambiente);
        EXPECT_EQ(r.codigo, 2) << qPrintable(r.salida + r.errores);
        EXPECT_TRUE(r.salida.contains(u"Los valores cifrados no se pueden leer: la llave no "
                                      u"corresponde a estos valores"_s))
            << qPrintable(r.salida);
        EXPECT_TRUE(r.salida.contains(llave)) << qPrintable(r.salida);
        EXPECT_FALSE(r.salida.contains(u"Base de datos de la tienda"_s));
    }
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
    EXPECT_EQ(e.carpeta.leer(u"vendaro.ini"_s), antes);
    EXPECT_EQ(otraConfiguracion.leer(u"vendaro/vendaro.key"_s),
              QByteArray(32, 'k').toBase64() + "\n");
}

// The settings folder on a full disk: the defaults a check or a send would add are not written, the
// file stays whole, and both stop with exit code 2.
TEST(LineaComandos, ConfiguracionEnUnDiscoLleno) {
    Escenario e;
    e.mapeoBasico();
    e.productos(2);
    DiscoLleno disco;
    REQUIERE_DISCO(disco);
    // Without the keys the program adds with their defaults, and with notes of the owner's that
    // make it larger than a little room.
    QByteArray ini = e.carpeta.leer(u"vendaro.ini"_s);
    for (int i = 0; i < 120; ++i)
        ini += "; nota " + QByteArray::number(i) + " " + QByteArray(60, '-') + "\n";
    const QString ruta = disco.escribir(u"vendaro.ini"_s, ini);
    for (const qint64 libres : {qint64(0), qint64(4096)}) {
        SCOPED_TRACE(libres);
        disco.liberar();
        disco.llenar(libres);
        for (const QString& accion : {u"--check"_s, u"--send"_s}) {
            SCOPED_TRACE(qPrintable(accion));
            const Resultado r = ejecutar({accion, u"--ini"_s, ruta});
            EXPECT_EQ(r.codigo, 2) << qPrintable(r.salida + r.errores);
            EXPECT_TRUE(r.salida.contains(u"No se pudo escribir el archivo de configuración"_s))
                << qPrintable(r.salida);
            QFile f(ruta);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), ini);
        }
    }
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
    disco.liberar();
    const Resultado r = ejecutar({u"--send"_s, u"--ini"_s, ruta});
    EXPECT_EQ(r.codigo, 0) << qPrintable(r.salida + r.errores);

    // A folder the program may not write: its own message, not "a send is running".
    ASSERT_TRUE(disco.soloLectura(true));
    const Resultado soloLectura = ejecutar({u"--send"_s, u"--ini"_s, ruta});
    disco.soloLectura(false);
    EXPECT_EQ(soloLectura.codigo, 1);
    EXPECT_TRUE(soloLectura.salida.contains(u"No se puede escribir en la carpeta del archivo de "
                                            u"configuración"_s))
        << qPrintable(soloLectura.salida);
    EXPECT_FALSE(soloLectura.salida.contains(u"Ya hay un envío en curso"_s));
}

// A settings file that is no settings file is refused and left as it is; one cut short, or with a
// key twice, is reported by the check.
TEST(LineaComandos, ArchivoDeConfiguracionDanado) {
    Escenario e;
    e.mapeoBasico();
    e.ajustar(u"Dirección del FTP"_s, u" "_s);
    const QString ruta = e.ajustes.RutaIni;
    const QByteArray bueno = e.carpeta.leer(u"vendaro.ini"_s);

    const QByteArray basura =
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(300, '\x7f');
    for (const QByteArray& bytes :
         {basura, QByteArray("Querido cliente:\ngracias por su compra.\n")}) {
        e.carpeta.escribir(u"vendaro.ini"_s, bytes);
        for (const QString& accion : {u"--check"_s, u"--send"_s}) {
            SCOPED_TRACE(qPrintable(accion));
            const Resultado r = ejecutar({accion, u"--ini"_s, ruta});
            EXPECT_EQ(r.codigo, 2) << qPrintable(r.salida + r.errores);
            EXPECT_TRUE(r.salida.contains(u"no parece un archivo de configuración"_s))
                << qPrintable(r.salida);
            EXPECT_EQ(e.carpeta.leer(u"vendaro.ini"_s), bytes);
        }
    }

    // Cut in the middle of [Campos], with a key written twice above.
    QByteArray cortado = bueno;
    cortado.replace("[Configuración]\n", "[Configuración]\nPuerto=1\n");
    cortado += "Existencia.CampoWEB=quantity\nPeso.Campo";
    e.carpeta.escribir(u"vendaro.ini"_s, cortado);
    const Resultado r = ejecutar({u"--check"_s, u"--ini"_s, ruta});
    EXPECT_EQ(r.codigo, 1) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"no es una sección ni una clave (¿el archivo quedó cortado?)"_s))
        << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"«Peso.Campo»"_s)) << qPrintable(r.salida);
    EXPECT_TRUE(r.salida.contains(u"Aviso: en el archivo de configuración la clave «Puerto» de la "
                                  u"sección [Configuración] está en las líneas 2 y "_s))
        << qPrintable(r.salida);
}

// An account that may only read the shop: the check names what it may not do.
TEST(LineaComandos, ComprobarCuentaDeSoloLectura) {
    Escenario e;
    e.mapeoBasico();
    e.ajustar(u"Dirección del FTP"_s, u" "_s);
    const QString usuario = u"lee_"_s + e.tienda.nombre().right(6);
    e.tienda.ejecutar(u"CREATE USER '"_s + usuario +
                      u"'@'%' IDENTIFIED BY 'lee'; GRANT SELECT ON `"_s + e.tienda.nombre() +
                      u"`.* TO '"_s + usuario + u"'@'%';"_s);
    e.ajustar(u"Usuario WEB"_s, usuario);
    e.ajustar(u"Contraseña WEB"_s, u"lee"_s);
    const Resultado r = ejecutar({u"--check"_s, u"--ini"_s, e.ajustes.RutaIni});
    e.tienda.ejecutar(u"DROP USER '"_s + usuario + u"'@'%';"_s);
    EXPECT_EQ(r.codigo, 1) << qPrintable(r.salida + r.errores);
    EXPECT_TRUE(r.salida.contains(u"conexión correcta"_s)) << qPrintable(r.salida);
    for (const QString& que :
         {u"insertar filas en «oc_product»"_s, u"cambiar filas de «oc_product»"_s,
          u"insertar filas en «oc_product_description»"_s})
        EXPECT_TRUE(r.salida.contains(u"Relación de campos en la tienda: El usuario de la tienda "
                                      u"no puede "_s +
                                      que))
            << qPrintable(que) << qPrintable(r.salida);
}

TEST(LineaComandos, DosEnviosALaMismaTiendaNoDuplican) {
    Escenario e;
    e.mapeoBasico();
    e.productos(300);
    // A second settings file (a copied folder, another workstation) naming the same shop.
    CarpetaTemporal otra;
    const QString otroIni = otra.escribir(u"vendaro.ini"_s, e.carpeta.leer(u"vendaro.ini"_s));
    QProcess procesos[2];
    const QString inis[2] = {e.ajustes.RutaIni, otroIni};
    for (int i = 0; i < 2; ++i)
        procesos[i].start(entorno::ejecutable(), {u"--send"_s, u"--ini"_s, inis[i]});
    QString salidas;
    int codigos = 0;
    for (QProcess& p : procesos) {
        EXPECT_TRUE(p.waitForFinished(120000));
        salidas += QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        codigos += p.exitCode();
    }
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*), COUNT(DISTINCT model) FROM oc_product"_s),
              QStringList{u"300|300"_s})
        << qPrintable(salidas);
    // Either the second run waited for the first, or it ended saying who holds the shop.
    if (codigos != 0) {
        EXPECT_EQ(codigos, 1) << qPrintable(salidas);
        EXPECT_TRUE(salidas.contains(u"Otro envío a la tienda «"_s + e.tienda.nombre() +
                                     u"» está en curso desde 127.0.0.1:"_s))
            << qPrintable(salidas);
    }
}

TEST(LineaComandos, AyudaYVersion) {
    EXPECT_TRUE(ejecutar({u"--version"_s}).salida.startsWith(u"vendaro "_s));
    const Resultado ayuda = ejecutar({u"--help"_s});
    EXPECT_EQ(ayuda.codigo, 0);
    EXPECT_TRUE(ayuda.salida.contains(u"--send"_s));
    EXPECT_EQ(ejecutar({u"--mal"_s}).codigo, 2);
}
