#include "conexion.h"

#include "plataforma.h"
#include "tunel_ssh.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QStringList>

#include <errmsg.h>
#include <mysql.h>

#include <mutex>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcBd, "vendaro.bd")

namespace {
std::once_flag g_biblioteca;

void iniciarBiblioteca() {
    std::call_once(g_biblioteca, [] { mysql_library_init(0, nullptr, nullptr); });
}

bool esNumerico(enum_field_types tipo) {
    switch (tipo) {
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
    case MYSQL_TYPE_LONGLONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_YEAR:
    case MYSQL_TYPE_BIT:
        return true;
    default:
        return false;
    }
}
} // namespace

Conexion::Conexion() = default;

Conexion::~Conexion() {
    cerrar();
}

bool Conexion::abrir(const DatosConexion& datos, const OpcionesConexion& opciones) {
    cerrar();
    iniciarBiblioteca();
    m_datos = datos;
    m_opciones = opciones;
    if (!datos.ilegible.isEmpty()) {
        m_codigoError = CR_UNKNOWN_ERROR;
        m_mensajeError = u"no se intentó la conexión: "_s + datos.ilegible;
        m_ultimoError = m_mensajeError;
        return false;
    }
    if (opciones.tunel && !abrirTunel())
        return false;
    m_mysql = mysql_init(nullptr);
    if (!m_mysql) {
        m_codigoError = CR_OUT_OF_MEMORY;
        m_ultimoError = m_mensajeError = u"sin memoria para la conexión"_s;
        return false;
    }
    mysql_options(m_mysql, MYSQL_OPT_CONNECT_TIMEOUT, &opciones.segundosConexion);
    mysql_options(m_mysql, MYSQL_OPT_READ_TIMEOUT, &opciones.segundosLectura);
    mysql_options(m_mysql, MYSQL_OPT_WRITE_TIMEOUT, &opciones.segundosEscritura);
    mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // A hostile or compromised server must not be able to read local files.
    const unsigned int sinArchivosLocales = 0;
    mysql_options(m_mysql, MYSQL_OPT_LOCAL_INFILE, &sinArchivosLocales);
    if (opciones.comprimir)
        mysql_options(m_mysql, MYSQL_OPT_COMPRESS, nullptr);
    const QByteArray inicio =
        opciones.sqlMode.isNull()
            ? QByteArray()
            : "SET SESSION sql_mode='" + opciones.sqlMode.toUtf8().replace('\'', "''") + "'";
    if (!inicio.isEmpty())
        mysql_options(m_mysql, MYSQL_INIT_COMMAND, inicio.constData());
    if (!opciones.autocommit)
        mysql_options(m_mysql, MYSQL_INIT_COMMAND, "SET autocommit=0");
    const my_bool si = 1;
    const QByteArray ca =
        (opciones.certificadoCa.isEmpty() ? plataforma::autoridadesTls() : opciones.certificadoCa)
            .toLocal8Bit();
    if (opciones.tls != ModoTls::Ninguno)
        mysql_optionsv(m_mysql, MYSQL_OPT_SSL_ENFORCE, &si);
    if (opciones.tls == ModoTls::Verificado) {
        // Without a CA file the library takes OpenSSL's default authorities (the system's on
        // Linux; Windows' are handed over as a file).
        mysql_optionsv(m_mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &si);
        if (!ca.isEmpty())
            mysql_optionsv(m_mysql, MYSQL_OPT_SSL_CA, ca.constData());
    }

    const QByteArray servidor =
        opciones.tunel ? QByteArray("127.0.0.1") : datos.servidor.trimmed().toUtf8();
    const unsigned puerto =
        opciones.tunel ? unsigned(opciones.tunel->puertoLocal()) : unsigned(datos.puerto);
    const QByteArray usuario = datos.usuario.toUtf8();
    const QByteArray contrasena = datos.contrasena.toUtf8();
    const QByteArray base = datos.base.toUtf8();
    if (!mysql_real_connect(
            m_mysql, servidor.constData(), usuario.constData(), contrasena.constData(),
            base.isEmpty() ? nullptr : base.constData(), puerto, nullptr,
            CLIENT_FOUND_ROWS | (opciones.variasSentencias ? CLIENT_MULTI_STATEMENTS : 0))) {
        registrarError(u"conectar"_s);
        if (opciones.tunel)
            explicarTunel();
        mysql_close(m_mysql);
        m_mysql = nullptr;
        return false;
    }
    if (opciones.tls >= ModoTls::Exigido && !mysql_get_ssl_cipher(m_mysql)) {
        // The login went through the server's challenge, but no data may cross in clear.
        m_codigoError = CR_SSL_CONNECTION_ERROR;
        m_mensajeError = u"el servidor no ofrece conexión cifrada (TLS) y la configuración la "
                         u"exige"_s;
        m_ultimoError = u"Error %1 al conectar: %2"_s.arg(m_codigoError).arg(m_mensajeError);
        mysql_close(m_mysql);
        m_mysql = nullptr;
        return false;
    }
    ++m_sentencias;
    m_codigoError = 0;
    m_ultimoError.clear();
    m_mensajeError.clear();
    return true;
}

