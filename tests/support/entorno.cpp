#include "entorno.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace entorno {
namespace {
QHash<QString, QString> leerArchivo() {
    QHash<QString, QString> valores;
    const QString ruta = qEnvironmentVariable("VENDARO_SERVIDORES");
    if (ruta.isEmpty())
        return valores;
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return valores;
    for (const QByteArray& linea : f.readAll().split('\n')) {
        const qsizetype igual = linea.indexOf('=');
        if (igual > 0)
            valores.insert(QString::fromUtf8(linea.left(igual)),
                           QString::fromUtf8(linea.mid(igual + 1)).trimmed());
    }
    return valores;
}
} // namespace

QString valor(const char* nombre) {
    const QString propio = qEnvironmentVariable(nombre);
    if (!propio.isEmpty())
        return propio;
    static const QHash<QString, QString> archivo = leerArchivo();
    const QString v = archivo.value(QString::fromLatin1(nombre));
    if (v.isEmpty())
        ADD_FAILURE() << "Los servidores de prueba no están en marcha: falta " << nombre
                      << " (VENDARO_SERVIDORES="
                      << qPrintable(qEnvironmentVariable("VENDARO_SERVIDORES")) << ")";
    return v;
}

DatosConexion mysql(const QString& base) {
    return DatosConexion{valor("VENDARO_MYSQL_HOST"),
                         valor("VENDARO_MYSQL_PORT").toInt(),
                         valor("VENDARO_MYSQL_USER"),
                         valor("VENDARO_MYSQL_PASSWORD"),
                         base,
                         {}};
}
QString mysqlCa() {
    return valor("VENDARO_MYSQL_CA");
}
QString mysqlOtraCa() {
    return valor("VENDARO_MYSQL_OTRA_CA");
}
int mysqlSinTlsPuerto() {
    return valor("VENDARO_MYSQL_SIN_TLS_PORT").toInt();
}
QString ftpHost() {
    return valor("VENDARO_FTP_HOST");
}
int ftpPuerto() {
    return valor("VENDARO_FTP_PORT").toInt();
}
int ftpsPuerto() {
    return valor("VENDARO_FTPS_PORT").toInt();
}
QString ftpUsuario() {
    return valor("VENDARO_FTP_USER");
}
QString ftpContrasena() {
    return valor("VENDARO_FTP_PASSWORD");
}
QString ftpRaiz() {
    return valor("VENDARO_FTP_ROOT");
}
QString ftpsRaiz() {
    return valor("VENDARO_FTPS_ROOT");
}
QString ftpsCertificado() {
    return valor("VENDARO_FTPS_CERT");
}
QByteArray certificadoDer(const QString& pem) {
    QFile f(pem);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray texto = f.readAll();
    const QByteArray inicio = "-----BEGIN CERTIFICATE-----";
    const qsizetype i = texto.indexOf(inicio);
    const qsizetype fin = texto.indexOf("-----END", i);
    if (i < 0 || fin < 0)
        return {};
    const qsizetype desde = i + inicio.size();
    return QByteArray::fromBase64(texto.mid(desde, fin - desde).simplified());
}
QString ejecutable() {
    return QStringLiteral(VENDARO_EXE);
}
QString datos(const QString& nombre) {
    QFile f(QStringLiteral(VENDARO_DATOS) + u'/' + nombre);
    if (!f.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "No se encontró tests/data/" << qPrintable(nombre);
    return QString::fromUtf8(f.readAll());
}
} // namespace entorno

BaseTemporal::BaseTemporal(const QString& prefijo) {
    m_nombre = prefijo + u'_' + QString::number(QCoreApplication::applicationPid()) + u'_' +
               QString::number(QRandomGenerator::global()->generate() % 1000000);
    Conexion raiz;
    if (!raiz.abrir(entorno::mysql(), OpcionesConexion{})) {
        ADD_FAILURE() << "No se pudo conectar al servidor MariaDB de prueba: "
                      << qPrintable(raiz.ultimoError());
        return;
    }
    if (!raiz.Execute(u"CREATE DATABASE "_s + Conexion::identificador(m_nombre) +
                      u" CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci"_s))
        ADD_FAILURE() << qPrintable(raiz.ultimoError());
    if (!m_cn.abrir(datos(), OpcionesConexion{}))
        ADD_FAILURE() << qPrintable(m_cn.ultimoError());
}

