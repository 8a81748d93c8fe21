#include "clsftp.h"

#include "listado_ftp.h"
#include "sesion_curl.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcFtp, "vendaro.ftp")

namespace {
// Transfers move this many bytes per step, with one progress signal per full step.
constexpr qint64 Trozo = 255;
// Code of the failures found by the client itself (no connection, unsafe name, local file).
constexpr int ErrorPropio = -1;

QString carpetaDe(const QString& ruta) {
    const qsizetype barra = ruta.lastIndexOf(u'/');
    return barra <= 0 ? u"/"_s : ruta.left(barra);
}

QString nombreDe(const QString& ruta) {
    return ruta.mid(ruta.lastIndexOf(u'/') + 1);
}

QString unir(const QString& carpeta, const QString& nombre) {
    return carpeta.endsWith(u'/') ? carpeta + nombre : carpeta + u'/' + nombre;
}

QString comoCarpeta(const QString& ruta) {
    return ruta.endsWith(u'/') ? ruta : ruta + u'/';
}

// FTP commands are lines: a name holding a line break could smuggle in a second command.
bool rutaSegura(const QString& ruta) {
    return !ruta.contains(u'\r') && !ruta.contains(u'\n') && !ruta.contains(QChar(0));
}

// An SFTP command argument, quoted as libcurl reads it.
QString citar(const QString& ruta) {
    QString r = ruta;
    r.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u'"' + r + u'"';
}

// Failures that come from a negative reply of the server rather than from the network or TLS:
// the reply itself then says best what went wrong.
bool rechazoDelServidor(CURLcode codigo) {
    switch (codigo) {
    case CURLE_LOGIN_DENIED:
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_UPLOAD_FAILED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_FTP_PORT_FAILED:
        return true;
    default:
        return false;
    }
}

struct Subida {
    clsFTP* ftp = nullptr;
    QFile* archivo = nullptr;
    qint64 total = 0;
    qint64 enviados = 0;
    bool progreso = false;
    bool empezada = false;
    bool ultimoFueResto = false;
    bool detenida = false;
    QString errorLocal;
};

size_t leerSubida(char* destino, size_t tamano, size_t cuantos, void* dato) {
    auto* s = static_cast<Subida*>(dato);
    s->empezada = true;
    const qint64 quedan = s->total - s->enviados;
    if (quedan <= 0)
        return 0;
    if (s->progreso && !s->ftp->blSigue()) {
        s->detenida = true;
        return CURL_READFUNC_ABORT;
    }
    const qint64 trozo = std::min({Trozo, quedan, qint64(tamano * cuantos)});
    if (s->archivo->read(destino, trozo) != trozo) {
        s->errorLocal = s->archivo->errorString();
        return CURL_READFUNC_ABORT;
    }
    s->enviados += trozo;
    s->ultimoFueResto = trozo < Trozo;
    if (s->progreso && !s->ultimoFueResto)
        Q_EMIT s->ftp->FileTransferProgress(s->enviados, s->total);
    return size_t(trozo);
}

struct Bajada {
    clsFTP* ftp = nullptr;
    QSaveFile* archivo = nullptr;
    qint64 total = -1;
    qint64 recibidos = 0;
    bool progreso = false;
    QString errorLocal;
};

size_t escribirBajada(char* datos, size_t tamano, size_t cuantos, void* dato) {
    auto* b = static_cast<Bajada*>(dato);
    const qint64 largo = qint64(tamano * cuantos);
    const qint64 trozosCompletos = b->total / Trozo * Trozo;
    qint64 hecho = 0;
    while (hecho < largo) {
        const qint64 pieza = std::min(Trozo - b->recibidos % Trozo, largo - hecho);
        if (b->archivo->write(datos + hecho, pieza) != pieza) {
            b->errorLocal = b->archivo->errorString();
            return 0; // libcurl ends the transfer with a write error
        }
        hecho += pieza;
        b->recibidos += pieza;
        if (b->progreso && b->recibidos % Trozo == 0 && b->recibidos <= trozosCompletos)
            Q_EMIT b->ftp->FileTransferProgress(b->recibidos, b->total);
    }
    return size_t(largo);
}

size_t juntar(char* datos, size_t tamano, size_t cuantos, void* dato) {
    static_cast<QByteArray*>(dato)->append(datos, qsizetype(tamano * cuantos));
    return tamano * cuantos;
}

size_t descartar(char*, size_t tamano, size_t cuantos, void*) {
    return tamano * cuantos;
}

QString texto(const QByteArray& linea) {
    const QString t = QString::fromUtf8(linea);
    // Servers that do not speak UTF-8 mostly send Latin-1 names.
    return t.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(linea) : t;
}
} // namespace