bool Conexion::abrirTunel() {
    m_codigoError = CR_CONNECTION_ERROR;
    if (m_opciones.tls == ModoTls::Verificado) {
        // Connector/C checks the certificate's name against the address it connects to, which
        // through the tunnel is 127.0.0.1: the name given could not be checked.
        m_mensajeError =
            u"con túnel SSH, «Conexión segura WEB» = verificada no puede comprobar el nombre "
            u"«%1» en el certificado del servidor (la conexión llega por 127.0.0.1); use "
            u"«exigida»: la sesión va cifrada con TLS, y el túnel ya comprueba la llave del "
            u"servidor SSH"_s.arg(m_datos.servidor);
    } else if (!m_opciones.tunel->abrirCanal(m_datos.servidor, m_datos.puerto))
        m_mensajeError = m_opciones.tunel->ultimoError();
    else
        return true;
    m_ultimoError = u"Error %1 al conectar: %2"_s.arg(m_codigoError).arg(m_mensajeError);
    return false;
}

// A failed login through the tunnel: its channel refused or cut, or the database silent behind it.
void Conexion::explicarTunel() {
    const QString canal = m_opciones.tunel->errorCanal();
    if (!canal.isEmpty())
        m_mensajeError = canal;
    else if (m_codigoError == CR_SERVER_LOST || m_codigoError == CR_SERVER_GONE_ERROR)
        m_mensajeError = u"la base de datos no responde detrás del túnel SSH en %1:%2 (%3)"_s
                             .arg(m_datos.servidor)
                             .arg(m_datos.puerto)
                             .arg(m_mensajeError);
    else
        return;
    m_ultimoError = u"Error %1 al conectar: %2"_s.arg(m_codigoError).arg(m_mensajeError);
}

QString Conexion::cifrado() const {
    const char* cifra = m_mysql ? mysql_get_ssl_cipher(m_mysql) : nullptr;
    if (!cifra)
        return {};
    const char* version = nullptr;
    mariadb_get_infov(m_mysql, MARIADB_CONNECTION_TLS_VERSION, &version);
    return (version ? QString::fromLatin1(version) + u", "_s : QString()) +
           QString::fromLatin1(cifra);
}

bool Conexion::comprimida() const {
    if (!m_mysql)
        return false;
    unsigned long cliente = 0;
    unsigned long servidor = 0;
    mariadb_get_infov(m_mysql, MARIADB_CONNECTION_CLIENT_CAPABILITIES, &cliente);
    mariadb_get_infov(m_mysql, MARIADB_CONNECTION_SERVER_CAPABILITIES, &servidor);
    return (cliente & CLIENT_COMPRESS) && (servidor & CLIENT_COMPRESS);
}

void Conexion::cerrar() {
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
}