BaseTemporal::~BaseTemporal() {
    m_cn.cerrar();
    Conexion raiz;
    if (raiz.abrir(entorno::mysql(), OpcionesConexion{}))
        raiz.Execute(u"DROP DATABASE IF EXISTS "_s + Conexion::identificador(m_nombre));
}

void BaseTemporal::ejecutar(const QString& sql) {
    // Statements end at a semicolon outside quotes.
    QString sentencia;
    QChar comilla;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!comilla.isNull()) {
            sentencia += c;
            if (c == u'\\' && i + 1 < sql.size())
                sentencia += sql[++i];
            else if (c == comilla)
                comilla = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'`')
            comilla = c;
        if (c != u';') {
            sentencia += c;
            continue;
        }
        if (!sentencia.trimmed().isEmpty() && !m_cn.Execute(sentencia.trimmed())) {
            ADD_FAILURE() << qPrintable(m_cn.ultimoError());
            return;
        }
        sentencia.clear();
    }
    if (!sentencia.trimmed().isEmpty() && !m_cn.Execute(sentencia.trimmed()))
        ADD_FAILURE() << qPrintable(m_cn.ultimoError());
}

QStringList BaseTemporal::filas(const QString& sql) {
    ResultadoConsulta r;
    if (!m_cn.consultar(sql, r)) {
        ADD_FAILURE() << qPrintable(m_cn.ultimoError());
        return {};
    }
    QStringList resultado;
    for (const QList<Valor>& fila : r.filas) {
        QStringList textos;
        for (const Valor& v : fila)
            textos.append(v.esNulo() ? u"NULL"_s : v.texto());
        resultado.append(textos.join(u'|'));
    }
    return resultado;
}

int DialogosDePrueba::mostrar(const Caja& caja) {
    cajas.append(caja);
    if (!respuestas.isEmpty())
        return respuestas.takeFirst();
    return respuestaSinUsuario(caja.botones);
}

namespace {
QMutex g_mutexCaptura;
QStringList g_capturadas;
QtMessageHandler g_anterior = nullptr;

void capturar(QtMsgType, const QMessageLogContext&, const QString& mensaje) {
    QMutexLocker bloqueo(&g_mutexCaptura);
    g_capturadas.append(mensaje);
}
} // namespace

CapturaBitacora::CapturaBitacora() {
    QMutexLocker bloqueo(&g_mutexCaptura);
    g_capturadas.clear();
    g_anterior = qInstallMessageHandler(capturar);
}

CapturaBitacora::~CapturaBitacora() {
    qInstallMessageHandler(g_anterior);
}

QStringList CapturaBitacora::lineas() const {
    QMutexLocker bloqueo(&g_mutexCaptura);
    return g_capturadas;
}

bool CapturaBitacora::contiene(const QString& texto) const {
    const QStringList todas = lineas();
    for (const QString& l : todas)
        if (l.contains(texto))
            return true;
    return false;
}

QString CarpetaTemporal::escribir(const QString& nombre, const QByteArray& contenido) const {
    QFile f(ruta(nombre));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ADD_FAILURE() << "No se pudo escribir " << qPrintable(ruta(nombre));
    f.write(contenido);
    return ruta(nombre);
}

QByteArray CarpetaTemporal::leer(const QString& nombre) const {
    QFile f(ruta(nombre));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

#ifdef Q_OS_WIN
// Windows has no file system a user may mount: the tests that fill a disk skip there.
DiscoLleno::DiscoLleno()
    : m_porque(u"Windows no permite montar un disco pequeño de prueba"_s) {}
DiscoLleno::~DiscoLleno() = default;
QString DiscoLleno::escribir(const QString& nombre, const QByteArray&) const {
    return ruta(nombre);
}
void DiscoLleno::llenar(qint64) {}
void DiscoLleno::liberar() {}
bool DiscoLleno::soloLectura(bool) {
    return false;
}
#else
namespace {
bool escribirEn(const char* archivo, const QByteArray& texto) {
    QFile f(QString::fromLatin1(archivo));
    return f.open(QIODevice::WriteOnly) && f.write(texto) == texto.size();
}

// Root inside a user namespace of this process alone: enough to mount a tmpfs of our own.
bool entrarEnEspacioPropio(QString* porque) {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        *porque = u"unshare: "_s + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return escribirEn("/proc/self/setgroups", "deny") &&
           escribirEn("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") &&
           escribirEn("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
}
} // namespace

DiscoLleno::DiscoLleno() {
    const QByteArray carpeta = QFile::encodeName(m_carpeta.path());
    // Large enough for a settings file, its copy and a key, small enough to fill in no time.
    const char* opciones = "size=512k,mode=0700";
    if (mount("tmpfs", carpeta.constData(), "tmpfs", 0, opciones) != 0) {
        m_porque = u"mount: "_s + QString::fromLocal8Bit(std::strerror(errno));
        QString otro;
        if (!entrarEnEspacioPropio(&otro) ||
            mount("tmpfs", carpeta.constData(), "tmpfs", 0, opciones) != 0) {
            m_porque =
                u"No se pudo montar un tmpfs para simular un disco lleno ("_s + m_porque + u"; "_s +
                (otro.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno)) : otro) + u")"_s;
            return;
        }
    }
    m_montado = true;
}