clsFTP::clsFTP(QObject* parent)
    : QObject(parent) {}

clsFTP::~clsFTP() {
    CloseConnection();
}

bool clsFTP::OpenConnection(const QString& sServer, const QString& sUser,
                            const QString& sPassWord) {
    CloseConnection();
    AjustesSesion a;
    QString error;
    if (!DestinoFTP::interpretar(sServer, a.destino, &error)) {
        registrarError(u"InternetConnect"_s, CURLE_URL_MALFORMAT, error);
        return false;
    }
    a.usuario = sUser;
    a.contrasena = sPassWord;
    a.pasivo = m_pasivo;
    a.ascii = m_ascii;
    a.hostAceptado = m_hostAceptado;
    a.huellaAceptada = m_huellaAceptada;
    a.archivoCA = m_archivoCA;
    a.archivoKnownHosts = m_archivoKnownHosts;
    a.segundosConexion = m_segundosConexion;
    a.segundosRespuesta = m_segundosRespuesta;
    a.segundosSinDatos = m_segundosSinDatos;
    auto sesion = std::make_unique<SesionCurl>(a);
    if (!sesion->valida()) {
        registrarError(u"InternetConnect"_s, CURLE_FAILED_INIT, u"libcurl no pudo iniciarse"_s);
        return false;
    }
    m_sesion = std::move(sesion);
    m_mlsd = true;
    // libcurl connects on the first request: ask for nothing but the login, so that a wrong
    // address or password is found here.
    m_sesion->preparar(a.destino.url(QString()));
    curl_easy_setopt(m_sesion->h(), CURLOPT_NOBODY, 1L);
    const CURLcode rc = m_sesion->ejecutar();
    m_huellaServidor = m_sesion->huellaServidor();
    if (rc != CURLE_OK) {
        registrarFalloCurl(u"InternetConnect"_s, rc);
        m_sesion.reset();
        return false;
    }
    m_carpetaActual = m_sesion->carpetaInicial();
    if (!a.destino.carpeta.isEmpty() && !SetFTPDirectory(a.destino.carpeta)) {
        m_sesion.reset();
        return false;
    }
    return true;
}

void clsFTP::CloseConnection() {
    m_sesion.reset();
    m_carpetaActual.clear();
}

bool clsFTP::IsConnected() const {
    return m_sesion != nullptr;
}

bool clsFTP::SimpleFTPPutFile(const QString& sLocal, const QString& sRemote) {
    if (sLocal.isEmpty() || sRemote.isEmpty()) {
        registrarError(u"SimpleFtpPutFile"_s, ErrorPropio, u"Falta la ruta local o la remota."_s);
        return false;
    }
    return subir(sLocal, sRemote, false);
}

bool clsFTP::SimpleFTPGetFile(const QString& sLocal, const QString& sRemote) {
    if (sLocal.isEmpty() || sRemote.isEmpty()) {
        registrarError(u"SimpleFtpGetFile"_s, ErrorPropio, u"Falta la ruta local o la remota."_s);
        return false;
    }
    return bajar(sLocal, sRemote, -1, false);
}

bool clsFTP::RenameFTPFile(const QString& sExisting, const QString& sNewName) {
    const QString op = u"RenameFTPFile"_s;
    if (!conectado(op))
        return false;
    const QString origen = rutaAbsoluta(sExisting);
    const QString destino = rutaAbsoluta(sNewName);
    if (!rutasSeguras(op, {origen, destino}))
        return false;
    return comando(op, comandosRenombrar(origen, destino));
}

bool clsFTP::CreateFTPDirectory(const QString& sDirectory) {
    return comandoSobre(u"CreateFTPDirectory"_s, u"MKD"_s, u"mkdir"_s, sDirectory);
}

