#include "tunel_ssh.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>
#include <QtGlobal>

#include <libssh/libssh.h>
#include <libssh/server.h> // ssh_send_keepalive, a global request any side may send

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket = SOCKET;
constexpr Socket SinSocket = INVALID_SOCKET;
#define poll WSAPoll
inline void cerrarSocket(Socket s) {
    closesocket(s);
}
inline int errorSocket() {
    return WSAGetLastError();
}
constexpr int ConexionEnCurso = WSAEWOULDBLOCK;
constexpr int ConexionRechazada = WSAECONNREFUSED;
constexpr int SinRutaAlEquipo = WSAEHOSTUNREACH;
constexpr int SinRutaALaRed = WSAENETUNREACH;
#else
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
using Socket = int;
constexpr Socket SinSocket = -1;
inline void cerrarSocket(Socket s) {
    ::close(s);
}
inline int errorSocket() {
    return errno;
}
constexpr int ConexionEnCurso = EINPROGRESS;
constexpr int ConexionRechazada = ECONNREFUSED;
constexpr int SinRutaAlEquipo = EHOSTUNREACH;
constexpr int SinRutaALaRed = ENETUNREACH;
#endif

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcTunel, "vendaro.tunel")

bool LeerDestinoTunel(const QString& texto, DatosTunel& datos) {
    QString t = texto.trimmed();
    datos.puerto = 22;
    const qsizetype dos = t.lastIndexOf(u':');
    // "[::1]:2222" and a bare IPv6 address both have colons; only a bracketed one takes a port.
    if (dos > 0 && (t.count(u':') == 1 || t.startsWith(u'['))) {
        bool bien = false;
        const int puerto = t.mid(dos + 1).toInt(&bien);
        if (!bien || puerto <= 0 || puerto > 65535)
            return false;
        datos.puerto = puerto;
        t.truncate(dos);
    }
    if (t.startsWith(u'[') && t.endsWith(u']'))
        t = t.mid(1, t.size() - 2);
    datos.servidor = t;
    return !t.isEmpty();
}

namespace {
QString texto(const char* c) {
    return c ? QString::fromUtf8(c) : QString();
}

QString huellaDe(ssh_key llave) {
    unsigned char* hash = nullptr;
    size_t largo = 0;
    if (ssh_get_publickey_hash(llave, SSH_PUBLICKEY_HASH_SHA256, &hash, &largo) != SSH_OK)
        return {};
    char* f = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, largo);
    const QString huella = texto(f);
    ssh_string_free_char(f);
    ssh_clean_pubkey_hash(&hash);
    return huella;
}

// The fingerprint remembered for a host in a known_hosts file (first plain entry naming it).
QString huellaConocida(const QString& archivo, const QString& host) {
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    while (!f.atEnd()) {
        const QList<QByteArray> partes = f.readLine().simplified().split(' ');
        if (partes.size() < 3 || !partes[0].split(',').contains(host.toUtf8()))
            continue;
        ssh_key llave = nullptr;
        if (ssh_pki_import_pubkey_base64(partes[2].constData(),
                                         ssh_key_type_from_name(partes[1].constData()),
                                         &llave) != SSH_OK)
            continue;
        const QString huella = huellaDe(llave);
        ssh_key_free(llave);
        return huella;
    }
    return {};
}

QString metodos(int lista) {
    QStringList m;
    if (lista & SSH_AUTH_METHOD_PASSWORD)
        m.append(u"contraseña"_s);
    if (lista & SSH_AUTH_METHOD_PUBLICKEY)
        m.append(u"llave"_s);
    if (lista & SSH_AUTH_METHOD_INTERACTIVE)
        m.append(u"teclado interactivo"_s);
    if (lista & SSH_AUTH_METHOD_GSSAPI_MIC)
        m.append(u"GSSAPI"_s);
    return m.isEmpty() ? u"ninguno"_s : m.join(u", "_s);
}

// Never asks for a passphrase on the terminal: the settings give it, or the key does not open.
int sinPregunta(const char*, char*, size_t, int, int, void*) {
    return -1;
}

void sinRetardo(Socket s) {
    int si = 1;
#ifdef Q_OS_WIN
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&si), sizeof si);
#else
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &si, sizeof si);
#endif
}