DiscoLleno::~DiscoLleno() {
    if (m_montado)
        umount2(QFile::encodeName(m_carpeta.path()).constData(), MNT_DETACH);
}

QString DiscoLleno::escribir(const QString& nombre, const QByteArray& contenido) const {
    QFile f(ruta(nombre));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(contenido) != contenido.size() || !f.flush())
        ADD_FAILURE() << "No se pudo escribir " << qPrintable(ruta(nombre));
    return ruta(nombre);
}

void DiscoLleno::llenar(qint64 libres) {
    QFile relleno(ruta(u".relleno"_s));
    if (!relleno.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        ADD_FAILURE() << "No se pudo crear el relleno";
        return;
    }
    const QByteArray bloque(4096, 'x');
    while (relleno.write(bloque) == bloque.size()) {
    }
    // The last short write may have taken part of a block.
    relleno.resize(relleno.size() - relleno.size() % 4096 - (libres + 4095) / 4096 * 4096);
}

void DiscoLleno::liberar() {
    QFile::remove(ruta(u".relleno"_s));
}

bool DiscoLleno::soloLectura(bool si) {
    const QByteArray carpeta = QFile::encodeName(m_carpeta.path());
    return mount("tmpfs", carpeta.constData(), "tmpfs", MS_REMOUNT | (si ? MS_RDONLY : 0),
                 "size=512k,mode=0700") == 0;
}
#endif

bool entorno::moverCarpetaUsuario(const QString& carpeta, QByteArray* anterior) {
#ifdef Q_OS_WIN
    // Windows takes the user's folders from the shell, not from a variable.
    Q_UNUSED(carpeta);
    Q_UNUSED(anterior);
    return false;
#else
    if (anterior)
        *anterior = qgetenv("XDG_CONFIG_HOME");
    return qputenv("XDG_CONFIG_HOME", carpeta.toUtf8());
#endif
}

bool entorno::enWine() {
#ifdef Q_OS_WIN
    // Wine's ntdll has an export of its own, which Windows' lacks.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

QString entorno::rutaParaLinux(const QString& ruta) {
#ifdef Q_OS_WIN
    using Traductor = char* (*)(const wchar_t*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto traducir = kernel ? reinterpret_cast<Traductor>(reinterpret_cast<void (*)()>(
                                       GetProcAddress(kernel, "wine_get_unix_file_name")))
                                 : nullptr;
    if (!traducir)
        return ruta;
    const std::wstring nativa = QDir::toNativeSeparators(ruta).toStdWString();
    char* enUnix = traducir(nativa.c_str());
    if (!enUnix)
        return ruta;
    const QString r = QString::fromUtf8(enUnix);
    HeapFree(GetProcessHeap(), 0, enUnix);
    return r;
#else
    return ruta;
#endif
}

#ifdef Q_OS_WIN
using Socket = SOCKET;
static void cerrarSocket(Socket s) {
    ::closesocket(s);
}
#else
using Socket = int;
static void cerrarSocket(Socket s) {
    ::close(s);
}
#endif

OyenteMudo::OyenteMudo() {
#ifdef Q_OS_WIN
    WSADATA datos;
    WSAStartup(MAKEWORD(2, 2), &datos);
#endif
    const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0 || ::listen(s, 4) != 0) {
        cerrarSocket(s);
        return;
    }
#ifdef Q_OS_WIN
    int largo = sizeof dir;
#else
    socklen_t largo = sizeof dir;
#endif
    ::getsockname(s, reinterpret_cast<sockaddr*>(&dir), &largo);
    m_socket = qintptr(s);
    m_puerto = ntohs(dir.sin_port);
}

OyenteMudo::~OyenteMudo() {
    cerrar();
}

void OyenteMudo::cerrar() {
    if (m_socket >= 0)
        cerrarSocket(Socket(m_socket));
    m_socket = -1;
}