bool clsFTP::CreateFTPDirectoryPath(const QString& sDirectory) {
    const QString op = u"CreateFTPDirectory"_s;
    if (!conectado(op))
        return false;
    const QString carpeta = rutaAbsoluta(sDirectory);
    if (!rutasSeguras(op, {carpeta}))
        return false;
    if (carpeta == u"/"_s || probarCarpeta(carpeta) == CURLE_OK)
        return true;
    // One request for every level; a level that exists already answers with an error, which
    // libcurl skips for commands marked with an asterisk.
    QStringList comandos;
    QString camino;
    for (const QString& parte : carpeta.split(u'/', Qt::SkipEmptyParts)) {
        camino += u'/' + parte;
        comandos.append(u'*' + (esSftp() ? u"mkdir "_s + citar(camino) : u"MKD "_s + camino));
    }
    const bool enviados = comando(op, comandos);
    const QString respuesta =
        enviados && m_sesion->codigoRespuesta() >= 400 ? m_sesion->respuesta() : QString();
    if (enviados && probarCarpeta(carpeta) == CURLE_OK)
        return true;
    if (enviados)
        registrarError(op, ErrorPropio,
                       u"No se pudo crear la carpeta «%1» en el servidor%2."_s.arg(
                           carpeta, respuesta.isEmpty() ? QString() : u" ("_s + respuesta + u')'));
    return false;
}

bool clsFTP::LastErrorIsConnectionFailure() const {
    switch (CURLcode(m_ultimoCodigo)) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_USE_SSL_FAILED:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_SSH:
    case CURLE_URL_MALFORMAT:
    case CURLE_FAILED_INIT:
        return true;
    default:
        return m_ultimoCodigo == ErrorPropio && !m_sesion;
    }
}

bool clsFTP::LastErrorIsUnverifiedCertificate() const {
    return m_ultimoCodigo == CURLE_PEER_FAILED_VERIFICATION;
}

bool clsFTP::IsPartialUploadName(const QString& sName) {
    static const QRegularExpression temporal(uR"(^\..+\.vendaro-[0-9a-f]{1,8}\.part$)"_s);
    return temporal.match(sName).hasMatch();
}

bool clsFTP::RemoveFTPDirectory(const QString& sDirectory) {
    return comandoSobre(u"RemoveFTPDirectory"_s, u"RMD"_s, u"rmdir"_s, sDirectory);
}

bool clsFTP::DeleteFTPFile(const QString& sRemote) {
    return comandoSobre(u"DeleteFTPFile"_s, u"DELE"_s, u"rm"_s, sRemote);
}

bool clsFTP::FTPUploadFile(const QString& sLocal, const QString& sRemote) {
    const QString local = sLocal.trimmed();
    const QString remoto = sRemote.trimmed();
    if (local.isEmpty() || remoto.isEmpty())
        return false;
    return subir(local, remoto, true);
}

bool clsFTP::FTPDownloadFile(const QString& sLocal, const QString& sRemote) {
    const QString local = sLocal.trimmed();
    const QString remoto = sRemote.trimmed();
    if (local.isEmpty() || remoto.isEmpty())
        return false;
    const qint64 total = GetFTPFileSize(remoto);
    if (total <= 0)
        return false;
    return bajar(local, remoto, total, true);
}

QString clsFTP::GetFTPDirectory() {
    if (!conectado(u"FtpGetCurrentDirectory"_s))
        return {};
    return m_carpetaActual;
}

bool clsFTP::SetFTPDirectory(const QString& sDir) {
    const QString op = u"FtpSetCurrentDirectory"_s;
    if (!conectado(op))
        return false;
    const QString carpeta = rutaAbsoluta(sDir);
    if (!rutasSeguras(op, {carpeta}))
        return false;
    const auto rc = CURLcode(probarCarpeta(carpeta));
    if (rc != CURLE_OK) {
        registrarFalloCurl(op, rc);
        return false;
    }
    m_carpetaActual = carpeta;
    return true;
}