bool sinBloqueo(Socket s) {
#ifdef Q_OS_WIN
    u_long si = 1;
    return ioctlsocket(s, long(FIONBIO), &si) == 0;
#else
    const int banderas = ::fcntl(s, F_GETFL);
    return banderas >= 0 && ::fcntl(s, F_SETFL, banderas | O_NONBLOCK) == 0;
#endif
}

// Waits for a non-blocking connect to end: 0 when it connected, the socket's error when it failed,
// -1 when the time ran out.
int esperarConexion(Socket s, qint64 milisegundos) {
    milisegundos = std::max<qint64>(0, milisegundos);
#ifdef Q_OS_WIN
    // Windows reports a failed connect in select()'s exception set (WSAPoll may never report it).
    fd_set escritura{};
    escritura.fd_count = 1;
    escritura.fd_array[0] = s;
    fd_set fallo = escritura;
    timeval espera{long(milisegundos / 1000), long(milisegundos % 1000 * 1000)};
    const int n = ::select(0, nullptr, &escritura, &fallo, &espera);
#else
    QElapsedTimer reloj;
    reloj.start();
    pollfd p{s, POLLOUT, 0};
    int n = 0;
    do
        n = ::poll(&p, 1, int(std::max<qint64>(0, milisegundos - reloj.elapsed())));
    while (n < 0 && errno == EINTR);
#endif
    if (n == 0)
        return -1;
    if (n < 0)
        return errorSocket();
    int error = 0;
    socklen_t largo = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &largo) != 0)
        return errorSocket();
    return error;
}

// The TCP connection to the SSH server, opened here and handed to libssh: on Windows libssh's own
// wait misses a refused connect and reports its time-out instead. Every address of the name is
// tried within the one time-out; a refusal, no route and silence are told apart.
Socket conectarTcp(const QString& servidor, int puerto, int segundos, QString* motivo) {
    const QString donde = u"%1:%2"_s.arg(servidor).arg(puerto);
    addrinfo pista{};
    pista.ai_family = AF_UNSPEC;
    pista.ai_socktype = SOCK_STREAM;
    pista.ai_protocol = IPPROTO_TCP;
    addrinfo* direcciones = nullptr;
    if (::getaddrinfo(servidor.toUtf8().constData(), QByteArray::number(puerto).constData(), &pista,
                      &direcciones) != 0 ||
        !direcciones) {
        *motivo = u"no se pudo conectar con el servidor SSH %1 (no se encontró la dirección de "
                  u"«%2»)"_s.arg(donde, servidor);
        return SinSocket;
    }
    QElapsedTimer reloj;
    reloj.start();
    const qint64 limite = qint64(segundos) * 1000;
    int error = 0;
    Socket s = SinSocket;
    for (const addrinfo* a = direcciones; a && s == SinSocket && reloj.elapsed() < limite;
         a = a->ai_next) {
        const Socket intento = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (intento == SinSocket) {
            error = errorSocket();
            continue;
        }
        int e = 0;
        if (!sinBloqueo(intento))
            e = errorSocket();
        else if (::connect(intento, a->ai_addr, socklen_t(a->ai_addrlen)) != 0) {
            e = errorSocket();
            if (e == ConexionEnCurso)
                e = esperarConexion(intento, limite - reloj.elapsed());
        }
        if (e == 0)
            s = intento;
        else {
            cerrarSocket(intento);
            if (e > 0)
                error = e;
        }
    }
    ::freeaddrinfo(direcciones);
    if (s != SinSocket)
        return s;
    if (error == ConexionRechazada)
        *motivo = u"no se pudo conectar con el servidor SSH %1 (rechazó la conexión: nada escucha "
                  u"en ese puerto)"_s.arg(donde);
    else if (error == SinRutaAlEquipo || error == SinRutaALaRed)
        *motivo = u"no se pudo conectar con el servidor SSH %1 (inalcanzable: no hay ruta hasta "
                  u"esa dirección)"_s.arg(donde);
    else if (error != 0)
        *motivo =
            u"no se pudo conectar con el servidor SSH %1 (%2)"_s.arg(donde, qt_error_string(error));
    else
        *motivo = u"el servidor SSH %1 no responde (se agotó el tiempo de %2 s)"_s.arg(donde).arg(
            segundos);
    return SinSocket;
}

