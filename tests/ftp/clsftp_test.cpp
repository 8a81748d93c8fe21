// The FTP client against the fixture's real servers, plain and with explicit TLS. Each test works
// in a folder of its own on the server and checks the server's files on disk.
#include "config/ajustes.h"
#include "config/certificado_ftp.h"
#include "ftp/clsftp.h"
#include "support/entorno.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
using Eventos = QList<std::pair<qint64, qint64>>;

// What an upload of n bytes reports: every full 255-byte chunk, then (n, n).
Eventos esperados(qint64 n) {
    Eventos e;
    for (qint64 enviados = 255; enviados <= n; enviados += 255)
        e.append({enviados, n});
    e.append({n, n});
    return e;
}

QByteArray datos(qsizetype n, quint32 semilla = 7) {
    QByteArray d(n, Qt::Uninitialized);
    QRandomGenerator g(semilla);
    for (qsizetype i = 0; i < n; ++i)
        d[i] = char(g.bounded(256));
    return d;
}

// Collects the progress signals of a client while it lives.
class Progreso {
public:
    explicit Progreso(clsFTP& ftp) {
        m_conexion = QObject::connect(&ftp, &clsFTP::FileTransferProgress,
                                      [this](qint64 actual, qint64 total) {
                                          eventos.append({actual, total});
                                      });
    }
    ~Progreso() { QObject::disconnect(m_conexion); }
    Eventos eventos;

private:
    QMetaObject::Connection m_conexion;
};

struct TipoServidor {
    const char* nombre;
    bool tls;
};

class PruebaFTP : public ::testing::TestWithParam<TipoServidor> {
protected:
    void SetUp() override {
        m_raiz = GetParam().tls ? entorno::ftpsRaiz() : entorno::ftpRaiz();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_carpeta = u"t_%1_%2_%3"_s.arg(QString::fromLatin1(info->name()).section(u'/', 0, 0))
                        .arg(QCoreApplication::applicationPid())
                        .arg(QRandomGenerator::global()->bounded(1000000));
        ASSERT_TRUE(QDir(m_raiz).mkpath(m_carpeta));
        preparar(ftp);
        ASSERT_TRUE(
            ftp.OpenConnection(direccion(), entorno::ftpUsuario(), entorno::ftpContrasena()))
            << ftp.GetLastErrorMessage().toStdString();
        ASSERT_TRUE(ftp.SetFTPDirectory(m_carpeta)) << ftp.GetLastErrorMessage().toStdString();
    }

    void TearDown() override {
        ftp.CloseConnection();
        QDir(m_raiz + u'/' + m_carpeta).removeRecursively();
    }

    // A bare host: the TLS server is reached by explicit TLS, which it requires.
    QString direccion() const {
        return entorno::ftpHost() + u':' +
               QString::number(GetParam().tls ? entorno::ftpsPuerto() : entorno::ftpPuerto());
    }

    void preparar(clsFTP& c) const {
        c.SetTransferBinary();
        c.SetModePassive();
        if (GetParam().tls)
            c.SetCAFile(entorno::ftpsCertificado());
    }

    QString enServidor(const QString& nombre) const {
        return m_raiz + u'/' + m_carpeta + u'/' + nombre;
    }
    QByteArray leerServidor(const QString& nombre) const {
        QFile f(enServidor(nombre));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
    }
    void escribirServidor(const QString& nombre, const QByteArray& contenido) const {
        QFile f(enServidor(nombre));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contenido);
    }
    // Everything in the test's folder, hidden files included.
    QStringList enCarpeta(const QString& sub = QString()) const {
        return QDir(m_raiz + u'/' + m_carpeta + u'/' + sub)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    clsFTP ftp;
    CarpetaTemporal local;
    QString m_raiz;
    QString m_carpeta;
};