qint64 clsFTP::GetFTPFileSize(const QString& sFile) {
    const QString op = u"FtpFindFirstFile"_s;
    if (!conectado(op))
        return -2;
    const QString ruta = rutaAbsoluta(sFile);
    if (!rutasSeguras(op, {ruta}))
        return -2;
    QList<EntradaListado> entradas;
    const auto rc = CURLcode(listar(carpetaDe(ruta), entradas));
    if (rc != CURLE_OK) {
        registrarFalloCurl(op, rc);
        return -2;
    }
    const QString nombre = nombreDe(ruta);
    for (const EntradaListado& e : std::as_const(entradas))
        if (e.nombre == nombre)
            return e.tamano;
    return -1;
}

const cDirList* clsFTP::GetDirectoryListing(const QString& sFilter) {
    const QString op = u"FtpFindFirstFile"_s;
    m_directorio.Clear();
    if (!conectado(op))
        return nullptr;
    QString carpeta = m_carpetaActual;
    QString patron = u"*"_s;
    if (!sFilter.isEmpty()) {
        const QString ruta = rutaAbsoluta(sFilter);
        if (sFilter.endsWith(u'/')) {
            carpeta = ruta;
        } else {
            carpeta = carpetaDe(ruta);
            patron = nombreDe(ruta);
        }
    }
    if (!rutasSeguras(op, {carpeta, patron}))
        return nullptr;
    QList<EntradaListado> entradas;
    const auto rc = CURLcode(listar(carpeta, entradas));
    const bool comodines = listado::tieneComodines(patron);
    for (const EntradaListado& e : std::as_const(entradas)) {
        if (comodines ? !listado::coincide(patron, e.nombre) : e.nombre != patron)
            continue;
        // Servers give one time at most besides the creation; it stands in for the missing ones.
        const QDateTime escrito = e.modificado;
        m_directorio.Add(listado::atributos(e), e.creado.isValid() ? e.creado : escrito, escrito,
                         escrito, e.tamano, e.nombre);
    }
    if (rc != CURLE_OK) {
        registrarFalloCurl(m_directorio.Count() > 0 ? u"InternetFindNextFile"_s : op, rc);
        return nullptr;
    }
    return m_directorio.Count() > 0 ? &m_directorio : nullptr;
}

void clsFTP::SetTransferASCII() {
    m_ascii = true;
    if (m_sesion)
        m_sesion->fijarAscii(true);
}

void clsFTP::SetTransferBinary() {
    m_ascii = false;
    if (m_sesion)
        m_sesion->fijarAscii(false);
}

void clsFTP::SetModeActive() {
    m_pasivo = false;
}

void clsFTP::SetModePassive() {
    m_pasivo = true;
}

void clsFTP::SetAcceptedCertificate(const QString& sHost, const QByteArray& sSha256) {
    m_hostAceptado = sHost.trimmed();
    m_huellaAceptada = sSha256.trimmed().toLower();
    m_huellaAceptada.replace(':', QByteArray());
}

bool clsFTP::IsEncrypted() const {
    return m_sesion && m_sesion->cifrada();
}

void clsFTP::SetCAFile(const QString& sFile) {
    m_archivoCA = sFile;
}

void clsFTP::SetKnownHostsFile(const QString& sFile) {
    m_archivoKnownHosts = sFile;
}

void clsFTP::SetTimeouts(int lConnectSeconds, int lResponseSeconds, int lStallSeconds) {
    m_segundosConexion = std::max(1, lConnectSeconds);
    m_segundosRespuesta = std::max(1, lResponseSeconds);
    m_segundosSinDatos = std::max(1, lStallSeconds);
}

// ---- requests ----

bool clsFTP::esSftp() const {
    return m_sesion && m_sesion->ajustes().destino.protocolo == DestinoFTP::Protocolo::SFTP;
}

bool clsFTP::conectado(const QString& operacion) {
    if (m_sesion)
        return true;
    registrarError(operacion, ErrorPropio, u"No hay conexión abierta con el servidor FTP."_s);
    return false;
}

QString clsFTP::rutaAbsoluta(const QString& ruta) const {
    const QString completa = ruta.startsWith(u'/') ? ruta : unir(m_carpetaActual, ruta);
    QString limpia = QDir::cleanPath(completa);
    // Above the root there is only the root.
    while (limpia == u"/.."_s || limpia.startsWith(u"/../"_s))
        limpia = limpia.size() == 3 ? u"/"_s : limpia.mid(3);
    return limpia;
}

