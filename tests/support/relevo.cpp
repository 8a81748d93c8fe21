#include "relevo.h"

#include <QDateTime>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <map>
#include <vector>

namespace {
#ifdef Q_OS_WIN
// Winsock's names for the same calls; its sockets are handles that fit an int. No pipe wakes the
// relay there: it sees a cut at its next poll, within 200 ms.
using socklen_t = int;
using nfds_t = ULONG;
constexpr int MSG_NOSIGNAL = 0;
void cerrar(int s) {
    ::closesocket(SOCKET(s));
}
int sondear(pollfd* fds, nfds_t n, int ms) {
    return ::WSAPoll(fds, n, ms);
}
bool abrirAviso(int aviso[2]) {
    WSADATA datos;
    WSAStartup(MAKEWORD(2, 2), &datos);
    aviso[0] = aviso[1] = -1;
    return false;
}
#else
void cerrar(int s) {
    ::close(s);
}
int sondear(pollfd* fds, nfds_t n, int ms) {
    return ::poll(fds, n, ms);
}
bool abrirAviso(int aviso[2]) {
    if (::pipe(aviso) == 0)
        return true;
    aviso[0] = aviso[1] = -1;
    return false;
}
#endif

void avisar(const int aviso[2], char c) {
#ifndef Q_OS_WIN
    if (aviso[1] >= 0 && ::write(aviso[1], &c, 1) < 0) {
    }
#else
    Q_UNUSED(aviso);
    Q_UNUSED(c);
#endif
}

qint64 ahoraMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

int conectar(int puerto) {
    const int s = int(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_port = htons(quint16(puerto));
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0) {
        cerrar(s);
        return -1;
    }
    return s;
}

// A close that the peer sees as a reset, as a cut line does.
void resetear(int s) {
    linger l{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    cerrar(s);
}
} // namespace

Relevo::Relevo(int puertoDestino)
    : m_destino(puertoDestino) {
    abrirAviso(m_aviso);
    m_escucha = int(::socket(AF_INET, SOCK_STREAM, 0));
    const int si = 1;
    ::setsockopt(m_escucha, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&si),
                 sizeof si);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_escucha, reinterpret_cast<sockaddr*>(&dir), sizeof dir);
    ::listen(m_escucha, 16);
    socklen_t largo = sizeof dir;
    ::getsockname(m_escucha, reinterpret_cast<sockaddr*>(&dir), &largo);
    m_puerto = ntohs(dir.sin_port);
    m_hilo = std::thread([this] { servir(); });
}

Relevo::~Relevo() {
    m_fin = true;
    avisar(m_aviso, 'f');
    m_hilo.join();
    cerrar(m_escucha);
    if (m_aviso[0] >= 0) {
        cerrar(m_aviso[0]);
        cerrar(m_aviso[1]);
    }
}

void Relevo::cortar(int msRechazo) {
    m_rechazarHasta = ahoraMs() + msRechazo;
    ++m_cortes;
    avisar(m_aviso, 'c');
}

void Relevo::servir() {
    std::map<int, int> pares; // each end → the other
    int cortesVistos = 0;
    while (!m_fin) {
        std::vector<pollfd> vigilar{{decltype(pollfd::fd)(m_escucha), POLLIN, 0}};
        if (m_aviso[0] >= 0)
            vigilar.push_back({decltype(pollfd::fd)(m_aviso[0]), POLLIN, 0});
        const size_t primeros = vigilar.size();
        for (const auto& [s, otro] : pares)
            vigilar.push_back({decltype(pollfd::fd)(s), POLLIN, 0});
        if (sondear(vigilar.data(), nfds_t(vigilar.size()), 200) < 0)
            continue;
#ifndef Q_OS_WIN
        if (primeros > 1 && (vigilar[1].revents & POLLIN)) {
            char basura[16];
            if (::read(m_aviso[0], basura, sizeof basura) < 0) {
            }
        }
#endif
        if (m_cortes != cortesVistos) {
            cortesVistos = m_cortes;
            for (const auto& [s, otro] : pares)
                resetear(s);
            pares.clear();
            continue;
        }
        if (vigilar[0].revents & POLLIN) {
            const int cliente = int(::accept(m_escucha, nullptr, nullptr));
            const int servidor =
                cliente >= 0 && ahoraMs() >= m_rechazarHasta ? conectar(m_destino) : -1;
            if (servidor < 0) {
                if (cliente >= 0)
                    resetear(cliente);
            } else {
                pares[cliente] = servidor;
                pares[servidor] = cliente;
            }
        }
        for (size_t i = primeros; i < vigilar.size(); ++i) {
            if (!(vigilar[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const int s = int(vigilar[i].fd);
            const auto it = pares.find(s);
            if (it == pares.end())
                continue;
            const int otro = it->second;
            char datos[16384];
            const int n = int(::recv(s, datos, sizeof datos, 0));
            if (n <= 0 || int(::send(otro, datos, n, MSG_NOSIGNAL)) != n) {
                cerrar(s);
                cerrar(otro);
                pares.erase(s);
                pares.erase(otro);
            }
        }
    }
    for (const auto& [s, otro] : pares)
        cerrar(s);
}
