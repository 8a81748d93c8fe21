// A TCP relay for benchmarks that puts a fixed delay on each direction of every connection and
// counts what crosses it: bytes each way, round trips, and the statements of the MySQL protocol.
//
//   proxy_latencia --destino PUERTO [--escucha PUERTO] [--latencia-ms MS] [--puerto-archivo F]
//                  [--estadisticas F] [--subida-kbps K] [--bajada-kbps K] [--mysql 0]
//
// Listens on 127.0.0.1 and relays to 127.0.0.1:PUERTO only: a benchmark must never reach out.
// Every chunk read from one side is handed to the other side MS milliseconds after it was read, so
// a delay applies to each chunk on its own and chunks in flight never wait behind each other (a
// link with latency but no bandwidth limit). With --subida-kbps (client to server) or --bajada-kbps
// (server to client), each direction is also one line of that rate shared by every connection, as
// a shop owner's line is: a chunk leaves when the line has carried the chunks before it, then takes
// the latency. The counters are written as JSON to --estadisticas on SIGUSR1 and when the relay
// stops (SIGTERM, SIGINT).
//
// Counting, per connection:
// - a round trip is a burst of client data that follows data from the server (or opens the
//   connection): the client waited for an answer before it went on;
// - a command is a client packet with sequence number 0; a COM_QUERY's text is split on the
//   semicolons that stand outside quotes and comments, so a multi-statement query counts each
//   statement, classified by its first word. A connection that switches to TLS or to the compressed
//   protocol is counted but not read any further. With --mysql 0 (a link that carries another
//   protocol, such as SSH) only bytes and round trips are counted.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Nanos = std::int64_t;