void Conexion::registrarError(const QString& operacion) {
    m_codigoError = m_mysql ? mysql_errno(m_mysql) : CR_SERVER_GONE_ERROR;
    m_mensajeError = m_mysql ? QString::fromUtf8(mysql_error(m_mysql)) : u"sin conexión"_s;
    m_ultimoError = u"Error %1 al %2: %3"_s.arg(m_codigoError).arg(operacion, m_mensajeError);
}

bool Conexion::conexionPerdida() const {
    return m_codigoError == CR_SERVER_GONE_ERROR || m_codigoError == CR_SERVER_LOST ||
           m_codigoError == CR_CONNECTION_ERROR || m_codigoError == CR_CONN_HOST_ERROR ||
           m_codigoError == 4031 || // the server closed an idle session
           // On a TLS session a cut connection reads as a TLS error ("unexpected eof").
           m_codigoError == CR_SSL_CONNECTION_ERROR;
}

bool Conexion::ejecutar(const QString& sql) {
    if (!m_mysql) {
        m_codigoError = CR_SERVER_GONE_ERROR;
        m_mensajeError = u"la conexión no está abierta"_s;
        m_ultimoError = u"Error %1: %2"_s.arg(m_codigoError).arg(m_mensajeError);
        return false;
    }
    const QByteArray texto = sql.toUtf8();
    ++m_sentencias;
    if (mysql_real_query(m_mysql, texto.constData(), static_cast<unsigned long>(texto.size())) !=
        0) {
        registrarError(u"ejecutar «"_s + sql.left(200) + u'»');
        if (conexionPerdida())
            cerrar();
        return false;
    }
    return true;
}

bool Conexion::Execute(const QString& sql, qint64* afectados) {
    if (!ejecutar(sql))
        return false;
    // Drain any result so the connection is ready for the next statement.
    if (MYSQL_RES* r = mysql_store_result(m_mysql))
        mysql_free_result(r);
    if (afectados)
        *afectados = qint64(mysql_affected_rows(m_mysql));
    return true;
}

namespace {
bool esTexto(const MYSQL_FIELD& campo) {
    switch (campo.type) {
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
        return campo.charsetnr != 63; // 63 is "binary"
    default:
        return false;
    }
}

void leerFilas(MYSQL_RES* r, const std::function<void(const QList<Valor>&)>& porFila) {
    const unsigned n = mysql_num_fields(r);
    QList<Valor> valores;
    while (MYSQL_ROW fila = mysql_fetch_row(r)) {
        const unsigned long* largos = mysql_fetch_lengths(r);
        valores.clear();
        valores.reserve(n);
        for (unsigned i = 0; i < n; ++i)
            valores.append(fila[i] ? Valor(QString::fromUtf8(fila[i], qsizetype(largos[i])))
                                   : Valor::nulo());
        porFila(valores);
    }
}

void leerResultado(MYSQL* mysql, MYSQL_RES* r, ResultadoConsulta& resultado) {
    const unsigned n = mysql_num_fields(r);
    const MYSQL_FIELD* campos = mysql_fetch_fields(r);
    resultado.campos.reserve(n);
    for (unsigned i = 0; i < n; ++i) {
        CampoRecordset c;
        c.Name = QString::fromUtf8(campos[i].name, campos[i].name_length);
        c.tipo = campos[i].type;
        c.noNulo = campos[i].flags & NOT_NULL_FLAG;
        c.numerico = esNumerico(campos[i].type);
        c.autoIncremento = campos[i].flags & AUTO_INCREMENT_FLAG;
        c.texto = esTexto(campos[i]);
        c.decimales = campos[i].decimals;
        resultado.campos.append(c);
    }
    resultado.filas.reserve(qsizetype(mysql_num_rows(r)));
    leerFilas(r, [&](const QList<Valor>& valores) { resultado.filas.append(valores); });
    resultado.avisos = mysql_warning_count(mysql);
}
} // namespace

bool Conexion::consultar(const QString& sql, ResultadoConsulta& resultado) {
    return consultarUna(sql, resultado, nullptr);
}

bool Conexion::consultarFilas(const QString& sql,
                              const std::function<void(const QList<Valor>&)>& porFila) {
    ResultadoConsulta sinFilas;
    return consultarUna(sql, sinFilas, &porFila);
}

