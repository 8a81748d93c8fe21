#pragma once

#include "services/conexion.h"
#include "services/dialogos.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

// The throwaway servers of the test run (started by the ctest fixture): their addresses come from
// the file named by VENDARO_SERVIDORES, or from VENDARO_* variables that override it.
namespace entorno {
QString valor(const char* nombre);
DatosConexion mysql(const QString& base = QString());
// The CA that signed the test server's certificate, and another that signed nothing.
QString mysqlCa();
QString mysqlOtraCa();
// The port of a second MariaDB server, same user, that offers no TLS.
int mysqlSinTlsPuerto();
QString ftpHost();
int ftpPuerto();
int ftpsPuerto();
QString ftpUsuario();
QString ftpContrasena();
QString ftpRaiz();
QString ftpsRaiz();
QString ftpsCertificado();
// The DER bytes of a PEM file's first certificate; empty when it cannot be read.
QByteArray certificadoDer(const QString& pem);
// The built executable.
QString ejecutable();
// The text of a file of tests/data.
QString datos(const QString& nombre);
// Points the user's configuration folder (the key file's) at `carpeta`, keeping the old value for
// the caller to restore with qputenv("XDG_CONFIG_HOME", ...). False where the system takes it from
// no variable (Windows), where the test must skip.
bool moverCarpetaUsuario(const QString& carpeta, QByteArray* anterior = nullptr);
// Whether the tests run under Wine, which keeps no access list of a file: it answers from the Unix
// mode bits and drops a list it is given.
bool enWine();
// A path as a Linux program started from the test sees it: under Wine the Unix path of a Windows
// one (C:\users\... is a folder of the Wine prefix), elsewhere the path itself.
QString rutaParaLinux(const QString& ruta);
} // namespace entorno

// The owner-only checks of a file, skipped (with what was checked before them) where they cannot
// be made.
#define REQUIERE_LISTAS_DE_ACCESO()                                                                \
    if (entorno::enWine())                                                                         \
    GTEST_SKIP()                                                                                   \
        << "Wine no guarda la lista de acceso de un archivo: que solo su dueño lo lea no "        \
           "se puede comprobar aquí"

#define REQUIERE_CARPETA_USUARIO_MOVIBLE()                                                         \
    if (!entorno::moverCarpetaUsuario(qEnvironmentVariable("XDG_CONFIG_HOME")))                    \
    GTEST_SKIP() << "En Windows la carpeta del usuario no se puede cambiar por una variable"

// A loopback TCP listener that accepts connections and never answers.
class OyenteMudo {
public:
    OyenteMudo();
    ~OyenteMudo();
    bool listo() const { return m_socket >= 0; }
    int puerto() const { return m_puerto; }
    void cerrar();

private:
    qintptr m_socket = -1;
    int m_puerto = 0;
};

// A database of its own for one test, dropped at the end.
class BaseTemporal {
public:
    explicit BaseTemporal(const QString& prefijo = QStringLiteral("prueba"));
    ~BaseTemporal();
    const QString& nombre() const { return m_nombre; }
    DatosConexion datos() const { return entorno::mysql(m_nombre); }
    // Runs statements separated by ";" at the end of a line; fails the test on the first error.
    void ejecutar(const QString& sql);
    // The rows of a query, each as its values' texts ("NULL" for NULL) joined by "|".
    QStringList filas(const QString& sql);
    Conexion& conexion() { return m_cn; }

private:
    QString m_nombre;
    Conexion m_cn;
};

// Records every message box and answers from a queue (Yes/No questions take No when it is empty).
class DialogosDePrueba : public Dialogos {
public:
    DialogosDePrueba() { Dialogos::instalar(this); }
    ~DialogosDePrueba() override { Dialogos::instalar(nullptr); }
    int mostrar(const Caja& caja) override;
    QList<Caja> cajas;
    QList<int> respuestas;
};

// Collects the log lines written while it lives.
class CapturaBitacora {
public:
    CapturaBitacora();
    ~CapturaBitacora();
    QStringList lineas() const;
    bool contiene(const QString& texto) const;
};

// A temporary folder with helpers to write and read files in it.
class CarpetaTemporal {
public:
    QString ruta(const QString& nombre) const { return m_dir.filePath(nombre); }
    QString escribir(const QString& nombre, const QByteArray& contenido) const;
    QByteArray leer(const QString& nombre) const;
    QString raiz() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// A small file system of its own (a tmpfs) that llenar() fills, where writes then fail as on a
// full disk. Mounting needs root, or an unprivileged user namespace for this test process
// (each test runs in a process of its own); without either, listo() is false and why() says so.
class DiscoLleno {
public:
    DiscoLleno();
    ~DiscoLleno();
    bool listo() const { return m_montado; }
    QString porque() const { return m_porque; }
    QString ruta(const QString& nombre) const { return m_carpeta.path() + u'/' + nombre; }
    QString raiz() const { return m_carpeta.path(); }
    // Writes a file while there is room, before filling (or after liberar()).
    QString escribir(const QString& nombre, const QByteArray& contenido) const;
    // Fills the rest, leaving `libres` bytes (rounded up to the file system's pages).
    void llenar(qint64 libres);
    // Frees the space the filler took.
    void liberar();
    // Remounts the file system read-only (or writable again), as a folder one may not write.
    bool soloLectura(bool si);

private:
    QTemporaryDir m_carpeta;
    bool m_montado = false;
    QString m_porque;
};
#define REQUIERE_DISCO(disco)                                                                      \
    if (!(disco).listo())                                                                          \
    GTEST_SKIP() << qPrintable((disco).porque())

// Readable failure messages for Qt's text types.
#include <ostream>
inline void PrintTo(const QString& texto, std::ostream* os) {
    *os << '"' << texto.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const QStringList& lista, std::ostream* os) {
    *os << '[' << lista.join(QStringLiteral(" ; ")).toStdString() << ']';
}