bool clsFTP::rutasSeguras(const QString& operacion, const QStringList& rutas) {
    for (const QString& ruta : rutas) {
        if (!rutaSegura(ruta)) {
            registrarError(operacion, ErrorPropio,
                           u"El nombre «%1» lleva saltos de línea; no se envía al servidor."_s.arg(
                               ruta.simplified()));
            return false;
        }
    }
    return true;
}

QStringList clsFTP::comandosRenombrar(const QString& origen, const QString& destino) const {
    if (esSftp())
        return {u"rename "_s + citar(origen) + u' ' + citar(destino)};
    return {u"RNFR "_s + origen, u"RNTO "_s + destino};
}

QString clsFTP::comandoBorrar(const QString& ruta, bool ignorarFallo) const {
    const QString c = esSftp() ? u"rm "_s + citar(ruta) : u"DELE "_s + ruta;
    // libcurl goes on after a failed command marked with an asterisk.
    return ignorarFallo ? u'*' + c : c;
}

bool clsFTP::comandoSobre(const QString& operacion, const QString& ftp, const QString& sftp,
                          const QString& ruta) {
    if (!conectado(operacion))
        return false;
    const QString absoluta = rutaAbsoluta(ruta);
    if (!rutasSeguras(operacion, {absoluta}))
        return false;
    return comando(operacion, {esSftp() ? sftp + u' ' + citar(absoluta) : ftp + u' ' + absoluta});
}

bool clsFTP::comando(const QString& operacion, const QStringList& comandos) {
    // The commands carry absolute paths: no need to change folder first.
    m_sesion->preparar(m_sesion->ajustes().destino.url(QString()));
    curl_easy_setopt(m_sesion->h(), CURLOPT_NOBODY, 1L);
    m_sesion->fijarComandos(CURLOPT_QUOTE, comandos);
    const CURLcode rc = m_sesion->ejecutar();
    if (rc != CURLE_OK) {
        registrarFalloCurl(operacion, rc);
        return false;
    }
    return true;
}

bool clsFTP::subir(const QString& sLocal, const QString& sRemote, bool conProgreso) {
    const QString opAbrir = conProgreso ? u"FtpOpenFile:PutFile"_s : u"SimpleFtpPutFile"_s;
    if (!conectado(opAbrir))
        return false;
    QFile archivo(sLocal);
    if (!archivo.open(QIODevice::ReadOnly)) {
        registrarError(
            u"Open"_s, archivo.error(),
            u"No se pudo abrir el archivo local «%1»: %2"_s.arg(sLocal, archivo.errorString()));
        return false;
    }
    const QString final = rutaAbsoluta(sRemote);
    if (!rutasSeguras(opAbrir, {final}))
        return false;
    if (nombreDe(final).isEmpty() || final == u"/"_s) {
        registrarError(opAbrir, ErrorPropio, u"Falta el nombre del archivo remoto."_s);
        return false;
    }
    // The data goes to a hidden name beside the final one and is renamed when complete, so the
    // final name never shows a partial file (a shop would serve it as a broken picture).
    const QString temporal =
        unir(carpetaDe(final), u"."_s + nombreDe(final) + u".vendaro-"_s +
                                   QString::number(QRandomGenerator::global()->generate(), 16) +
                                   u".part"_s);

    Subida s;
    s.ftp = this;
    s.archivo = &archivo;
    s.total = archivo.size();
    s.progreso = conProgreso;
    m_sesion->preparar(m_sesion->ajustes().destino.url(temporal));
    CURL* c = m_sesion->h();
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &leerSubida);
    curl_easy_setopt(c, CURLOPT_READDATA, &s);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(s.total));
    m_sesion->fijarComandos(CURLOPT_POSTQUOTE, comandosRenombrar(temporal, final));
    const CURLcode rc = m_sesion->ejecutar();

    if (rc == CURLE_QUOTE_ERROR && s.enviados == s.total) {
        // The file arrived whole, only the rename failed: many servers refuse to rename onto an
        // existing name. Remove the old file, then rename.
        QStringList comandos{comandoBorrar(final, true)};
        comandos += comandosRenombrar(temporal, final);
        if (!comando(u"RenameFTPFile"_s, comandos)) {
            borrarTemporal(temporal);
            return false;
        }
    } else if (rc != CURLE_OK) {
        const QString op = !conProgreso       ? opAbrir
                           : !s.empezada      ? opAbrir
                           : s.ultimoFueResto ? u"InternetWriteFile2"_s
                                              : u"InternetWriteFile"_s;
        if (s.detenida)
            registrarError(op, rc,
                           u"Envío detenido (blSigue = False) tras %1 de %2 bytes; el archivo no "
                           "quedó en el servidor."_s.arg(s.enviados)
                               .arg(s.total));
        else if (!s.errorLocal.isEmpty())
            registrarError(
                op, rc, u"No se pudo leer el archivo local «%1»: %2"_s.arg(sLocal, s.errorLocal));
        else
            registrarFalloCurl(op, rc);
        // A refused STOR created nothing to clean up.
        if (s.empezada || !rechazoDelServidor(rc))
            borrarTemporal(temporal);
        return false;
    }
    if (conProgreso)
        Q_EMIT FileTransferProgress(s.total, s.total);
    return true;
}