TEST_P(PruebaFTP, SubidaConProgresoPorTrozos) {
    for (const qint64 n : {0, 255, 510, 300000}) {
        SCOPED_TRACE(n);
        const QByteArray contenido = datos(n);
        const QString nombre = u"archivo_%1.bin"_s.arg(n);
        Progreso progreso(ftp);
        ASSERT_TRUE(ftp.FTPUploadFile(local.escribir(nombre, contenido), nombre))
            << ftp.GetLastErrorMessage().toStdString();
        EXPECT_EQ(progreso.eventos, esperados(n));
        EXPECT_EQ(leerServidor(nombre), contenido);
    }

    // a shorter file replaces a longer one completely
    escribirServidor(u"reemplazo.txt"_s, QByteArray(2000, 'v'));
    ASSERT_TRUE(ftp.FTPUploadFile(local.escribir(u"r"_s, "nuevo"), u" reemplazo.txt "_s))
        << "paths are trimmed";
    EXPECT_EQ(leerServidor(u"reemplazo.txt"_s), "nuevo");

    ASSERT_TRUE(ftp.SimpleFTPPutFile(local.escribir(u"s"_s, datos(1000, 3)), u"simple.bin"_s));
    EXPECT_EQ(leerServidor(u"simple.bin"_s), datos(1000, 3));

    // no temporary file is left behind
    EXPECT_EQ(enCarpeta(),
              (QStringList{u"archivo_0.bin"_s, u"archivo_255.bin"_s, u"archivo_300000.bin"_s,
                           u"archivo_510.bin"_s, u"reemplazo.txt"_s, u"simple.bin"_s}));
}