Nanos ahora() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return Nanos(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

struct Totales {
    std::uint64_t conexiones = 0;
    std::uint64_t viajes = 0;
    std::uint64_t bytesAlServidor = 0;
    std::uint64_t bytesAlCliente = 0;
    std::uint64_t comandos = 0;
    std::uint64_t paquetesConsulta = 0;
    std::uint64_t conexionesCifradas = 0;
    std::uint64_t conexionesComprimidas = 0;
    std::map<std::string, std::uint64_t> sentencias; // first word → count
};

Totales g_totales;

// Reads the client's side of the MySQL protocol as it streams by, byte by byte.
class LectorMysql {
public:
    void leer(const unsigned char* datos, std::size_t n) {
        for (std::size_t i = 0; i < n && !m_cifrado; ++i)
            byte(datos[i]);
    }

private:
    static constexpr std::uint32_t Maximo = 0xFFFFFF; // a payload this long continues
    enum class Lexico { Normal, Comilla, Guion, ComentarioLinea, Barra, Comentario, FinComentario };

    void byte(unsigned char c) {
        if (m_cabecera < 4) {
            m_bytesCabecera[m_cabecera++] = c;
            if (m_cabecera == 4) {
                m_largo = std::uint32_t(m_bytesCabecera[0]) |
                          (std::uint32_t(m_bytesCabecera[1]) << 8) |
                          (std::uint32_t(m_bytesCabecera[2]) << 16);
                m_secuencia = m_bytesCabecera[3];
                m_leidos = 0;
                inicioPaquete();
                if (m_largo == 0)
                    finPaquete();
            }
            return;
        }
        cuerpo(c);
        if (++m_leidos == m_largo)
            finPaquete();
    }

    void inicioPaquete() {
        // A continuation (after a full-length packet) carries on with the same command.
        if (m_continua)
            return;
        m_comando = m_secuencia == 0;
        m_consulta = false;
        m_primero = true;
        if (m_comando)
            ++g_totales.comandos;
    }

    void cuerpo(unsigned char c) {
        if (m_primero && !m_continua) {
            m_primero = false;
            if (m_comando && c == 0x03) {
                m_consulta = true;
                ++g_totales.paquetesConsulta;
                empezarSentencia();
                m_lexico = Lexico::Normal;
                return;
            }
            if (!m_comando && m_secuencia == 1)
                m_capacidades.clear();
        }
        if (m_consulta) {
            lexico(char(c));
        } else if (!m_comando && m_secuencia == 1 && m_capacidades.size() < 4) {
            m_capacidades.push_back(c);
        }
    }

    void finPaquete() {
        m_cabecera = 0;
        const bool sigue = m_largo == Maximo;
        // The client's first answer (sequence 1) asking for TLS is 32 bytes with CLIENT_SSL.
        if (!m_comando && m_secuencia == 1 && !m_continua && m_largo == 32 &&
            m_capacidades.size() == 4 && (m_capacidades[1] & 0x08) != 0) {
            m_cifrado = true;
            ++g_totales.conexionesCifradas;
        }
        // CLIENT_COMPRESS in the login: what follows is compressed packets.
        if (!m_comando && m_secuencia == 1 && !m_continua && !m_cifrado &&
            m_capacidades.size() == 4 && (m_capacidades[0] & 0x20) != 0) {
            m_cifrado = true;
            ++g_totales.conexionesComprimidas;
        }
        if (m_consulta && !sigue)
            terminarSentencia();
        m_continua = sigue;
    }

    void empezarSentencia() {
        m_palabra.clear();
        m_conContenido = false;
    }

    void terminarSentencia() {
        if (m_conContenido)
            ++g_totales.sentencias[m_palabra.empty() ? std::string("OTRA") : m_palabra];
        empezarSentencia();
    }

    void contenido(char c) {
        const bool letra = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!m_conContenido) {
            m_conContenido = true;
            m_enPalabra = letra;
        }
        if (m_enPalabra) {
            if (letra && m_palabra.size() < 16)
                m_palabra.push_back(char(c & ~0x20));
            else if (!letra)
                m_enPalabra = false;
        }
    }

    void lexico(char c) {
        switch (m_lexico) {
        case Lexico::Normal:
            if (c == ';') {
                terminarSentencia();
            } else if (c == '\'' || c == '"' || c == '`') {
                contenido(c);
                m_comilla = c;
                m_escape = false;
                m_lexico = Lexico::Comilla;
            } else if (c == '#') {
                m_lexico = Lexico::ComentarioLinea;
            } else if (c == '-') {
                m_lexico = Lexico::Guion;
            } else if (c == '/') {
                m_lexico = Lexico::Barra;
            } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
                contenido(c);
            } else if (m_enPalabra) {
                m_enPalabra = false;
            }
            break;
        case Lexico::Comilla:
            if (m_escape)
                m_escape = false;
            else if (c == '\\' && m_comilla != '`')
                m_escape = true;
            else if (c == m_comilla)
                m_lexico = Lexico::Normal; // a doubled quote reopens at once: same effect
            break;
        case Lexico::Guion:
            if (c == '-') {
                m_lexico = Lexico::ComentarioLinea;
            } else {
                contenido('-');
                m_lexico = Lexico::Normal;
                lexico(c);
            }
            break;
        case Lexico::ComentarioLinea:
            if (c == '\n')
                m_lexico = Lexico::Normal;
            break;
        case Lexico::Barra:
            if (c == '*') {
                m_lexico = Lexico::Comentario;
            } else {
                contenido('/');
                m_lexico = Lexico::Normal;
                lexico(c);
            }
            break;
        case Lexico::Comentario:
            if (c == '*')
                m_lexico = Lexico::FinComentario;
            break;
        case Lexico::FinComentario:
            m_lexico = c == '/' ? Lexico::Normal : (c == '*' ? m_lexico : Lexico::Comentario);
            break;
        }
    }

    unsigned char m_bytesCabecera[4] = {};
    int m_cabecera = 0;
    std::uint32_t m_largo = 0;
    std::uint32_t m_leidos = 0;
    unsigned char m_secuencia = 0;
    bool m_continua = false;
    bool m_comando = false;
    bool m_consulta = false;
    bool m_primero = false;
    bool m_cifrado = false;
    std::vector<unsigned char> m_capacidades;
    Lexico m_lexico = Lexico::Normal;
    char m_comilla = 0;
    bool m_escape = false;
    std::string m_palabra;
    bool m_conContenido = false;
    bool m_enPalabra = false;
};

struct Trozo {
    Nanos entrega;
    std::string datos;
};

// One direction of a relayed connection: what was read from `origen` waits here until its time.
struct Sentido {
    int origen = -1;
    int destino = -1;
    std::deque<Trozo> cola;
    std::size_t enviados = 0; // of the first chunk
    std::size_t pendientes = 0;
    bool origenCerrado = false;
    bool destinoCerrado = false;
    bool bloqueado = false; // the destination's buffer is full
};

constexpr std::size_t LimiteCola = 8u << 20;

struct Conexion {
    Sentido alServidor;
    Sentido alCliente;
    LectorMysql lector;
    bool servidorHablo = true; // so the first client data opens a round trip
    bool saludoVisto = false;  // the server's greeting has gone by
    bool roto = false;
};

bool g_ocultarTls = false;
bool g_leerMysql = true;