// The local address of a connected socket: what tells it from another that later got its number.
QByteArray direccionLocal(Socket s) {
    sockaddr_storage a{};
    socklen_t largo = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &largo) != 0)
        return {};
    return QByteArray(reinterpret_cast<const char*>(&a), qsizetype(largo));
}

bool enviarTodo(Socket s, const char* datos, qsizetype largo) {
    while (largo > 0) {
        const auto n = ::send(s, datos, size_t(largo), 0);
        if (n <= 0)
            return false;
        datos += n;
        largo -= n;
    }
    return true;
}
} // namespace

struct TunelSsh::Hilo {
    struct Canal {
        Socket local = SinSocket;
        ssh_channel canal = nullptr;
    };

    DatosTunel datos;
    std::thread hilo;
    std::atomic<bool> parar{false};

    // The request of abrirCanal() and its answer, guarded by m.
    mutable std::mutex m;
    std::condition_variable cv;
    bool pedido = false;
    bool respondido = false;
    bool respuesta = false;
    QByteArray destino;
    int puertoDestino = 0;
    int esperadas = 0; // connections the listener takes
    QString error;
    QString errorCanal;
    QString huella;

    // A UDP socket sent to itself: abrirCanal() and the destructor wake the thread's poll with a
    // datagram instead of waiting out its timeout.
    Socket aviso = SinSocket;
    void avisar() const {
        if (aviso != SinSocket)
            ::send(aviso, "!", 1, 0);
    }

    // Only the thread touches these once it runs.
    Socket escucha = SinSocket;
    quint16 puerto = 0;
    ssh_session sesion = nullptr;
    Socket tcp = SinSocket; // the session's connection, see cerrarSesion()
    QByteArray tcpLocal;
    std::vector<Canal> canales;
    QElapsedTimer ultimoTrafico;
    ssh_channel canalSftp = nullptr; // see pedirSinRetardo()
    bool pidiendoSftp = false;

    void ejecutar();
    bool conectar(QString* motivo);
    bool verificarServidor(QString* motivo);
    bool autenticar(QString* motivo);
    void pedirSinRetardo();
    void seguirSinRetardo();
    void olvidarSinRetardo();
    void aceptar();
    bool abrirReenvio(Canal& c, QString* motivo);
    bool deLocal(Canal& c);
    bool haciaLocal();
    void cerrarCanal(Canal& c);
    void perderSesion(const QString& motivo);
    void cerrarSesion();
    QString dondeSsh() const {
        return u"%1@%2:%3"_s.arg(datos.usuario, datos.servidor).arg(datos.puerto);
    }
    void fijarErrorCanal(const QString& e) {
        std::lock_guard l(m);
        errorCanal = e;
    }
};

TunelSsh::TunelSsh(const DatosTunel& datos)
    : m_datos(datos)
    , m_hilo(std::make_unique<Hilo>()) {
    m_hilo->datos = datos;
    Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0; // the system picks a free port
    socklen_t largo = sizeof a;
    if (s == SinSocket || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(s, 8) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &largo) != 0) {
        if (s != SinSocket)
            cerrarSocket(s);
        m_hilo->error = u"no se pudo abrir el extremo local del túnel SSH en 127.0.0.1"_s;
        return;
    }
    m_hilo->escucha = s;
    m_hilo->puerto = ntohs(a.sin_port);
    Socket aviso = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in b{};
    b.sin_family = AF_INET;
    b.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    largo = sizeof b;
    // Without it the thread still sees requests, within its poll's timeout.
    if (aviso != SinSocket && (::bind(aviso, reinterpret_cast<sockaddr*>(&b), sizeof b) != 0 ||
                               ::getsockname(aviso, reinterpret_cast<sockaddr*>(&b), &largo) != 0 ||
                               ::connect(aviso, reinterpret_cast<sockaddr*>(&b), sizeof b) != 0)) {
        cerrarSocket(aviso);
        aviso = SinSocket;
    }
    m_hilo->aviso = aviso;
    m_hilo->hilo = std::thread([h = m_hilo.get()] { h->ejecutar(); });
}

TunelSsh::~TunelSsh() {
    m_hilo->parar = true;
    m_hilo->avisar();
    if (m_hilo->hilo.joinable())
        m_hilo->hilo.join();
    if (m_hilo->escucha != SinSocket)
        cerrarSocket(m_hilo->escucha);
    if (m_hilo->aviso != SinSocket)
        cerrarSocket(m_hilo->aviso);
}