TEST_P(PruebaFTP, DescargaSobrescribeUnArchivoLocalMasLargo) {
    const QByteArray remoto = datos(300, 11);
    escribirServidor(u"remoto.bin"_s, remoto);
    const QString destino = local.escribir(u"destino.bin"_s, QByteArray(1000, 'X'));

    Progreso progreso(ftp);
    ASSERT_TRUE(ftp.FTPDownloadFile(destino, u"remoto.bin"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(local.leer(u"destino.bin"_s), remoto);
    EXPECT_EQ(progreso.eventos, (Eventos{{255, 300}, {300, 300}})) << "real byte counts";

    // the whole-file form, without progress
    const QString otro = local.escribir(u"otro.bin"_s, QByteArray(5000, 'Y'));
    progreso.eventos.clear();
    ASSERT_TRUE(ftp.SimpleFTPGetFile(otro, u"remoto.bin"_s));
    EXPECT_EQ(local.leer(u"otro.bin"_s), remoto);
    EXPECT_TRUE(progreso.eventos.isEmpty());

    // a missing remote file: false, nothing recorded, the local file untouched
    const QString antes = ftp.GetLastErrorMessage();
    EXPECT_FALSE(ftp.FTPDownloadFile(destino, u"falta.bin"_s));
    EXPECT_EQ(ftp.GetLastErrorMessage(), antes);
    EXPECT_FALSE(ftp.SimpleFTPGetFile(destino, u"falta.bin"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"550"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(local.leer(u"destino.bin"_s), remoto) << "a failed download keeps the old file";
}

TEST_P(PruebaFTP, ArchivosYCarpetasRemotos) {
    EXPECT_EQ(ftp.GetFTPDirectory(), u'/' + m_carpeta);

    // create, enter, upload, rename
    ASSERT_TRUE(ftp.CreateFTPDirectory(u"sub carpeta"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(QFileInfo(enServidor(u"sub carpeta"_s)).isDir());
    ASSERT_TRUE(ftp.SetFTPDirectory(u"sub carpeta"_s));
    EXPECT_EQ(ftp.GetFTPDirectory(), u'/' + m_carpeta + u"/sub carpeta"_s);
    ASSERT_TRUE(ftp.SimpleFTPPutFile(local.escribir(u"a"_s, "hola"), u"a.txt"_s));
    ASSERT_TRUE(ftp.RenameFTPFile(u"a.txt"_s, u"b c.txt"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(enCarpeta(u"sub carpeta"_s), QStringList{u"b c.txt"_s});
    ASSERT_TRUE(ftp.SetFTPDirectory(u".."_s));
    EXPECT_EQ(ftp.GetFTPDirectory(), u'/' + m_carpeta);

    // a folder in the address becomes the current one
    clsFTP otro;
    preparar(otro);
    ASSERT_TRUE(otro.OpenConnection(direccion() + u'/' + m_carpeta + u"/sub carpeta/"_s,
                                    entorno::ftpUsuario(), entorno::ftpContrasena()))
        << otro.GetLastErrorMessage().toStdString();
    EXPECT_EQ(otro.GetFTPDirectory(), u'/' + m_carpeta + u"/sub carpeta"_s);
    EXPECT_EQ(otro.GetFTPFileSize(u"b c.txt"_s), 4);
    ASSERT_TRUE(otro.SetFTPDirectory(u"../../../.."_s)) << "above the root is the root";
    EXPECT_EQ(otro.GetFTPDirectory(), u"/"_s);
    EXPECT_FALSE(otro.OpenConnection(direccion() + u"/no existe"_s, entorno::ftpUsuario(),
                                     entorno::ftpContrasena()));
    EXPECT_TRUE(otro.GetLastErrorMessage().startsWith(u"550"_s));
    EXPECT_FALSE(otro.IsConnected());

    // a folder that is not empty is refused with the server's reply
    EXPECT_FALSE(ftp.RemoveFTPDirectory(u"sub carpeta"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"550"_s))
        << ftp.GetLastErrorMessage().toStdString();
    ASSERT_TRUE(ftp.DeleteFTPFile(u"sub carpeta/b c.txt"_s));
    ASSERT_TRUE(ftp.RemoveFTPDirectory(u"sub carpeta"_s));
    EXPECT_TRUE(enCarpeta().isEmpty());

    // missing things
    EXPECT_FALSE(ftp.DeleteFTPFile(u"falta.txt"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"550"_s));
    EXPECT_FALSE(ftp.RenameFTPFile(u"falta.txt"_s, u"otro.txt"_s));
    EXPECT_FALSE(ftp.SetFTPDirectory(u"no existe"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"550"_s));
    EXPECT_EQ(ftp.GetFTPDirectory(), u'/' + m_carpeta) << "the current folder stays";

    // a name with a line break never reaches the server as a second command
    escribirServidor(u"y"_s, "y");
    EXPECT_FALSE(ftp.DeleteFTPFile(u"x\r\nDELE y"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"saltos de línea"_s));
    EXPECT_EQ(enCarpeta(), QStringList{u"y"_s});
}

TEST_P(PruebaFTP, CarpetaConSusPadres) {
    // each missing level is made; an existing one is no error
    ASSERT_TRUE(ftp.CreateFTPDirectoryPath(u"image/catalog/pos/"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(QFileInfo(enServidor(u"image/catalog/pos"_s)).isDir());
    ASSERT_TRUE(ftp.CreateFTPDirectoryPath(u"/"_s + m_carpeta + u"/image/catalog/otra"_s));
    ASSERT_TRUE(ftp.CreateFTPDirectoryPath(u"image"_s));
    EXPECT_EQ(enCarpeta(u"image/catalog"_s), (QStringList{u"otra"_s, u"pos"_s}));
    EXPECT_EQ(ftp.GetFTPDirectory(), u'/' + m_carpeta) << "the current folder stays";

    // a file where a level should be: one error that names the folder
    escribirServidor(u"archivo"_s, "x");
    EXPECT_FALSE(ftp.CreateFTPDirectoryPath(u"archivo/sub"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"No se pudo crear la carpeta «/"_s + m_carpeta +
                                                   u"/archivo/sub»"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_FALSE(ftp.LastErrorIsConnectionFailure());
    EXPECT_TRUE(ftp.IsConnected());
}

TEST_P(PruebaFTP, TamanosDeArchivos) {
    escribirServidor(u"foto con espacios.jpg"_s, QByteArray(1234, 'a'));
    escribirServidor(u"foto_con_espacios.jpg"_s, QByteArray(10, 'b'));
    escribirServidor(u"vacio.jpg"_s, QByteArray());

    EXPECT_EQ(ftp.GetFTPFileSize(u"foto con espacios.jpg"_s), 1234);
    EXPECT_EQ(ftp.GetFTPFileSize(u"foto_con_espacios.jpg"_s), 10) << "no wildcard confusion";
    EXPECT_EQ(ftp.GetFTPFileSize(u'/' + m_carpeta + u"/foto con espacios.jpg"_s), 1234);
    EXPECT_EQ(ftp.GetFTPFileSize(u"vacio.jpg"_s), 0);

    const QString antes = ftp.GetLastErrorMessage();
    EXPECT_EQ(ftp.GetFTPFileSize(u"falta.jpg"_s), -1);
    EXPECT_EQ(ftp.GetFTPFileSize(u"FOTO CON ESPACIOS.JPG"_s), -1) << "names are exact";
    EXPECT_EQ(ftp.GetLastErrorMessage(), antes) << "a missing file is not an error";

    EXPECT_EQ(ftp.GetFTPFileSize(u"no existe/x.jpg"_s), -2);
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"550"_s));
}

TEST_P(PruebaFTP, ListadoConAtributosYHoras) {
    const QList<std::pair<QString, QDateTime>> archivos = {
        {u"uno.jpg"_s, QDateTime(QDate(2023, 5, 6), QTime(7, 8, 9), QTimeZone::utc())},
        {u"dos con espacio.jpg"_s,
         QDateTime(QDate(2021, 1, 2), QTime(23, 59, 58), QTimeZone::utc())},
        {u"tres.jpg"_s, QDateTime(QDate(2024, 2, 29), QTime(12, 0, 0), QTimeZone::utc())}};
    for (qsizetype i = 0; i < archivos.size(); ++i) {
        escribirServidor(archivos[i].first, QByteArray(100 * (i + 1), 'z'));
        QFile f(enServidor(archivos[i].first));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(archivos[i].second, QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(QDir().mkpath(enServidor(u"img"_s)));
    escribirServidor(u"nota.txt"_s, "x");

    const cDirList* lista = ftp.GetDirectoryListing(u"*.jpg"_s);
    ASSERT_NE(lista, nullptr) << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(lista, &ftp.Directory());
    ASSERT_EQ(lista->Count(), 3);
    QStringList porPosicion;
    for (qsizetype i = 1; i <= 3; ++i)
        porPosicion.append(lista->Item(i)->filename);
    porPosicion.sort();
    EXPECT_EQ(porPosicion, (QStringList{u"dos con espacio.jpg"_s, u"tres.jpg"_s, u"uno.jpg"_s}));
    for (qsizetype i = 0; i < archivos.size(); ++i) {
        SCOPED_TRACE(archivos[i].first.toStdString());
        const cDirItem* item = lista->Item(archivos[i].first.toUpper());
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->FileSize, 100 * (i + 1));
        EXPECT_TRUE(item->Normal);
        EXPECT_FALSE(item->Directory || item->ReadOnly || item->Hidden);
        EXPECT_EQ(item->LastWriteDateTime(), archivos[i].second);
        EXPECT_DOUBLE_EQ(item->LastWriteTime(), DateValue(archivos[i].second));
    }

    // the whole folder, folders flagged
    lista = ftp.GetDirectoryListing(QString());
    ASSERT_NE(lista, nullptr);
    EXPECT_EQ(lista->Count(), 5);
    ASSERT_NE(lista->Item(u"img"_s), nullptr);
    EXPECT_TRUE(lista->Item(u"img"_s)->Directory);
    EXPECT_FALSE(lista->Item(u"img"_s)->Normal);
    EXPECT_EQ(ftp.GetDirectoryListing(u'/' + m_carpeta + u'/')->Count(), 5);

    // nothing matches: no list, nothing recorded, Directory empty
    const QString antes = ftp.GetLastErrorMessage();
    EXPECT_EQ(ftp.GetDirectoryListing(u"*.gif"_s), nullptr);
    EXPECT_EQ(ftp.Directory().Count(), 0);
    EXPECT_EQ(ftp.GetLastErrorMessage(), antes);

    // a folder that does not exist is an error
    EXPECT_EQ(ftp.GetDirectoryListing(u"no existe/*"_s), nullptr);
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"550"_s))
        << ftp.GetLastErrorMessage().toStdString();

    // names differing only in case are both kept; lookup finds the first
    if (QDir::separator() == u'\\')
        GTEST_SKIP() << "En Windows esta prueba no puede dejar en el servidor dos archivos cuyos "
                        "nombres solo difieren en mayúsculas";
    escribirServidor(u"Caso.png"_s, "1");
    escribirServidor(u"caso.png"_s, "22");
    lista = ftp.GetDirectoryListing(u"*.png"_s);
    ASSERT_NE(lista, nullptr);
    ASSERT_EQ(lista->Count(), 2);
    EXPECT_EQ(lista->Item(u"CASO.PNG"_s), lista->Item(1));
}

TEST_P(PruebaFTP, ErroresConSuMensaje) {
    // wrong password: the server's reply
    clsFTP otro;
    preparar(otro);
    EXPECT_FALSE(otro.OpenConnection(direccion(), entorno::ftpUsuario(), u"mala"_s));
    EXPECT_EQ(otro.GetLastErrorMessage(), u"530 Authentication failed."_s);
    EXPECT_FALSE(otro.IsConnected());

    // nothing listens: libcurl's code and text under the connection's name
    EXPECT_FALSE(otro.OpenConnection(entorno::ftpHost() + u":1"_s, u"a"_s, u"b"_s));
    EXPECT_TRUE(otro.GetLastErrorMessage().startsWith(u"InternetConnect error code: 7 Message: "_s))
        << otro.GetLastErrorMessage().toStdString();

    // without a connection every operation fails and says why
    EXPECT_FALSE(otro.DeleteFTPFile(u"x"_s));
    EXPECT_TRUE(otro.GetLastErrorMessage().startsWith(u"DeleteFTPFile error code: -1"_s));
    EXPECT_TRUE(otro.GetFTPDirectory().isEmpty());
    EXPECT_TRUE(otro.GetLastErrorMessage().startsWith(u"FtpGetCurrentDirectory"_s));
    EXPECT_EQ(otro.GetFTPFileSize(u"x"_s), -2);
    EXPECT_EQ(otro.GetDirectoryListing(u"*"_s), nullptr);
    EXPECT_FALSE(otro.FTPUploadFile(local.escribir(u"x"_s, "x"), u"x"_s));
    EXPECT_TRUE(otro.GetLastErrorMessage().startsWith(u"FtpOpenFile:PutFile"_s));

    // a refused folder: the server's reply, and nothing left on the server
    EXPECT_FALSE(ftp.FTPUploadFile(local.escribir(u"f"_s, "f"), u"/no/existe/f.jpg"_s));
    EXPECT_EQ(ftp.GetLastErrorMessage(), u"550 No such file or directory."_s);

    // blank paths: false, nothing recorded
    const QString antes = ftp.GetLastErrorMessage();
    EXPECT_FALSE(ftp.FTPUploadFile(u"   "_s, u"x.jpg"_s));
    EXPECT_FALSE(ftp.FTPUploadFile(local.ruta(u"f"_s), u" "_s));
    EXPECT_FALSE(ftp.FTPDownloadFile(QString(), u"x.jpg"_s));
    EXPECT_EQ(ftp.GetLastErrorMessage(), antes);

    // a local file that cannot be read
    EXPECT_FALSE(ftp.FTPUploadFile(local.ruta(u"no_existe.jpg"_s), u"x.jpg"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"no_existe.jpg"_s));
    EXPECT_TRUE(enCarpeta().isEmpty());
}

TEST_P(PruebaFTP, SubidaDetenidaConBlSigueNoDejaArchivo) {
    escribirServidor(u"foto.jpg"_s, "versión anterior");
    const QString archivo = local.escribir(u"foto.jpg"_s, datos(300000));
    QObject::connect(&ftp, &clsFTP::FileTransferProgress, [this](qint64 actual, qint64) {
        if (actual >= 1020)
            ftp.setblSigue(false);
    });
    Progreso progreso(ftp);

    EXPECT_FALSE(ftp.FTPUploadFile(archivo, u"foto.jpg"_s));
    EXPECT_TRUE(ftp.GetLastErrorMessage().startsWith(u"InternetWriteFile error code: 42"_s))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"blSigue"_s));
    ASSERT_FALSE(progreso.eventos.isEmpty());
    EXPECT_EQ(progreso.eventos.last(), (std::pair<qint64, qint64>{1020, 300000}));
    EXPECT_EQ(leerServidor(u"foto.jpg"_s), "versión anterior") << "the old picture stays whole";
    EXPECT_EQ(enCarpeta(), QStringList{u"foto.jpg"_s}) << "no partial file under any name";

    // blSigue stays as the caller left it
    EXPECT_FALSE(ftp.blSigue());
    EXPECT_FALSE(ftp.FTPUploadFile(archivo, u"foto.jpg"_s));
    ftp.setblSigue(true);
    QObject::disconnect(&ftp, &clsFTP::FileTransferProgress, nullptr, nullptr);
    ASSERT_TRUE(ftp.FTPUploadFile(archivo, u"foto.jpg"_s));
    EXPECT_EQ(leerServidor(u"foto.jpg"_s), datos(300000));
}

TEST_P(PruebaFTP, ModoActivoYTextoASCII) {
    clsFTP activo;
    preparar(activo);
    activo.SetModeActive();
    ASSERT_TRUE(
        activo.OpenConnection(direccion(), entorno::ftpUsuario(), entorno::ftpContrasena()));
    ASSERT_TRUE(activo.SetFTPDirectory(m_carpeta));
    ASSERT_TRUE(activo.FTPUploadFile(local.escribir(u"a"_s, datos(600)), u"activo.bin"_s))
        << activo.GetLastErrorMessage().toStdString();
    EXPECT_EQ(leerServidor(u"activo.bin"_s), datos(600));
    EXPECT_EQ(activo.GetFTPFileSize(u"activo.bin"_s), 600);

    // ASCII transfers: lines travel with CR LF and each side writes its own line ends. A Unix
    // client writes LF and reads a lone CR as a line end too; on Windows CR LF is the local form,
    // so the lines are kept as they travelled and a lone CR stays what it was.
    escribirServidor(u"texto.txt"_s, "a\rb\n");
    ftp.SetTransferASCII();
    ASSERT_TRUE(ftp.SimpleFTPGetFile(local.ruta(u"t"_s), u"texto.txt"_s));
    const bool windows = QSysInfo::kernelType() == u"winnt"_s;
    EXPECT_EQ(local.leer(u"t"_s), windows ? QByteArray("a\rb\r\n") : QByteArray("a\nb\n"));
    ASSERT_TRUE(ftp.SimpleFTPPutFile(local.escribir(u"u"_s, "c\nd\n"), u"subido.txt"_s));
    EXPECT_EQ(leerServidor(u"subido.txt"_s), QByteArray("c\nd\n"));
    ftp.SetTransferBinary();
    ASSERT_TRUE(ftp.SimpleFTPGetFile(local.ruta(u"t"_s), u"texto.txt"_s));
    EXPECT_EQ(local.leer(u"t"_s), QByteArray("a\rb\n"));
}

TEST_P(PruebaFTP, SubidaEnOtroHiloConProgresoEnElPrincipal) {
    // As in a send run: the client works on a worker thread and the window's thread gets the
    // progress queued.
    const QString archivo = local.escribir(u"hilo.bin"_s, datos(2000));
    QObject receptor;
    Eventos recibidos;
    QObject::connect(&ftp, &clsFTP::FileTransferProgress, &receptor, [&](qint64 a, qint64 b) {
        EXPECT_EQ(QThread::currentThread(), receptor.thread());
        recibidos.append({a, b});
    });
    bool resultado = false;
    QThread* hilo = QThread::create([&] { resultado = ftp.FTPUploadFile(archivo, u"hilo.bin"_s); });
    hilo->start();
    ASSERT_TRUE(hilo->wait(60000));
    delete hilo;
    QCoreApplication::processEvents();
    EXPECT_TRUE(resultado) << ftp.GetLastErrorMessage().toStdString();
    EXPECT_EQ(recibidos, esperados(2000));
    EXPECT_EQ(leerServidor(u"hilo.bin"_s), datos(2000));
}

INSTANTIATE_TEST_SUITE_P(Servidores, PruebaFTP,
                         ::testing::Values(TipoServidor{"plano", false}, TipoServidor{"tls", true}),
                         [](const ::testing::TestParamInfo<TipoServidor>& i) {
                             return std::string(i.param.nombre);
                         });

// The SHA-256 of a PEM certificate file, in hexadecimal.
QByteArray huellaDe(const QString& pem) {
    return QCryptographicHash::hash(entorno::certificadoDer(pem), QCryptographicHash::Sha256)
        .toHex();
}

TEST(CertificadoFTP, SeRechazaSiNoVerificaSalvoSuHuella) {
    const QString servidor = entorno::ftpHost() + u':' + QString::number(entorno::ftpsPuerto());
    const QByteArray huella = huellaDe(entorno::ftpsCertificado());
    ASSERT_EQ(huella.size(), 64);
    clsFTP ftp;
    ftp.SetTransferBinary();
    ftp.SetModePassive();

    // a self-signed certificate the system does not trust: refused, with what it is
    EXPECT_FALSE(ftp.OpenConnection(servidor, entorno::ftpUsuario(), entorno::ftpContrasena()));
    const QString mensaje = ftp.GetLastErrorMessage();
    EXPECT_TRUE(mensaje.startsWith(u"InternetConnect error code: 60"_s)) << mensaje.toStdString();
    EXPECT_TRUE(mensaje.contains(u"sha256:"_s + QString::fromLatin1(huella)))
        << mensaje.toStdString();
    EXPECT_TRUE(ftp.LastErrorIsUnverifiedCertificate());
    EXPECT_EQ(ftp.PeerCertificateSha256(), huella);
    // the program's message gives the settings line that accepts it
    Ajustes ajustes;
    ajustes.DireccionFTP = servidor;
    EXPECT_TRUE(MensajeErrorFTP(ftp, ajustes)
                    .endsWith(u"Aceptar certificado FTP de="_s + entorno::ftpHost() +
                              u" sha256:"_s + QString::fromLatin1(huella)))
        << MensajeErrorFTP(ftp, ajustes).toStdString();

    // that certificate for another host, or another certificate for this host: refused
    ftp.SetAcceptedCertificate(u"otro.servidor.com"_s, huella);
    EXPECT_FALSE(ftp.OpenConnection(servidor, entorno::ftpUsuario(), entorno::ftpContrasena()));
    QByteArray otra = huella;
    otra[0] = otra[0] == '0' ? '1' : '0';
    ftp.SetAcceptedCertificate(entorno::ftpHost(), otra);
    EXPECT_FALSE(ftp.OpenConnection(servidor, entorno::ftpUsuario(), entorno::ftpContrasena()));
    EXPECT_TRUE(ftp.GetLastErrorMessage().contains(u"no es el aceptado"_s))
        << ftp.GetLastErrorMessage().toStdString();

    // the old form with the host alone accepts nothing any more
    ajustes.ServidorFTPAceptado = entorno::ftpHost();
    PrepararClienteFTP(ftp, ajustes);
    EXPECT_FALSE(ftp.OpenConnection(servidor, entorno::ftpUsuario(), entorno::ftpContrasena()));

    // accepted by its fingerprint, written as openssl prints it: it connects and works
    QByteArray conDosPuntos;
    for (qsizetype i = 0; i < huella.size(); i += 2)
        conDosPuntos += (i ? ":" : "") + huella.mid(i, 2).toUpper();
    ajustes.ServidorFTPAceptado =
        entorno::ftpHost() + u" sha256:"_s + QString::fromLatin1(conDosPuntos);
    PrepararClienteFTP(ftp, ajustes);
    ASSERT_TRUE(ftp.OpenConnection(servidor, entorno::ftpUsuario(), entorno::ftpContrasena()))
        << ftp.GetLastErrorMessage().toStdString();
    EXPECT_TRUE(ftp.IsEncrypted());
    EXPECT_GE(ftp.GetFTPFileSize(u"/no-existe"_s), -1);

    // a plain server is not encrypted (what --check warns about)
    clsFTP plano;
    ASSERT_TRUE(
        plano.OpenConnection(entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()),
                             entorno::ftpUsuario(), entorno::ftpContrasena()));
    EXPECT_FALSE(plano.IsEncrypted());

    // trusted through a CA file, TLS required by the address
    clsFTP confiado;
    confiado.SetCAFile(entorno::ftpsCertificado());
    EXPECT_TRUE(confiado.OpenConnection(u"ftpes://"_s + servidor, entorno::ftpUsuario(),
                                        entorno::ftpContrasena()))
        << confiado.GetLastErrorMessage().toStdString();

    // TLS required from a server without it: refused
    EXPECT_FALSE(confiado.OpenConnection(u"ftpes://"_s + entorno::ftpHost() + u':' +
                                             QString::number(entorno::ftpPuerto()),
                                         entorno::ftpUsuario(), entorno::ftpContrasena()));
    EXPECT_FALSE(confiado.IsConnected());
    EXPECT_TRUE(confiado.GetLastErrorMessage().contains(u"no ofrece TLS"_s))
        << confiado.GetLastErrorMessage().toStdString();
}

// Without the system's CA bundle (ca-certificates not installed) libcurl cannot even start the
// handshake; the error must say what is missing. A CA file that does not exist fails the same way.
TEST(CertificadoFTP, SinAutoridadesInstaladasLoDice) {
    const QString faltante = entorno::ftpsCertificado() + u".no-existe"_s;
    ASSERT_FALSE(QFileInfo::exists(faltante));
    clsFTP ftp;
    ftp.SetCAFile(faltante);
    EXPECT_FALSE(
        ftp.OpenConnection(entorno::ftpHost() + u':' + QString::number(entorno::ftpsPuerto()),
                           entorno::ftpUsuario(), entorno::ftpContrasena()));
    EXPECT_FALSE(ftp.IsConnected());
    const QString mensaje = ftp.GetLastErrorMessage();
    EXPECT_TRUE(mensaje.startsWith(u"InternetConnect error code: 77"_s)) << mensaje.toStdString();
    EXPECT_TRUE(mensaje.contains(
        u"no hay certificados de autoridades instalados (paquete ca-certificates)"_s))
        << mensaje.toStdString();
    EXPECT_TRUE(mensaje.contains(faltante)) << mensaje.toStdString();
}
} // namespace