// Clears the TLS flag (CLIENT_SSL) in the capabilities of the server's greeting, so a client that
// takes TLS only when offered talks in clear and the relay can read its statements. The greeting
// (protocol 10) comes whole in the server's first chunk.
void ocultarTls(char* datos, std::size_t n) {
    std::size_t i = 4 + 1; // packet header, protocol version
    while (i < n && datos[i] != 0)
        ++i;            // server version
    i += 1 + 4 + 8 + 1; // its NUL, connection id, first scramble, filler
    if (n < 6 || static_cast<unsigned char>(datos[4]) != 10 || i + 1 >= n)
        return;
    datos[i + 1] = static_cast<char>(static_cast<unsigned char>(datos[i + 1]) & ~0x08u);
}

int g_epoll = -1;
Nanos g_latencia = 0;
// The shared line of each direction: bits per second (0: no limit) and when it is free again.
double g_bpsSubida = 0;
double g_bpsBajada = 0;
Nanos g_libreSubida = 0;
Nanos g_libreBajada = 0;

// When a chunk of n bytes read at t is delivered: after the line carried it, then the latency.
Nanos entregaDe(bool alServidor, std::size_t n, Nanos t) {
    const double bps = alServidor ? g_bpsSubida : g_bpsBajada;
    if (bps <= 0)
        return t + g_latencia;
    Nanos& libre = alServidor ? g_libreSubida : g_libreBajada;
    libre = std::max(libre, t) + Nanos(double(n) * 8e9 / bps);
    return libre + g_latencia;
}
std::map<int, std::shared_ptr<Conexion>> g_conexiones; // both fds of each connection

void interes(Conexion& c, int fd) {
    std::uint32_t eventos = 0;
    for (const Sentido* s : {&c.alServidor, &c.alCliente}) {
        if (s->origen == fd && !s->origenCerrado && s->pendientes < LimiteCola)
            eventos |= EPOLLIN;
        if (s->destino == fd && s->bloqueado)
            eventos |= EPOLLOUT;
    }
    epoll_event ev{};
    ev.events = eventos;
    ev.data.fd = fd;
    epoll_ctl(g_epoll, EPOLL_CTL_MOD, fd, &ev);
}

void actualizar(Conexion& c) {
    interes(c, c.alServidor.origen);
    interes(c, c.alServidor.destino);
}

// Writes every chunk whose time has come; false when the connection broke.
bool entregar(Sentido& s, Nanos t) {
    while (!s.cola.empty() && s.cola.front().entrega <= t) {
        Trozo& primero = s.cola.front();
        const ssize_t n = send(s.destino, primero.datos.data() + s.enviados,
                               primero.datos.size() - s.enviados, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                s.bloqueado = true;
                return true;
            }
            if (errno == EINTR)
                continue;
            return false;
        }
        s.enviados += std::size_t(n);
        s.pendientes -= std::size_t(n);
        if (s.enviados == primero.datos.size()) {
            s.cola.pop_front();
            s.enviados = 0;
        }
    }
    s.bloqueado = false;
    if (s.cola.empty() && s.origenCerrado && !s.destinoCerrado) {
        shutdown(s.destino, SHUT_WR);
        s.destinoCerrado = true;
    }
    return true;
}

void cerrar(const std::shared_ptr<Conexion>& c) {
    for (int fd : {c->alServidor.origen, c->alServidor.destino}) {
        epoll_ctl(g_epoll, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        g_conexiones.erase(fd);
    }
}

bool terminada(const Conexion& c) {
    return c.roto || (c.alServidor.destinoCerrado && c.alCliente.destinoCerrado);
}

// Reads what `fd` has for the other side; false when the connection broke.
bool recibir(Conexion& c, int fd, Nanos t) {
    Sentido& s = c.alServidor.origen == fd ? c.alServidor : c.alCliente;
    const bool delCliente = &s == &c.alServidor;
    char buffer[65536];
    while (!s.origenCerrado && s.pendientes < LimiteCola) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            s.origenCerrado = true;
            break;
        }
        if (delCliente) {
            g_totales.bytesAlServidor += std::uint64_t(n);
            if (c.servidorHablo)
                ++g_totales.viajes;
            c.servidorHablo = false;
            if (g_leerMysql)
                c.lector.leer(reinterpret_cast<const unsigned char*>(buffer), std::size_t(n));
        } else {
            g_totales.bytesAlCliente += std::uint64_t(n);
            c.servidorHablo = true;
            if (!c.saludoVisto && g_ocultarTls)
                ocultarTls(buffer, std::size_t(n));
            c.saludoVisto = true;
        }
        s.cola.push_back(
            Trozo{entregaDe(delCliente, std::size_t(n), t), std::string(buffer, std::size_t(n))});
        s.pendientes += std::size_t(n);
    }
    return true;
}