bool TunelSsh::abrirCanal(const QString& destino, int puerto) {
    Hilo& h = *m_hilo;
    std::unique_lock l(h.m);
    if (!h.hilo.joinable())
        return false;
    h.destino = (destino.trimmed().isEmpty() ? u"localhost"_s : destino.trimmed()).toUtf8();
    h.puertoDestino = puerto;
    h.pedido = true;
    h.respondido = false;
    h.avisar();
    h.cv.wait(l, [&] { return h.respondido; });
    return h.respuesta;
}

QString TunelSsh::errorCanal() const {
    std::lock_guard l(m_hilo->m);
    return m_hilo->errorCanal;
}

quint16 TunelSsh::puertoLocal() const {
    return m_hilo->puerto;
}

QString TunelSsh::ultimoError() const {
    std::lock_guard l(m_hilo->m);
    return m_hilo->error;
}

QString TunelSsh::ruta() const {
    return m_hilo->dondeSsh();
}

QString TunelSsh::huella() const {
    std::lock_guard l(m_hilo->m);
    return m_hilo->huella;
}

void TunelSsh::Hilo::ejecutar() {
    while (!parar) {
        bool atender = false;
        {
            std::lock_guard l(m);
            atender = pedido;
        }
        if (atender) {
            QString motivo;
            const bool bien = sesion || conectar(&motivo);
            std::lock_guard l(m);
            pedido = false;
            respondido = true;
            respuesta = bien;
            if (bien) {
                esperadas = 1;
                errorCanal.clear();
            } else
                error = motivo;
            cv.notify_all();
        }

        std::vector<pollfd> fds;
        fds.push_back({escucha, POLLIN, 0});
        if (aviso != SinSocket)
            fds.push_back({aviso, POLLIN, 0});
        for (const Canal& c : canales)
            fds.push_back({c.local, POLLIN, 0});
        // The SSH socket is watched only while channels read from it: with none, nothing would
        // take what the server sends and poll would not wait.
        if (sesion && !canales.empty())
            fds.push_back({ssh_get_fd(sesion), POLLIN, 0});
        // A short wait: parar and a request are seen within it even without a datagram.
        ::poll(fds.data(), decltype(fds.size())(fds.size()), 50);
        if (fds[0].revents & POLLIN)
            aceptar();
        if (aviso != SinSocket && fds[1].revents & POLLIN) {
            char nada[16]; // one datagram; another still queued wakes the next poll at once
            ::recv(aviso, nada, sizeof nada, 0);
        }
        for (size_t i = 0; i < canales.size();) {
            auto fd = std::find_if(fds.begin() + 1, fds.end(),
                                   [&](const pollfd& p) { return p.fd == canales[i].local; });
            if (fd != fds.end() && fd->revents && !deLocal(canales[i])) {
                if (!sesion)
                    break; // the session went, and every channel with it
                cerrarCanal(canales[i]);
                canales.erase(canales.begin() + qsizetype(i));
                continue;
            }
            ++i;
        }
        if (sesion && !canales.empty() && !haciaLocal())
            continue;
        if (sesion && canalSftp)
            seguirSinRetardo();
        if (sesion && ultimoTrafico.isValid() &&
            ultimoTrafico.elapsed() > qint64(datos.segundosVivo) * 1000) {
            ultimoTrafico.restart();
            if (ssh_send_keepalive(sesion) != SSH_OK || !ssh_is_connected(sesion))
                perderSesion(u"se perdió la sesión SSH con %1 (%2)"_s.arg(
                    dondeSsh(), texto(ssh_get_error(sesion))));
        }
    }
    for (Canal& c : canales)
        cerrarCanal(c);
    canales.clear();
    if (sesion) {
        olvidarSinRetardo();
        cerrarSesion();
    }
}

