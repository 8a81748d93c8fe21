#pragma once

#include <QString>

#include <memory>

// Where and as whom the SSH server is reached. Without password and key file, the user's SSH agent
// signs the login.
struct DatosTunel {
    QString servidor; // the SSH server's host
    int puerto = 22;
    QString usuario;
    QString contrasena;
    QString llave;               // a private key file (OpenSSH or PEM)
    QString frase;               // the key file's passphrase
    QString servidoresConocidos; // the known_hosts file
    unsigned segundosConexion = 10;
    // An idle tunnel sends a keep-alive this often, so no idle timer on the way closes it.
    unsigned segundosVivo = 30;
    bool operator==(const DatosTunel&) const = default;
};

// "host" or "host:port" (port 22 by default) into servidor and puerto; false for a bad port.
bool LeerDestinoTunel(const QString& texto, DatosTunel& datos);

// A TCP forwarding through one SSH session (libssh): database sessions connect to a listener on
// 127.0.0.1 at a port the system picks, and each one becomes a direct-tcpip channel to the
// destination as the SSH server sees it. The session lives on the tunnel's own thread, the only one
// that calls libssh. A lost session is opened again by the next abrirCanal(), as a lost database
// connection is. Error convention: false, with the reason in Spanish in ultimoError().
class TunelSsh {
public:
    TunelSsh(const DatosTunel& datos);
    ~TunelSsh(); // closes the session and every channel at once
    TunelSsh(const TunelSsh&) = delete;
    TunelSsh& operator=(const TunelSsh&) = delete;

    // Readies one connection to destino:puerto: the session is opened (host key checked, login)
    // when it is not, and the listener takes the next connection made to puertoLocal(). Any other
    // connection to the listener is closed unanswered.
    bool abrirCanal(const QString& destino, int puerto);
    // After a database session through the tunnel failed: why its channel was refused or closed,
    // or empty when the tunnel has nothing to add.
    QString errorCanal() const;
    quint16 puertoLocal() const;
    QString ultimoError() const;
    // "usuario@host:22".
    QString ruta() const;
    // The server's host key as "SHA256:…", once a session was opened.
    QString huella() const;
    const DatosTunel& datos() const { return m_datos; }

private:
    struct Hilo;
    DatosTunel m_datos;
    std::unique_ptr<Hilo> m_hilo;
};
