#pragma once

#include "destino_ftp.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <curl/curl.h>

#include <memory>
#include <vector>

// What one connection of the FTP client needs to know.
struct AjustesSesion {
    DestinoFTP destino;
    QString usuario;
    QString contrasena;
    bool pasivo = true;
    bool ascii = false;
    // The one certificate accepted for this host name (SHA-256 of the certificate, 64 lowercase
    // hexadecimal digits) although it does not verify: only that certificate is then taken.
    QString hostAceptado;
    QByteArray huellaAceptada;
    QString archivoCA; // trusted authorities instead of the system's
    // SSH host keys; a key not yet in the file is added to it (remembered on first use). Empty:
    // ~/.ssh/known_hosts, read only.
    QString archivoKnownHosts;
    long segundosConexion = 20;
    long segundosRespuesta = 60;
    long segundosSinDatos = 60;
};

// One libcurl easy handle, driven through a multi handle of its own. libcurl keeps the control
// connection (and the TLS session) in the multi handle between requests, so every request of a
// clsFTP goes through this one object.
class SesionCurl {
public:
    explicit SesionCurl(const AjustesSesion& ajustes);
    ~SesionCurl();
    SesionCurl(const SesionCurl&) = delete;
    SesionCurl& operator=(const SesionCurl&) = delete;

    bool valida() const { return m_curl != nullptr; }
    const AjustesSesion& ajustes() const { return m_ajustes; }
    void fijarAscii(bool ascii) { m_ajustes.ascii = ascii; }
    CURL* h() const { return m_curl.get(); }

    // Starts a new request on the URL: drops the options of the previous one and sets the
    // connection's own again. The live connection is kept.
    void preparar(const QString& url);
    // Commands sent before (QUOTE) or after (POSTQUOTE) the request; the list lives until the
    // next preparar().
    void fijarComandos(CURLoption opcion, const QStringList& comandos);
    CURLcode ejecutar();

    // libcurl's own text for the failure of the last request.
    QString mensaje(CURLcode codigo) const;
    // The server's last complete reply during the last request (FTP only) and its code (0: none).
    const QString& respuesta() const { return m_respuesta; }
    int codigoRespuesta() const { return m_codigoRespuesta; }
    // Why the server's certificate or host key was refused, when it was.
    const QString& rechazo() const { return m_rechazo; }
    // The SHA-256 of the certificate the server showed in the last handshake (hexadecimal), also
    // when it was refused; empty when there was none.
    const QByteArray& huellaServidor() const { return m_huellaServidor; }
    // The control connection is encrypted (TLS, or SSH for SFTP).
    bool cifrada() const;
    // The folder the server put us in at login ("/" when it did not say).
    QString carpetaInicial() const;

private:
    static size_t alRecibirLinea(char* datos, size_t tamano, size_t cuantos, void* yo);
    static int alAvanzar(void* yo, curl_off_t, curl_off_t recibidos, curl_off_t,
                         curl_off_t enviados);
    static int alVerificarLlave(CURL*, const curl_khkey* conocida, const curl_khkey* hallada,
                                curl_khmatch resultado, void* yo);
    static CURLcode alPrepararTLS(CURL*, void* contexto, void* yo);
    static int alVerificarCertificado(int verificado, struct x509_store_ctx_st* almacen);
    void recibirLinea(const QByteArray& linea);
    bool tlsRoto() const;
    CURLcode realizar();

    struct LiberarCurl {
        void operator()(CURL* c) const { curl_easy_cleanup(c); }
    };
    struct LiberarMulti {
        void operator()(CURLM* m) const { curl_multi_cleanup(m); }
    };
    struct LiberarLista {
        void operator()(curl_slist* l) const { curl_slist_free_all(l); }
    };

    AjustesSesion m_ajustes;
    // Declared first, so destroyed after the easy handle, as libcurl asks.
    std::unique_ptr<CURLM, LiberarMulti> m_multi;
    std::unique_ptr<CURL, LiberarCurl> m_curl;
    char m_error[CURL_ERROR_SIZE] = {};
    // The transfer's bytes so far and how long they have not moved.
    curl_off_t m_bytesVistos = -1;
    QElapsedTimer m_sinDatos;
    bool m_estancada = false;
    std::vector<std::unique_ptr<curl_slist, LiberarLista>> m_listas;
    QByteArray m_url;
    QByteArray m_usuario;
    QByteArray m_contrasena;
    QStringList m_bloque; // lines of a multi-line reply so far
    QString m_respuesta;
    int m_codigoRespuesta = 0;
    bool m_tlsEnUso = false;
    bool m_avisoActivo = false;
    QString m_rechazo;
    QByteArray m_huellaServidor;
};