bool TunelSsh::Hilo::conectar(QString* motivo) {
    sesion = ssh_new();
    if (!sesion) {
        *motivo = u"sin memoria para la sesión SSH"_s;
        return false;
    }
    const QByteArray host = datos.servidor.toUtf8();
    const QByteArray usuario = datos.usuario.toUtf8();
    const QByteArray conocidos = QDir::toNativeSeparators(datos.servidoresConocidos).toLocal8Bit();
    QDir().mkpath(QFileInfo(datos.servidoresConocidos).absolutePath());
    const int puertoSsh = datos.puerto;
    const long segundos = long(datos.segundosConexion);
    const int no = 0;
    const int si = 1;
    ssh_options_set(sesion, SSH_OPTIONS_HOST, host.constData());
    ssh_options_set(sesion, SSH_OPTIONS_PORT, &puertoSsh);
    if (!usuario.isEmpty())
        ssh_options_set(sesion, SSH_OPTIONS_USER, usuario.constData());
    ssh_options_set(sesion, SSH_OPTIONS_TIMEOUT, &segundos);
    // Only our own file counts: the user's ~/.ssh/config and known_hosts are not ours to follow.
    ssh_options_set(sesion, SSH_OPTIONS_PROCESS_CONFIG, &no);
    ssh_options_set(sesion, SSH_OPTIONS_KNOWNHOSTS, conocidos.constData());
    ssh_options_set(sesion, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, conocidos.constData());
    ssh_options_set(sesion, SSH_OPTIONS_NODELAY, &si);
    tcp = conectarTcp(datos.servidor, datos.puerto, datos.segundosConexion, motivo);
    if (tcp == SinSocket) {
        ssh_free(sesion);
        sesion = nullptr;
        qCWarning(lcTunel).noquote() << u"Túnel SSH: "_s + *motivo;
        return false;
    }
    sinRetardo(tcp);
    tcpLocal = direccionLocal(tcp);
    // libssh keeps only the low 16 bits of a descriptor it is handed: a larger one (a Windows
    // process with very many handles open) is left to libssh's own connect.
    if (quint64(tcp) <= 0xffff)
        ssh_options_set(sesion, SSH_OPTIONS_FD, &tcp);
    else {
        cerrarSocket(tcp);
        tcp = SinSocket;
    }
    const QString donde = u"%1:%2"_s.arg(datos.servidor).arg(datos.puerto);
    bool bien = false;
    if (ssh_connect(sesion) != SSH_OK) {
        const QString causa = texto(ssh_get_error(sesion));
        *motivo =
            causa.contains(u"imeout"_s)
                ? u"el servidor SSH %1 no responde (se agotó el tiempo de %2 s)"_s.arg(donde).arg(
                      datos.segundosConexion)
                : u"no se pudo conectar con el servidor SSH %1 (%2)"_s.arg(donde, causa);
    } else
        bien = verificarServidor(motivo) && autenticar(motivo);
    if (!bien) {
        cerrarSesion();
        qCWarning(lcTunel).noquote() << u"Túnel SSH: "_s + *motivo;
        return false;
    }
    pedirSinRetardo();
    ultimoTrafico.start();
    qCInfo(lcTunel).noquote() << u"Túnel SSH abierto con %1 (llave del servidor %2); extremo "
                                 u"local 127.0.0.1:%3"_s.arg(dondeSsh(), huella)
                                     .arg(puerto);
    return true;
}

bool TunelSsh::Hilo::verificarServidor(QString* motivo) {
    ssh_key llave = nullptr;
    if (ssh_get_server_publickey(sesion, &llave) != SSH_OK) {
        *motivo = u"el servidor SSH no presentó su llave"_s;
        return false;
    }
    const QString nueva = huellaDe(llave);
    const QString tipo = texto(ssh_key_type_to_char(ssh_key_type(llave)));
    ssh_key_free(llave);
    {
        std::lock_guard l(m);
        huella = nueva;
    }
    const QString donde =
        datos.puerto == 22 ? datos.servidor : u"[%1]:%2"_s.arg(datos.servidor).arg(datos.puerto);
    const ssh_known_hosts_e estado = ssh_session_is_known_server(sesion);
    switch (estado) {
    case SSH_KNOWN_HOSTS_OK:
        return true;
    case SSH_KNOWN_HOSTS_NOT_FOUND:
    case SSH_KNOWN_HOSTS_UNKNOWN:
        if (ssh_session_update_known_hosts(sesion) != SSH_OK) {
            *motivo = u"no se pudo recordar la llave del servidor SSH en %1 (%2)"_s.arg(
                datos.servidoresConocidos, texto(ssh_get_error(sesion)));
            return false;
        }
        qCInfo(lcTunel).noquote()
            << u"Llave del servidor SSH %1 recordada por primera vez en %2: %3 %4"_s.arg(
                   donde, datos.servidoresConocidos, tipo, nueva);
        return true;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: {
        const QString anterior = huellaConocida(datos.servidoresConocidos, donde);
        *motivo = u"la llave del servidor SSH %1 cambió: se conocía %2 y ahora presenta %3 %4. "
                  u"Otro servidor podría estar haciéndose pasar por él, y no se conecta. Si el "
                  u"cambio es legítimo (el servidor se reinstaló), compruebe la huella nueva con "
                  u"el proveedor y borre la línea de «%1» en %5 (ssh-keygen -R '%1' -f %5): la "
                  u"próxima conexión recordará la llave nueva"_s.arg(
                      donde, anterior.isEmpty() ? u"otra llave"_s : anterior, tipo, nueva,
                      datos.servidoresConocidos);
        return false;
    }
    default:
        *motivo = u"no se pudo leer %1 (%2)"_s.arg(datos.servidoresConocidos,
                                                   texto(ssh_get_error(sesion)));
        return false;
    }
}

