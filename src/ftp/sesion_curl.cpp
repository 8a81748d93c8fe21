#include "sesion_curl.h"

#include "../services/plataforma.h"

#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <mutex>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcFtp)

namespace {
std::once_flag g_iniciada;

bool mismoHost(const QString& a, const QString& b) {
    return !a.trimmed().isEmpty() && a.trimmed().compare(b, Qt::CaseInsensitive) == 0;
}

// Where the TLS context of a connection keeps its session, for the verification callback.
int indiceSesion() {
    static const int indice = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return indice;
}
} // namespace

SesionCurl::SesionCurl(const AjustesSesion& ajustes)
    : m_ajustes(ajustes) {
    // Global set-up is not thread-safe in every libcurl build: done once, before any handle.
    std::call_once(g_iniciada, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_multi.reset(curl_multi_init());
    m_curl.reset(m_multi ? curl_easy_init() : nullptr);
    m_usuario = ajustes.usuario.toUtf8();
    m_contrasena = ajustes.contrasena.toUtf8();
    m_tlsEnUso = ajustes.destino.tls == DestinoFTP::TLS::Implicito;
}

SesionCurl::~SesionCurl() = default;

bool SesionCurl::tlsRoto() const {
    // libcurl 7.87 and 7.88 open active-mode data connections without TLS even when the control
    // connection uses it, so the file would travel in clear (or the server refuses it).
    const curl_version_info_data* v = curl_version_info(CURLVERSION_NOW);
    return v->version_num >= 0x075700 && v->version_num < 0x080000;
}

void SesionCurl::preparar(const QString& url) {
    CURL* c = m_curl.get();
    curl_easy_reset(c);
    m_listas.clear();
    m_error[0] = 0;
    m_url = url.toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_error);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERNAME, m_usuario.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, m_contrasena.constData());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, m_ajustes.segundosConexion);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, m_ajustes.segundosRespuesta);
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, m_ajustes.segundosRespuesta * 1000L);
    // libcurl's own low-speed check arms a one-second timer that an FTP transfer then often waits
    // out before opening its data connection (libcurl 7.88): a second per file. The same limit,
    // measured in the progress callback, costs nothing.
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &SesionCurl::alAvanzar);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &SesionCurl::alRecibirLinea);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);

    const DestinoFTP& d = m_ajustes.destino;
    if (d.protocolo == DestinoFTP::Protocolo::SFTP) {
        const QByteArray conocidas =
            (m_ajustes.archivoKnownHosts.isEmpty() ? QDir::homePath() + u"/.ssh/known_hosts"_s
                                                   : m_ajustes.archivoKnownHosts)
                .toLocal8Bit();
        curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, conocidas.constData());
        curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, &SesionCurl::alVerificarLlave);
        curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, this);
        if (!m_contrasena.isEmpty())
            curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES,
                             long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        return;
    }

    switch (d.tls) {
    case DestinoFTP::TLS::Si_Se_Ofrece:
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
        break;
    case DestinoFTP::TLS::Exigido:
    case DestinoFTP::TLS::Implicito:
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        break;
    case DestinoFTP::TLS::No_Aplica:
        break;
    }
    curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    // Uploads over TLS 1.3 can lose their end: libcurl closes the data connection with the
    // server's post-handshake messages unread, the reset discards what the server had not read
    // yet, and some servers still answer 226 (a known libcurl bug; seen here as a 300 000-byte
    // picture stored as 171 105 bytes). TLS 1.2 has no such messages.
    curl_easy_setopt(c, CURLOPT_SSLVERSION,
                     long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2));
    // The handshake goes through our callback, which notes the certificate's fingerprint and, for
    // an accepted certificate, takes that one alone in place of the usual checks: the password
    // is sent only after it.
    curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, &SesionCurl::alPrepararTLS);
    curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, this);
    if (mismoHost(m_ajustes.hostAceptado, d.host) && !m_ajustes.huellaAceptada.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    // Without a file of its own the system's authorities (Windows' handed over as a file).
    if (const QString archivoCA =
            m_ajustes.archivoCA.isEmpty() ? plataforma::autoridadesTls() : m_ajustes.archivoCA;
        !archivoCA.isEmpty()) {
        const QByteArray ca = archivoCA.toLocal8Bit();
        curl_easy_setopt(c, CURLOPT_CAINFO, ca.constData());
    }
    // One CWD to the file's folder, then the command on the bare name: fewest round trips that
    // every server understands.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, m_ajustes.ascii ? 1L : 0L);
    if (!m_ajustes.pasivo) {
        if (m_tlsEnUso && tlsRoto()) {
            if (!m_avisoActivo)
                qCWarning(lcFtp).noquote() << "Modo activo pedido con TLS en" << d.nombre()
                                           << ": esta versión de libcurl enviaría los datos sin "
                                              "cifrar; se usa el modo pasivo";
            m_avisoActivo = true;
        } else {
            curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
        }
    }
}

