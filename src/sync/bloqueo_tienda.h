#pragma once

#include "services/conexion.h"

#include <QString>

// One send run at a time per shop database, from any workstation or settings file: a named lock
// (GET_LOCK) on the shop's server. It lives on a session of its own, so reopening the run's shop
// connection never drops it; the server frees it when that session ends, even when the process
// dies. Needs no privilege beyond logging in.
class BloqueoTienda {
public:
    // segundosEspera: how long a second run waits for the first before giving up.
    BloqueoTienda(const DatosConexion& tienda, const OpcionesConexion& opciones,
                  int segundosEspera = 5);
    ~BloqueoTienda();

    // True when this run holds the lock; otherwise descripcion() says who holds it, or why the
    // lock could not be asked for.
    bool tomar();
    // For the run after it reopened its shop connection: true while the lock is still held, taking
    // it again when its session was lost (a restarted server).
    bool asegurar();
    QString descripcion() const { return m_descripcion; }
    // The last tomar() failed because another run holds the lock (not for want of a session).
    bool ocupado() const { return m_ocupado; }
    // Gives the lock back now. With the shop lost (a dead or hung server), only the session is
    // dropped: the server frees the lock when it sees it gone, and nobody waits for a reply.
    void soltar(bool tiendaPerdida);

    // The lock's name for a shop database: "vendaro:" and the name, hashed when that would pass the
    // server's 64 characters.
    static QString nombreBloqueo(const QString& base);

private:
    QString quienLoTiene();

    DatosConexion m_tienda;
    OpcionesConexion m_opciones;
    int m_segundosEspera;
    QString m_base;
    QString m_nombre;
    Conexion m_cn;
    QString m_descripcion;
    bool m_ocupado = false;
};
