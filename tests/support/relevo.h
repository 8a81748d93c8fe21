#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

// A TCP relay on loopback in front of a test server, that a test can cut: every connection reset
// at once, and new ones refused for a while, as a flaky line or a restarting server does.
class Relevo {
public:
    explicit Relevo(int puertoDestino);
    ~Relevo();
    int puerto() const { return m_puerto; }
    // Resets every open connection and refuses new ones for the given milliseconds.
    void cortar(int msRechazo);

private:
    void servir();
    int m_destino;
    int m_escucha = -1;
    int m_puerto = 0;
    int m_aviso[2] = {-1, -1}; // wakes the relay's thread
    std::atomic<bool> m_fin{false};
    std::atomic<qint64> m_rechazarHasta{0};
    std::atomic<int> m_cortes{0};
    std::thread m_hilo;
};