bool Conexion::consultarUna(const QString& sql, ResultadoConsulta& resultado,
                            const std::function<void(const QList<Valor>&)>* porFila) {
    resultado = {};
    if (!ejecutar(sql))
        return false;
    std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> r(mysql_store_result(m_mysql),
                                                               &mysql_free_result);
    if (!r) {
        if (mysql_errno(m_mysql) != 0) {
            registrarError(u"leer resultado"_s);
            if (conexionPerdida())
                cerrar();
            return false;
        }
        resultado.afectados = qint64(mysql_affected_rows(m_mysql));
        resultado.avisos = mysql_warning_count(m_mysql);
        resultado.ultimoId = mysql_insert_id(m_mysql);
        return true; // a statement without result set
    }
    if (porFila)
        leerFilas(r.get(), *porFila);
    else
        leerResultado(m_mysql, r.get(), resultado);
    return true;
}

bool Conexion::consultarVarios(const QString& sql, QList<ResultadoConsulta>& resultados,
                               qsizetype* fallida) {
    resultados.clear();
    if (fallida)
        *fallida = 0;
    if (!ejecutar(sql))
        return false;
    for (;;) {
        ResultadoConsulta resultado;
        std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> r(mysql_store_result(m_mysql),
                                                                   &mysql_free_result);
        if (r) {
            leerResultado(m_mysql, r.get(), resultado);
        } else if (mysql_errno(m_mysql) != 0) {
            break;
        } else {
            resultado.afectados = qint64(mysql_affected_rows(m_mysql));
            resultado.avisos = mysql_warning_count(m_mysql);
            resultado.ultimoId = mysql_insert_id(m_mysql);
        }
        resultados.append(std::move(resultado));
        const int siguiente = mysql_next_result(m_mysql);
        if (siguiente == -1)
            return true;
        if (siguiente > 0)
            break;
    }
    if (fallida)
        *fallida = resultados.size();
    registrarError(u"ejecutar la sentencia %1 de un lote"_s.arg(resultados.size() + 1));
    if (conexionPerdida())
        cerrar();
    return false;
}

quint64 Conexion::ultimoIdInsertado() const {
    return m_mysql ? mysql_insert_id(m_mysql) : 0;
}

QString Conexion::literal(const Valor& valor) const {
    if (valor.esNulo())
        return u"NULL"_s;
    const QByteArray crudo = valor.texto().toUtf8();
    QByteArray escapado(crudo.size() * 2 + 1, '\0');
    unsigned long largo = 0;
    if (m_mysql) {
        // Honours the session's NO_BACKSLASH_ESCAPES and the connection's character set.
        largo = mysql_real_escape_string(m_mysql, escapado.data(), crudo.constData(),
                                         static_cast<unsigned long>(crudo.size()));
    } else {
        for (char c : crudo) {
            const char* reemplazo = nullptr;
            switch (c) {
            case '\0':
                reemplazo = "\\0";
                break;
            case '\n':
                reemplazo = "\\n";
                break;
            case '\r':
                reemplazo = "\\r";
                break;
            case '\\':
                reemplazo = "\\\\";
                break;
            case '\'':
                reemplazo = "\\'";
                break;
            case '"':
                reemplazo = "\\\"";
                break;
            case '\032':
                reemplazo = "\\Z";
                break;
            default:
                break;
            }
            if (reemplazo) {
                escapado[largo++] = reemplazo[0];
                escapado[largo++] = reemplazo[1];
            } else {
                escapado[largo++] = c;
            }
        }
    }
    escapado.truncate(qsizetype(largo));
    return u'\'' + QString::fromUtf8(escapado) + u'\'';
}

QString Conexion::identificador(const QString& nombre) {
    QStringList partes = nombre.trimmed().split(u'.');
    for (QString& parte : partes) {
        parte = parte.trimmed();
        parte.replace(u'`', u"``"_s);
        parte = u'`' + parte + u'`';
    }
    return partes.join(u'.');
}
