#pragma once

#include "cdirlist.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class SesionCurl;
struct EntradaListado;

// The program's FTP client over libcurl: FTP with optional or required TLS, implicit FTPS and SFTP
// (see destino_ftp.h for the address forms). One connection per object, opened by OpenConnection
// and reused by every later operation until CloseConnection or the next OpenConnection.
//
// Errors: operations return false (or an empty text, or -2, or no list) and keep a description
// for GetLastErrorMessage, "<operation> error code: <n> Message: <text>" (n: libcurl's code, or -1
// for the client's own checks), or the server's own reply alone when it refused the command.
// Successful calls leave it unchanged. Every failure is also logged on "vendaro.ftp".
//
// Threads: the client uses no event loop, timer or socket of Qt, so it may be created on one
// thread and used on another, one thread at a time (give it no parent when it is moved). Progress
// signals are emitted on the thread that runs the transfer; receivers living on other threads get
// them queued. blSigue may be changed from any thread, also from a slot of the progress signal.
//
// Remote paths are relative to the current folder (SetFTPDirectory) unless they begin with "/".
class clsFTP : public QObject {
    Q_OBJECT

public:
    explicit clsFTP(QObject* parent = nullptr);
    ~clsFTP() override;

    // Connects and logs in; a connection held before is closed first. False with "InternetConnect"
    // (or a refused certificate or host key) when it fails; the object is then not connected.
    bool OpenConnection(const QString& sServer, const QString& sUser, const QString& sPassWord);
    // Logs out and closes; nothing to do when not connected.
    void CloseConnection();
    bool IsConnected() const;

    // Whole-file transfers without progress signals. Uploads go under a temporary name and are
    // renamed at the end, so the final name never holds a partial file. A download replaces the
    // local file only once it arrived complete.
    bool SimpleFTPPutFile(const QString& sLocal, const QString& sRemote);
    bool SimpleFTPGetFile(const QString& sLocal, const QString& sRemote);

    bool RenameFTPFile(const QString& sExisting, const QString& sNewName);
    bool CreateFTPDirectory(const QString& sDirectory);
    // Makes sure a folder exists, creating it and each missing parent; true when it exists after.
    // A folder that cannot be created gives one error naming it, with the server's reply.
    bool CreateFTPDirectoryPath(const QString& sDirectory);
    bool RemoveFTPDirectory(const QString& sDirectory);
    bool DeleteFTPFile(const QString& sRemote);

    // Uploads in 255-byte chunks with one FileTransferProgress(sent, total) per full chunk and a
    // final (total, total) after success. Blank paths give false with nothing recorded. Clearing
    // blSigue stops the upload: false, with the reason recorded, and nothing under sRemote.
    bool FTPUploadFile(const QString& sLocal, const QString& sRemote);
    // Downloads with one FileTransferProgress(received, total) per full 255-byte chunk and a final
    // (total, total). False when the remote file is missing or empty (nothing recorded then).
    bool FTPDownloadFile(const QString& sLocal, const QString& sRemote);

    // The current remote folder; empty (and "FtpGetCurrentDirectory" recorded) when not connected.
    QString GetFTPDirectory();
    // Makes a folder current after checking that it exists.
    bool SetFTPDirectory(const QString& sDir);
    // The size of one remote file (exact name, 64-bit); -1 when it does not exist (nothing
    // recorded), -2 on other failures.
    qint64 GetFTPFileSize(const QString& sFile);
    // Lists the entries matching sFilter: "" or a folder ending in "/" lists that folder; otherwise
    // the last part is a pattern ("*.jpg", a plain name) in its folder. Returns the list (also
    // reachable as Directory()) or null when nothing matched or the listing failed. Valid until the
    // next listing.
    const cDirList* GetDirectoryListing(const QString& sFilter);

    // A new client starts in ASCII and active mode; the program selects binary and passive. Both
    // concern FTP only. The transfer type applies at once, the mode at the next OpenConnection.
    void SetTransferASCII();
    void SetTransferBinary();
    void SetModeActive();
    void SetModePassive();