bool TunelSsh::Hilo::autenticar(QString* motivo) {
    // Only a password needs the server's methods beforehand (password or keyboard-interactive),
    // from the "none" request's refusal. A key or the agent is offered at once, one round trip
    // fewer: its refusal lists the methods as well.
    const bool conContrasena = datos.llave.isEmpty() && !datos.contrasena.isEmpty();
    if (conContrasena && ssh_userauth_none(sesion, nullptr) == SSH_AUTH_SUCCESS)
        return true;
    int lista = conContrasena ? ssh_userauth_list(sesion, nullptr) : 0;
    QString metodo;
    int r = SSH_AUTH_DENIED;
    if (!datos.llave.isEmpty()) {
        metodo = u"la llave %1"_s.arg(datos.llave);
        ssh_key llave = nullptr;
        const QByteArray ruta = QDir::toNativeSeparators(datos.llave).toLocal8Bit();
        const QByteArray frase = datos.frase.toUtf8();
        if (!QFileInfo(datos.llave).isReadable()) {
            *motivo = u"no se puede leer la llave SSH %1"_s.arg(datos.llave);
            return false;
        }
        if (ssh_pki_import_privkey_file(ruta.constData(),
                                        frase.isEmpty() ? nullptr : frase.constData(), sinPregunta,
                                        nullptr, &llave) != SSH_OK) {
            *motivo = frase.isEmpty()
                          ? u"no se pudo abrir la llave SSH %1: no es una llave privada que se "
                            u"entienda, o está protegida con una frase y no se dio "
                            u"«Frase de la llave SSH»"_s.arg(datos.llave)
                          : u"no se pudo abrir la llave SSH %1: la frase de la llave no es la "
                            u"correcta, o el archivo no es una llave privada que se "
                            u"entienda"_s.arg(datos.llave);
            return false;
        }
        r = ssh_userauth_publickey(sesion, nullptr, llave);
        ssh_key_free(llave);
    } else if (!datos.contrasena.isEmpty()) {
        metodo = u"contraseña"_s;
        const QByteArray clave = datos.contrasena.toUtf8();
        if (lista & SSH_AUTH_METHOD_PASSWORD || !(lista & SSH_AUTH_METHOD_INTERACTIVE))
            r = ssh_userauth_password(sesion, nullptr, clave.constData());
        else {
            // Servers with PAM often ask for the password as a keyboard-interactive prompt.
            r = ssh_userauth_kbdint(sesion, nullptr, nullptr);
            while (r == SSH_AUTH_INFO) {
                for (int i = 0, n = ssh_userauth_kbdint_getnprompts(sesion); i < n; ++i)
                    ssh_userauth_kbdint_setanswer(sesion, unsigned(i), clave.constData());
                r = ssh_userauth_kbdint(sesion, nullptr, nullptr);
            }
        }
    } else {
#ifdef Q_OS_WIN
        // libssh reaches no SSH agent on Windows: a login there needs a key file or a password.
        *motivo = u"no se dio «Password SSH» ni «Llave SSH», y en Windows no hay un agente SSH "
                  u"que libssh pueda usar; los métodos que acepta el servidor son: %1"_s.arg(
                      metodos(lista));
        return false;
#else
        metodo = u"el agente SSH"_s;
        r = ssh_userauth_agent(sesion, nullptr);
#endif
    }
    // After a refused key or agent, the "none" request: a server open to anyone accepts it, and its
    // refusal lists the methods even when nothing reached the server (no agent running).
    if (r == SSH_AUTH_DENIED && !conContrasena &&
        ssh_userauth_none(sesion, nullptr) == SSH_AUTH_SUCCESS)
        return true;
    if (r == SSH_AUTH_SUCCESS)
        return true;
    if (!conContrasena)
        lista = ssh_userauth_list(sesion, nullptr);
    if (r == SSH_AUTH_ERROR)
        *motivo = u"se cortó la sesión SSH con %1 durante el acceso (%2)"_s.arg(
            dondeSsh(), texto(ssh_get_error(sesion)));
    else
        *motivo = u"el servidor SSH rechazó el acceso de «%1» con %2; los métodos que acepta son: "
                  u"%3"_s.arg(datos.usuario, metodo, metodos(lista));
    return false;
}