void SesionCurl::fijarComandos(CURLoption opcion, const QStringList& comandos) {
    curl_slist* lista = nullptr;
    for (const QString& comando : comandos) {
        curl_slist* nueva = curl_slist_append(lista, comando.toUtf8().constData());
        if (!nueva)
            break;
        lista = nueva;
    }
    m_listas.emplace_back(lista);
    curl_easy_setopt(m_curl.get(), opcion, lista);
}

CURLcode SesionCurl::alPrepararTLS(CURL*, void* contexto, void* yo) {
    auto* ctx = static_cast<SSL_CTX*>(contexto);
    SSL_CTX_set_ex_data(ctx, indiceSesion(), yo);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, &SesionCurl::alVerificarCertificado);
    return CURLE_OK;
}

int SesionCurl::alVerificarCertificado(int verificado, X509_STORE_CTX* almacen) {
    auto* ssl = static_cast<SSL*>(
        X509_STORE_CTX_get_ex_data(almacen, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* s = static_cast<SesionCurl*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), indiceSesion()));
    const DestinoFTP& d = s->m_ajustes.destino;
    const bool fijado =
        mismoHost(s->m_ajustes.hostAceptado, d.host) && !s->m_ajustes.huellaAceptada.isEmpty();
    // The chain above the server's own certificate matters only for the usual checks.
    if (X509_STORE_CTX_get_error_depth(almacen) != 0)
        return fijado ? 1 : verificado;
    unsigned char resumen[EVP_MAX_MD_SIZE];
    unsigned int largo = 0;
    if (X509_digest(X509_STORE_CTX_get_current_cert(almacen), EVP_sha256(), resumen, &largo) != 1)
        return 0;
    s->m_huellaServidor =
        QByteArray(reinterpret_cast<const char*>(resumen), qsizetype(largo)).toHex();
    if (!fijado)
        return verificado;
    if (s->m_huellaServidor == s->m_ajustes.huellaAceptada)
        return 1;
    s->m_rechazo = u"El certificado del servidor %1 no es el aceptado (su huella es sha256:%2; "
                   "se aceptó sha256:%3): podría ser otro servidor haciéndose pasar por él. No "
                   "se conecta."_s.arg(d.nombre(), QString::fromLatin1(s->m_huellaServidor),
                                       QString::fromLatin1(s->m_ajustes.huellaAceptada));
    return 0;
}

bool SesionCurl::cifrada() const {
    return m_ajustes.destino.protocolo == DestinoFTP::Protocolo::SFTP || m_tlsEnUso;
}

int SesionCurl::alAvanzar(void* yo, curl_off_t, curl_off_t recibidos, curl_off_t,
                          curl_off_t enviados) {
    auto* s = static_cast<SesionCurl*>(yo);
    const curl_off_t bytes = recibidos + enviados;
    if (bytes != s->m_bytesVistos || !s->m_sinDatos.isValid()) {
        s->m_bytesVistos = bytes;
        s->m_sinDatos.start();
        return 0;
    }
    if (s->m_sinDatos.elapsed() < s->m_ajustes.segundosSinDatos * 1000)
        return 0;
    s->m_estancada = true;
    return 1; // ends the transfer
}

CURLcode SesionCurl::ejecutar() {
    m_bloque.clear();
    m_respuesta.clear();
    m_codigoRespuesta = 0;
    m_rechazo.clear();
    m_huellaServidor.clear();
    m_bytesVistos = -1;
    m_sinDatos.invalidate();
    m_estancada = false;
    const CURLcode codigo = realizar();
    if (codigo == CURLE_ABORTED_BY_CALLBACK && m_estancada) {
        qsnprintf(m_error, CURL_ERROR_SIZE, "Operation too slow: no data for %ld seconds",
                  m_ajustes.segundosSinDatos);
        return CURLE_OPERATION_TIMEDOUT;
    }
    return codigo;
}