void escribirEstadisticas(const char* ruta) {
    if (!ruta)
        return;
    const std::string temporal = std::string(ruta) + ".tmp";
    FILE* f = std::fopen(temporal.c_str(), "w");
    if (!f)
        return;
    std::uint64_t total = 0;
    for (const auto& [palabra, n] : g_totales.sentencias)
        total += n;
    std::fprintf(f,
                 "{\"latencia_ms\": %.3f, \"conexiones\": %llu, \"viajes\": %llu, "
                 "\"bytes_al_servidor\": %llu, \"bytes_al_cliente\": %llu, \"comandos\": %llu, "
                 "\"paquetes_consulta\": %llu, \"conexiones_cifradas\": %llu, "
                 "\"conexiones_comprimidas\": %llu, "
                 "\"sentencias_total\": %llu, \"sentencias\": {",
                 double(g_latencia) / 1e6, static_cast<unsigned long long>(g_totales.conexiones),
                 static_cast<unsigned long long>(g_totales.viajes),
                 static_cast<unsigned long long>(g_totales.bytesAlServidor),
                 static_cast<unsigned long long>(g_totales.bytesAlCliente),
                 static_cast<unsigned long long>(g_totales.comandos),
                 static_cast<unsigned long long>(g_totales.paquetesConsulta),
                 static_cast<unsigned long long>(g_totales.conexionesCifradas),
                 static_cast<unsigned long long>(g_totales.conexionesComprimidas),
                 static_cast<unsigned long long>(total));
    const char* separador = "";
    for (const auto& [palabra, n] : g_totales.sentencias) {
        std::fprintf(f, "%s\"%s\": %llu", separador, palabra.c_str(),
                     static_cast<unsigned long long>(n));
        separador = ", ";
    }
    std::fprintf(f, "}}\n");
    std::fclose(f);
    std::rename(temporal.c_str(), ruta);
}

int escuchar(int puerto) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int si = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    dir.sin_port = htons(std::uint16_t(puerto));
    if (bind(fd, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0 || listen(fd, 64) != 0) {
        std::perror("proxy_latencia: escuchar");
        std::exit(1);
    }
    return fd;
}

int puertoDe(int fd) {
    sockaddr_in dir{};
    socklen_t largo = sizeof dir;
    getsockname(fd, reinterpret_cast<sockaddr*>(&dir), &largo);
    return ntohs(dir.sin_port);
}

void agregar(int fd, std::uint32_t eventos) {
    epoll_event ev{};
    ev.events = eventos;
    ev.data.fd = fd;
    epoll_ctl(g_epoll, EPOLL_CTL_ADD, fd, &ev);
}

void aceptar(int escucha, int puertoDestino) {
    for (;;) {
        const int cliente = accept4(escucha, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (cliente < 0)
            return;
        const int servidor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in dir{};
        dir.sin_family = AF_INET;
        dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        dir.sin_port = htons(std::uint16_t(puertoDestino));
        // A blocking connect on loopback is immediate; the delay starts with the first bytes.
        if (connect(servidor, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0) {
            std::perror("proxy_latencia: conectar con el destino");
            close(servidor);
            close(cliente);
            continue;
        }
        const int si = 1;
        for (int fd : {cliente, servidor}) {
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &si, sizeof si);
            setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &si, sizeof si);
        }
        fcntl(servidor, F_SETFL, fcntl(servidor, F_GETFL) | O_NONBLOCK);
        auto c = std::make_shared<Conexion>();
        c->alServidor.origen = cliente;
        c->alServidor.destino = servidor;
        c->alCliente.origen = servidor;
        c->alCliente.destino = cliente;
        g_conexiones[cliente] = c;
        g_conexiones[servidor] = c;
        agregar(cliente, EPOLLIN);
        agregar(servidor, EPOLLIN);
        ++g_totales.conexiones;
    }
}