// OpenSSH's server turns Nagle's algorithm off on its socket only when a session channel starts
// a program; on a connection that only forwards it stays on, and a reply the server forwards in
// pieces holds each piece until the previous one is acknowledged, up to 40 ms where the peer
// delays its acknowledgements: several times per statement batch. An SFTP subsystem started and
// closed at once switches it off for the whole connection and runs nothing of the user's. Its
// requests go out without waiting for their answers (the session briefly non-blocking), so the
// database sessions' channels open meanwhile and it costs no round trip; a server that refuses
// loses nothing.
void TunelSsh::Hilo::pedirSinRetardo() {
    canalSftp = ssh_channel_new(sesion);
    if (!canalSftp)
        return;
    pidiendoSftp = false;
    seguirSinRetardo();
}

void TunelSsh::Hilo::seguirSinRetardo() {
    ssh_set_blocking(sesion, 0);
    int r = SSH_OK;
    if (!pidiendoSftp) {
        r = ssh_channel_open_session(canalSftp);
        pidiendoSftp = r == SSH_OK;
    }
    if (pidiendoSftp)
        r = ssh_channel_request_subsystem(canalSftp, "sftp");
    ssh_set_blocking(sesion, 1);
    if (r == SSH_AGAIN)
        return;
    if (r != SSH_OK)
        qCDebug(lcTunel).noquote()
            << u"Túnel SSH: el servidor no abrió SFTP (%1)"_s.arg(texto(ssh_get_error(sesion)));
    olvidarSinRetardo();
}

void TunelSsh::Hilo::olvidarSinRetardo() {
    if (!canalSftp)
        return;
    if (ssh_channel_is_open(canalSftp))
        ssh_channel_close(canalSftp);
    ssh_channel_free(canalSftp);
    canalSftp = nullptr;
}

void TunelSsh::Hilo::aceptar() {
    Socket s = ::accept(escucha, nullptr, nullptr);
    if (s == SinSocket)
        return;
    bool esperada = false;
    {
        std::lock_guard l(m);
        esperada = esperadas > 0;
        if (esperada)
            --esperadas;
    }
    // A connection nobody asked for (another local program) is not forwarded.
    if (!esperada || !sesion) {
        cerrarSocket(s);
        return;
    }
    sinRetardo(s);
    Canal c;
    c.local = s;
    QString motivo;
    if (!abrirReenvio(c, &motivo)) {
        fijarErrorCanal(motivo);
        qCWarning(lcTunel).noquote() << u"Túnel SSH: "_s + motivo;
        cerrarCanal(c);
        return;
    }
    canales.push_back(c);
}

bool TunelSsh::Hilo::abrirReenvio(Canal& c, QString* motivo) {
    const QString destinoTexto = u"%1:%2"_s.arg(QString::fromUtf8(destino)).arg(puertoDestino);
    c.canal = ssh_channel_new(sesion);
    if (c.canal && ssh_channel_open_forward(c.canal, destino.constData(), puertoDestino,
                                            "127.0.0.1", puerto) == SSH_OK) {
        ultimoTrafico.restart();
        return true;
    }
    // libssh words a refused channel as "… error (code) reason", with the code of RFC 4254.
    const QString causa = texto(ssh_get_error(sesion));
    if (causa.contains(u"error (1)"_s))
        *motivo = u"el servidor SSH %1 no permite reenviar conexiones (\"administratively "
                  u"prohibited\": el plan de alojamiento no admite túneles; pida al proveedor que "
                  u"habilite AllowTcpForwarding)"_s.arg(dondeSsh());
    else if (causa.contains(u"error (2)"_s))
        *motivo =
            u"la base de datos no responde detrás del túnel SSH: el servidor SSH %1 no "
            u"pudo conectar con %2 (revise «Dirección IP» y «Puerto», que con túnel son "
            u"los de la base de datos vista desde el servidor SSH)"_s.arg(dondeSsh(), destinoTexto);
    else if (!ssh_is_connected(sesion) || causa.contains(u"imeout"_s)) {
        *motivo = u"el servidor SSH %1 no respondió al abrir el reenvío hacia %2 (%3)"_s.arg(
            dondeSsh(), destinoTexto, causa);
        perderSesion(*motivo);
    } else
        *motivo = u"el servidor SSH %1 no abrió el reenvío hacia %2 (%3)"_s.arg(
            dondeSsh(), destinoTexto, causa);
    return false;
}