bool clsFTP::bajar(const QString& sLocal, const QString& sRemote, qint64 total, bool conProgreso) {
    const QString opAbrir = conProgreso ? u"FtpOpenFile:GetFile"_s : u"SimpleFtpGetFile"_s;
    if (!conectado(opAbrir))
        return false;
    const QString remoto = rutaAbsoluta(sRemote);
    if (!rutasSeguras(opAbrir, {remoto}))
        return false;
    // The local file is replaced only when the download is complete: a failure keeps the old one.
    QSaveFile archivo(sLocal);
    if (!archivo.open(QIODevice::WriteOnly)) {
        registrarError(
            u"Open"_s, archivo.error(),
            u"No se pudo crear el archivo local «%1»: %2"_s.arg(sLocal, archivo.errorString()));
        return false;
    }
    Bajada b;
    b.ftp = this;
    b.archivo = &archivo;
    b.total = total;
    b.progreso = conProgreso;
    m_sesion->preparar(m_sesion->ajustes().destino.url(remoto));
    CURL* c = m_sesion->h();
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &escribirBajada);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &b);
    const CURLcode rc = m_sesion->ejecutar();

    const QString op = !conProgreso || b.recibidos == 0      ? opAbrir
                       : b.recibidos > total / Trozo * Trozo ? u"InternetReadFile2"_s
                                                             : u"InternetReadFile"_s;
    if (rc != CURLE_OK) {
        if (!b.errorLocal.isEmpty())
            registrarError(
                op, rc,
                u"No se pudo escribir el archivo local «%1»: %2"_s.arg(sLocal, b.errorLocal));
        else
            registrarFalloCurl(op, rc);
        archivo.cancelWriting();
        return false;
    }
    // In ASCII mode the server may change line ends, so only binary sizes must agree.
    if (total >= 0 && !m_ascii && b.recibidos != total) {
        registrarError(
            op, CURLE_PARTIAL_FILE,
            u"Se recibieron %1 de %2 bytes de «%3»."_s.arg(b.recibidos).arg(total).arg(remoto));
        archivo.cancelWriting();
        return false;
    }
    if (!archivo.commit()) {
        registrarError(
            u"Close"_s, archivo.error(),
            u"No se pudo guardar el archivo local «%1»: %2"_s.arg(sLocal, archivo.errorString()));
        return false;
    }
    if (conProgreso)
        Q_EMIT FileTransferProgress(std::max(total, b.recibidos), std::max(total, b.recibidos));
    return true;
}

int clsFTP::probarCarpeta(const QString& carpeta) {
    m_sesion->preparar(m_sesion->ajustes().destino.url(comoCarpeta(carpeta)));
    CURL* c = m_sesion->h();
    if (esSftp()) {
        // SFTP has no current folder on the server: reading the folder's names proves it exists.
        curl_easy_setopt(c, CURLOPT_DIRLISTONLY, 1L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &descartar);
    } else {
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    }
    return m_sesion->ejecutar();
}