CURLcode SesionCurl::realizar() {
    // curl_easy_perform() waits up to a second whenever libcurl leaves a step with no socket or
    // timer to wake it: libcurl 7.88 does so after EPSV, before it connects the data stream, and
    // about one upload in ten then waited a whole second. Our own wait is capped instead.
    constexpr int EsperaMaximaMs = 20;
    CURLM* multi = m_multi.get();
    CURL* c = m_curl.get();
    if (curl_multi_add_handle(multi, c) != CURLM_OK)
        return CURLE_FAILED_INIT;
    int activas = 1;
    CURLMcode mc = CURLM_OK;
    while (activas > 0 && mc == CURLM_OK) {
        mc = curl_multi_perform(multi, &activas);
        if (mc == CURLM_OK && activas > 0)
            mc = curl_multi_poll(multi, nullptr, 0, EsperaMaximaMs, nullptr);
    }
    CURLcode codigo = mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_RECV_ERROR;
    int quedan = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &quedan))
        if (m->msg == CURLMSG_DONE && m->easy_handle == c)
            codigo = m->data.result;
    curl_multi_remove_handle(multi, c);
    if (mc != CURLM_OK && !m_error[0])
        qsnprintf(m_error, CURL_ERROR_SIZE, "%s", curl_multi_strerror(mc));
    return codigo;
}

QString SesionCurl::mensaje(CURLcode codigo) const {
    const QString propio = QString::fromUtf8(m_error).trimmed();
    return propio.isEmpty() ? QString::fromUtf8(curl_easy_strerror(codigo)) : propio;
}

QString SesionCurl::carpetaInicial() const {
    char* ruta = nullptr;
    if (curl_easy_getinfo(m_curl.get(), CURLINFO_FTP_ENTRY_PATH, &ruta) == CURLE_OK && ruta &&
        *ruta) {
        QString carpeta = QString::fromUtf8(ruta);
        if (!carpeta.startsWith(u'/'))
            carpeta.prepend(u'/');
        return carpeta;
    }
    return u"/"_s;
}

size_t SesionCurl::alRecibirLinea(char* datos, size_t tamano, size_t cuantos, void* yo) {
    const size_t total = tamano * cuantos;
    static_cast<SesionCurl*>(yo)->recibirLinea(QByteArray(datos, qsizetype(total)));
    return total;
}

void SesionCurl::recibirLinea(const QByteArray& crudo) {
    // FTP replies: "nnn text" is a whole reply; "nnn-text" opens a multi-line one that ends with
    // a line of the same code and a blank. libcurl also passes lines of its own (sizes, dates),
    // which are not replies.
    const QString linea = QString::fromUtf8(crudo).trimmed();
    static const QRegularExpression codigo(uR"(^(\d{3})([ -]))"_s);
    const QRegularExpressionMatch m = codigo.match(linea);
    if (m_bloque.isEmpty()) {
        if (!m.hasMatch())
            return;
        if (m.captured(2) == u"-"_s) {
            m_bloque.append(linea);
            return;
        }
    } else {
        m_bloque.append(linea);
        if (!m.hasMatch() || m.captured(2) != u" "_s || !m_bloque.first().startsWith(m.captured(1)))
            return;
    }
    m_respuesta = m_bloque.isEmpty() ? linea : m_bloque.join(u'\n');
    m_codigoRespuesta = m.captured(1).toInt();
    m_bloque.clear();
    if (m_codigoRespuesta == 234)
        m_tlsEnUso = true;
}

int SesionCurl::alVerificarLlave(CURL*, const curl_khkey*, const curl_khkey*,
                                 curl_khmatch resultado, void* yo) {
    auto* s = static_cast<SesionCurl*>(yo);
    const DestinoFTP& d = s->m_ajustes.destino;
    const QString& archivo = s->m_ajustes.archivoKnownHosts;
    switch (resultado) {
    case CURLKHMATCH_OK:
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISSING:
        // Remembered on first use: from then on only this key is taken for the server.
        if (!archivo.isEmpty()) {
            qCInfo(lcFtp).noquote() << "Llave SSH del servidor" << d.nombre()
                                    << "vista por primera vez; se recuerda en" << archivo;
            return CURLKHSTAT_FINE_ADD_TO_FILE;
        }
        s->m_rechazo =
            u"La llave SSH del servidor %1 no está entre las conocidas (~/.ssh/known_hosts), así "
            "que no se puede comprobar que sea el servidor auténtico; no se conecta."_s.arg(
                d.nombre());
        return CURLKHSTAT_REJECT;
    default:
        s->m_rechazo =
            u"La llave SSH del servidor %1 no es la que se recordó en %2: podría ser otro "
            "servidor haciéndose pasar por él. No se conecta. Si el servidor cambió de llave de "
            "verdad, borre su línea de ese archivo."_s.arg(
                d.nombre(), archivo.isEmpty() ? u"~/.ssh/known_hosts"_s : archivo);
        return CURLKHSTAT_REJECT;
    }
}