    // The last listing; an empty list when none was made or nothing matched.
    const cDirList& Directory() const { return m_directorio; }
    QString GetLastErrorMessage() const { return m_ultimoError; }
    // True when the last failure concerned the connection itself (refused login, unreachable,
    // silent or stalled server, dropped connection) rather than one file or command: another
    // file would fail the same way.
    bool LastErrorIsConnectionFailure() const;
    // True for the hidden name an upload of this client uses until the file is complete
    // (".<name>.vendaro-<hex>.part"); one left behind comes from an upload that was cut off.
    static bool IsPartialUploadName(const QString& sName);
    // True when the last failure was a server certificate that did not verify or was not the
    // accepted one (PeerCertificateSha256 then tells which it was).
    bool LastErrorIsUnverifiedCertificate() const;
    bool blSigue() const { return m_sigue.load(); }
    void setblSigue(bool vNewValue) { m_sigue.store(vNewValue); }

    // Security of TLS and SSH. A server whose certificate does not verify is refused unless it
    // shows the one certificate accepted for its host name (SHA-256 of the certificate, 64
    // hexadecimal digits; colons and letter case do not matter); any other certificate of that
    // host is then refused too. SSH host keys are remembered in the known-hosts file on first use
    // and a changed key is always refused; without a file of the client's own, ~/.ssh/known_hosts
    // is read and an unknown key refused. The CA file replaces the system's trusted authorities.
    // All take effect at the next OpenConnection.
    void SetAcceptedCertificate(const QString& sHost, const QByteArray& sSha256);
    // The SHA-256 of the certificate the server showed at the last connection attempt
    // (hexadecimal), also when it was refused: what the user compares and accepts.
    QByteArray PeerCertificateSha256() const { return m_huellaServidor; }
    // The open connection is encrypted (TLS in use, or SFTP).
    bool IsEncrypted() const;
    void SetCAFile(const QString& sFile);
    void SetKnownHostsFile(const QString& sFile);

    // Time limits in seconds: to connect, for each server reply, and for a transfer that moves no
    // byte. Defaults 20, 60 and 60. Take effect at the next OpenConnection.
    void SetTimeouts(int lConnectSeconds, int lResponseSeconds, int lStallSeconds);

Q_SIGNALS:
    void FileTransferProgress(qint64 lCurrentBytes, qint64 lTotalBytes);

private:
    bool conectado(const QString& operacion);
    bool esSftp() const;
    QString rutaAbsoluta(const QString& ruta) const;
    bool rutasSeguras(const QString& operacion, const QStringList& rutas);
    QStringList comandosRenombrar(const QString& origen, const QString& destino) const;
    QString comandoBorrar(const QString& ruta, bool ignorarFallo) const;
    bool comandoSobre(const QString& operacion, const QString& ftp, const QString& sftp,
                      const QString& ruta);
    bool comando(const QString& operacion, const QStringList& comandos);
    bool subir(const QString& sLocal, const QString& sRemote, bool conProgreso);
    bool bajar(const QString& sLocal, const QString& sRemote, qint64 total, bool conProgreso);
    // Reads a folder's entries; returns libcurl's result code.
    int listar(const QString& carpeta, QList<EntradaListado>& entradas);
    void borrarTemporal(const QString& temporal);
    void registrarError(const QString& operacion, int codigo, const QString& mensaje);
    void registrarFalloCurl(const QString& operacion, int codigo);
    int probarCarpeta(const QString& carpeta);

    std::unique_ptr<SesionCurl> m_sesion;
    QString m_carpetaActual;
    QString m_ultimoError;
    int m_ultimoCodigo = 0;
    cDirList m_directorio;
    std::atomic<bool> m_sigue{true};
    bool m_ascii = true;
    bool m_pasivo = false;
    bool m_mlsd = true;
    QString m_hostAceptado;
    QByteArray m_huellaAceptada;
    QByteArray m_huellaServidor;
    QString m_archivoCA;
    QString m_archivoKnownHosts;
    int m_segundosConexion = 20;
    int m_segundosRespuesta = 60;
    int m_segundosSinDatos = 60;
};