int clsFTP::listar(const QString& carpeta, QList<EntradaListado>& entradas) {
    QByteArray datos;
    auto pedir = [&](bool mlsd) {
        datos.clear();
        m_sesion->preparar(m_sesion->ajustes().destino.url(comoCarpeta(carpeta)));
        CURL* c = m_sesion->h();
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &juntar);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &datos);
        if (mlsd)
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "MLSD");
        return m_sesion->ejecutar();
    };
    // MLSD gives exact times and plain names; servers without it get LIST.
    bool mlsd = m_mlsd && !esSftp();
    CURLcode rc = pedir(mlsd);
    const int respuesta = m_sesion->codigoRespuesta();
    if (mlsd && rc != CURLE_OK &&
        (respuesta == 500 || respuesta == 501 || respuesta == 502 || respuesta == 504)) {
        m_mlsd = mlsd = false;
        rc = pedir(false);
    }
    const QDateTime ahora = QDateTime::currentDateTimeUtc();
    for (QByteArray linea : datos.split('\n')) {
        if (linea.endsWith('\r'))
            linea.chop(1);
        if (linea.isEmpty())
            continue;
        EntradaListado e;
        const bool leida = mlsd ? listado::interpretarMLSD(texto(linea), e)
                                : listado::interpretarLIST(texto(linea), ahora, e);
        if (leida)
            entradas.append(e);
    }
    return rc;
}

void clsFTP::borrarTemporal(const QString& temporal) {
    // Best effort, and the caller's error stays the one reported.
    const QString error = m_ultimoError;
    if (!comando(u"DeleteFTPFile"_s, {comandoBorrar(temporal, false)}))
        qCWarning(lcFtp).noquote() << "Queda en el servidor el archivo temporal" << temporal;
    m_ultimoError = error;
}

void clsFTP::registrarError(const QString& operacion, int codigo, const QString& mensaje) {
    m_ultimoCodigo = codigo;
    m_ultimoError =
        operacion + u" error code: "_s + QString::number(codigo) + u" Message: "_s + mensaje;
    qCWarning(lcFtp).noquote() << m_ultimoError;
}

void clsFTP::registrarFalloCurl(const QString& operacion, int codigoCurl) {
    const auto codigo = CURLcode(codigoCurl);
    const SesionCurl& s = *m_sesion;
    const QString detalle = s.mensaje(codigo);
    if (!s.rechazo().isEmpty()) {
        registrarError(operacion, codigo, s.rechazo());
    } else if (codigo == CURLE_PEER_FAILED_VERIFICATION) {
        const DestinoFTP& d = s.ajustes().destino;
        QString mensaje =
            u"El certificado del servidor %1 no se pudo verificar (%2), así que no se puede "
            "comprobar que sea el servidor auténtico; no se conecta."_s.arg(d.nombre(), detalle);
        if (!s.huellaServidor().isEmpty())
            mensaje += u" Su huella es sha256:%1."_s.arg(QString::fromLatin1(s.huellaServidor()));
        registrarError(operacion, codigo, mensaje);
    } else if (codigo == CURLE_SSL_CACERT_BADFILE) {
        // The program gives libcurl no CA file of its own, so this is the system's bundle (or
        // folder) missing: with --no-install-recommends Debian leaves ca-certificates out.
        registrarError(operacion, codigo,
                       u"No se pudo comprobar el certificado del servidor %1 porque no hay "
                       "certificados de autoridades instalados (paquete ca-certificates): %2. "
                       "Instálelos con «sudo apt-get install ca-certificates»."_s.arg(
                           s.ajustes().destino.nombre(), detalle));
    } else if (codigo == CURLE_USE_SSL_FAILED) {
        registrarError(
            operacion, codigo,
            u"El servidor %1 no ofrece TLS y la dirección lo exige; no se envían la "
            "contraseña ni los archivos sin cifrar."_s.arg(s.ajustes().destino.nombre()));
    } else if (rechazoDelServidor(codigo) && s.codigoRespuesta() >= 400) {
        // The server refused: its own reply is the message, as with the extended error of the
        // platform's FTP functions.
        m_ultimoError = s.respuesta();
        m_ultimoCodigo = codigo;
        qCWarning(lcFtp).noquote() << operacion << "error code:" << int(codigo) << detalle
                                   << "| servidor:" << s.respuesta();
    } else {
        QString mensaje = detalle;
        if (s.codigoRespuesta() >= 400)
            mensaje += u" (servidor: "_s + s.respuesta() + u')';
        registrarError(operacion, codigo, mensaje);
    }
}
