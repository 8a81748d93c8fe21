#include "relevo.h"

#include <QDateTime>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <vector>

namespace {
qint64 ahoraMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

int conectar(int puerto) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_port = htons(quint16(puerto));
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// A close that the peer sees as a reset, as a cut line does.
void resetear(int s) {
    linger l{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(s);
}
} // namespace

Relevo::Relevo(int puertoDestino)
    : m_destino(puertoDestino) {
    m_escucha = ::socket(AF_INET, SOCK_STREAM, 0);
    const int si = 1;
    ::setsockopt(m_escucha, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_escucha, reinterpret_cast<sockaddr*>(&dir), sizeof dir);
    ::listen(m_escucha, 16);
    socklen_t largo = sizeof dir;
    ::getsockname(m_escucha, reinterpret_cast<sockaddr*>(&dir), &largo);
    m_puerto = ntohs(dir.sin_port);
    if (::pipe(m_aviso) != 0)
        m_aviso[0] = m_aviso[1] = -1;
    m_hilo = std::thread([this] { servir(); });
}

Relevo::~Relevo() {
    m_fin = true;
    const char c = 'f';
    if (::write(m_aviso[1], &c, 1) < 0) {
    }
    m_hilo.join();
    ::close(m_escucha);
    ::close(m_aviso[0]);
    ::close(m_aviso[1]);
}

void Relevo::cortar(int msRechazo) {
    m_rechazarHasta = ahoraMs() + msRechazo;
    ++m_cortes;
    const char c = 'c';
    if (::write(m_aviso[1], &c, 1) < 0) {
    }
}

void Relevo::servir() {
    std::map<int, int> pares; // each end → the other
    int cortesVistos = 0;
    while (!m_fin) {
        std::vector<pollfd> vigilar{{m_escucha, POLLIN, 0}, {m_aviso[0], POLLIN, 0}};
        for (const auto& [s, otro] : pares)
            vigilar.push_back({s, POLLIN, 0});
        if (::poll(vigilar.data(), nfds_t(vigilar.size()), 200) < 0)
            continue;
        if (vigilar[1].revents & POLLIN) {
            char basura[16];
            if (::read(m_aviso[0], basura, sizeof basura) < 0) {
            }
        }
        if (m_cortes != cortesVistos) {
            cortesVistos = m_cortes;
            for (const auto& [s, otro] : pares)
                resetear(s);
            pares.clear();
            continue;
        }
        if (vigilar[0].revents & POLLIN) {
            const int cliente = ::accept(m_escucha, nullptr, nullptr);
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
        for (size_t i = 2; i < vigilar.size(); ++i) {
            if (!(vigilar[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const int s = vigilar[i].fd;
            const auto it = pares.find(s);
            if (it == pares.end())
                continue;
            const int otro = it->second;
            char datos[16384];
            const ssize_t n = ::read(s, datos, sizeof datos);
            if (n <= 0 || ::send(otro, datos, size_t(n), MSG_NOSIGNAL) != n) {
                ::close(s);
                ::close(otro);
                pares.erase(s);
                pares.erase(otro);
            }
        }
    }
    for (const auto& [s, otro] : pares)
        ::close(s);
}