void uso() {
    std::fprintf(stderr, "uso: proxy_latencia --destino PUERTO [--escucha PUERTO] "
                         "[--latencia-ms MS] [--puerto-archivo ARCHIVO] "
                         "[--estadisticas ARCHIVO] [--ocultar-tls 1] [--subida-kbps K] "
                         "[--bajada-kbps K] [--mysql 0]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    int puertoDestino = 0;
    int puertoEscucha = 0;
    double latenciaMs = 0;
    const char* archivoPuerto = nullptr;
    const char* archivoEstadisticas = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            uso();
        const char* v = argv[++i];
        if (a == "--destino")
            puertoDestino = std::atoi(v);
        else if (a == "--escucha")
            puertoEscucha = std::atoi(v);
        else if (a == "--latencia-ms")
            latenciaMs = std::atof(v);
        else if (a == "--puerto-archivo")
            archivoPuerto = v;
        else if (a == "--estadisticas")
            archivoEstadisticas = v;
        else if (a == "--ocultar-tls")
            g_ocultarTls = std::atoi(v) != 0;
        else if (a == "--subida-kbps")
            g_bpsSubida = std::atof(v) * 1000;
        else if (a == "--bajada-kbps")
            g_bpsBajada = std::atof(v) * 1000;
        else if (a == "--mysql")
            g_leerMysql = std::atoi(v) != 0;
        else
            uso();
    }
    if (puertoDestino <= 0 || latenciaMs < 0)
        uso();
    g_latencia = Nanos(latenciaMs * 1e6);

    sigset_t senales;
    sigemptyset(&senales);
    sigaddset(&senales, SIGTERM);
    sigaddset(&senales, SIGINT);
    sigaddset(&senales, SIGUSR1);
    sigprocmask(SIG_BLOCK, &senales, nullptr);
    const int fdSenales = signalfd(-1, &senales, SFD_NONBLOCK | SFD_CLOEXEC);
    const int reloj = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    const int escucha = escuchar(puertoEscucha);
    g_epoll = epoll_create1(EPOLL_CLOEXEC);
    agregar(escucha, EPOLLIN);
    agregar(fdSenales, EPOLLIN);
    agregar(reloj, EPOLLIN);

    if (archivoPuerto) {
        const std::string temporal = std::string(archivoPuerto) + ".tmp";
        if (FILE* f = std::fopen(temporal.c_str(), "w")) {
            std::fprintf(f, "%d\n", puertoDe(escucha));
            std::fclose(f);
            std::rename(temporal.c_str(), archivoPuerto);
        }
    }

    for (;;) {
        // The timer is set to the earliest chunk still waiting for its time.
        Nanos proxima = 0;
        for (const auto& [fd, c] : g_conexiones)
            for (const Sentido* s : {&c->alServidor, &c->alCliente})
                if (!s->cola.empty() && !s->bloqueado &&
                    (proxima == 0 || s->cola.front().entrega < proxima))
                    proxima = s->cola.front().entrega;
        itimerspec alarma{};
        if (proxima != 0) {
            alarma.it_value.tv_sec = proxima / 1'000'000'000;
            alarma.it_value.tv_nsec = proxima % 1'000'000'000;
        }
        timerfd_settime(reloj, TFD_TIMER_ABSTIME, &alarma, nullptr);

        epoll_event eventos[64];
        const int n = epoll_wait(g_epoll, eventos, 64, -1);
        if (n < 0 && errno != EINTR) {
            std::perror("proxy_latencia: epoll_wait");
            return 1;
        }
        const Nanos t = ahora();
        for (int i = 0; i < n; ++i) {
            const int fd = eventos[i].data.fd;
            if (fd == escucha) {
                aceptar(escucha, puertoDestino);
            } else if (fd == fdSenales) {
                signalfd_siginfo info{};
                while (read(fdSenales, &info, sizeof info) == sizeof info) {
                    escribirEstadisticas(archivoEstadisticas);
                    if (info.ssi_signo != SIGUSR1)
                        return 0;
                }
            } else if (fd == reloj) {
                std::uint64_t vencidas = 0;
                (void)!read(reloj, &vencidas, sizeof vencidas);
            } else if (auto it = g_conexiones.find(fd); it != g_conexiones.end()) {
                const std::shared_ptr<Conexion> c = it->second;
                if ((eventos[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) && !recibir(*c, fd, t))
                    c->roto = true;
                if (eventos[i].events & EPOLLOUT) {
                    Sentido& s = c->alServidor.destino == fd ? c->alServidor : c->alCliente;
                    s.bloqueado = false;
                }
            }
        }
        // Deliver what is due on every connection, then adjust what each socket waits for.
        std::vector<std::shared_ptr<Conexion>> todas;
        for (const auto& [fd, c] : g_conexiones)
            if (fd == c->alServidor.origen)
                todas.push_back(c);
        for (const auto& c : todas) {
            for (Sentido* s : {&c->alServidor, &c->alCliente})
                if (!c->roto && !s->bloqueado && !entregar(*s, t))
                    c->roto = true;
            if (terminada(*c))
                cerrar(c);
            else
                actualizar(*c);
        }
    }
}