// What the local client wrote, onto its channel. False when that client closed, or the session
// failed (then sesion is null).
bool TunelSsh::Hilo::deLocal(Canal& c) {
    char buffer[65536];
    const auto n = ::recv(c.local, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    ultimoTrafico.restart();
    if (ssh_channel_write(c.canal, buffer, uint32_t(n)) != int(n)) {
        perderSesion(
            u"se perdió la sesión SSH con %1 (%2)"_s.arg(dondeSsh(), texto(ssh_get_error(sesion))));
        return false;
    }
    return true;
}

// Everything the channels hold, to their local clients; a channel the server closed closes its
// client. False when the session was lost.
bool TunelSsh::Hilo::haciaLocal() {
    char buffer[65536];
    for (bool mas = true; mas;) {
        mas = false;
        for (size_t i = 0; i < canales.size();) {
            Canal& c = canales[i];
            const int n = ssh_channel_read_nonblocking(c.canal, buffer, sizeof buffer, 0);
            if (n == SSH_ERROR) {
                perderSesion(u"se perdió la sesión SSH con %1 (%2)"_s.arg(
                    dondeSsh(), texto(ssh_get_error(sesion))));
                return false;
            }
            if (n > 0) {
                ultimoTrafico.restart();
                mas = true;
                if (enviarTodo(c.local, buffer, n)) {
                    ++i;
                    continue;
                }
            } else if (!ssh_channel_is_eof(c.canal) && !ssh_channel_is_closed(c.canal)) {
                ++i;
                continue;
            }
            cerrarCanal(c);
            canales.erase(canales.begin() + qsizetype(i));
        }
    }
    if (!ssh_is_connected(sesion)) {
        perderSesion(u"el servidor SSH %1 cerró la sesión"_s.arg(dondeSsh()));
        return false;
    }
    return true;
}

void TunelSsh::Hilo::cerrarCanal(Canal& c) {
    if (c.canal) {
        if (sesion && ssh_is_connected(sesion) && !ssh_channel_is_closed(c.canal))
            ssh_channel_close(c.canal);
        ssh_channel_free(c.canal);
        c.canal = nullptr;
    }
    if (c.local != SinSocket)
        cerrarSocket(c.local);
    c.local = SinSocket;
}

// The database sessions through a lost SSH session see their connection closed, as with a lost
// server; the next abrirCanal() opens a new session.
void TunelSsh::Hilo::perderSesion(const QString& motivo) {
    qCWarning(lcTunel).noquote() << u"Túnel SSH: "_s + motivo;
    {
        std::lock_guard l(m);
        errorCanal = motivo;
        error = motivo;
    }
    for (Canal& c : canales) {
        ssh_channel_free(c.canal);
        c.canal = nullptr;
        cerrarCanal(c);
    }
    canales.clear();
    olvidarSinRetardo();
    cerrarSesion();
}

// libssh leaves a connection it was handed open at ssh_disconnect(), but closes it itself after
// some failures (a reset, the server's disconnect message): it is closed here only while its
// number is still this connection's, never another socket's that the system gave the number since.
void TunelSsh::Hilo::cerrarSesion() {
    ssh_disconnect(sesion);
    ssh_free(sesion);
    sesion = nullptr;
    if (tcp != SinSocket && !tcpLocal.isEmpty() && direccionLocal(tcp) == tcpLocal)
        cerrarSocket(tcp);
    tcp = SinSocket;
    tcpLocal.clear();
}
