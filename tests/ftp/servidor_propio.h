#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A server of the test's own, started from scripts/ftp_server.py with the given options (a
// server that drops clients, one that never answers, implicit TLS, SFTP...) and stopped when the
// object goes. The fixture's servers cover the usual cases; these cover the odd ones. "{dir}" in
// an option stands for the server's own temporary folder.
class ServidorPropio {
public:
    explicit ServidorPropio(const QStringList& opciones);
    ~ServidorPropio();
    ServidorPropio(const ServidorPropio&) = delete;
    ServidorPropio& operator=(const ServidorPropio&) = delete;

    int puerto() const { return m_puerto; }
    // The folder the server serves.
    QString raiz() const { return m_dir.filePath(QStringLiteral("raiz")); }
    // A file beside the server (host key, certificate...).
    QString archivo(const QString& nombre) const { return m_dir.filePath(nombre); }

    // FTP sessions the server has opened so far (from its log).
    int sesiones() const;
    // The server's log so far.
    QByteArray bitacora() const;

    static QString usuario() { return QStringLiteral("cliente"); }
    static QString contrasena() { return QStringLiteral("clave-propia"); }

private:
    QString archivoParar() const { return m_dir.filePath(QStringLiteral("parar")); }

    QTemporaryDir m_dir;
    QProcess m_proceso;
    int m_puerto = 0;
};
