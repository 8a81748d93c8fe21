#pragma once

#include "valor.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class TunelSsh;
struct st_mysql;
struct st_mysql_res;

struct DatosConexion {
    QString servidor;
    int puerto = 3306;
    QString usuario;
    QString contrasena;
    QString base;
    // Non-empty: the login came from values that could not be decrypted; abrir() refuses it with
    // this reason rather than log in as whoever an empty user would be.
    QString ilegible;
    bool operator==(const DatosConexion&) const = default;
};

// How a session is encrypted. Connector/C connects in clear to a server without TLS even when TLS
// was asked for, so Exigido and Verificado check the session's cipher after connecting.
enum class ModoTls {
    Ninguno,    // TLS not asked for
    Preferido,  // TLS whenever the server offers it
    Exigido,    // TLS or no connection
    Verificado, // TLS, the server's certificate verified and its host name checked
};

struct OpcionesConexion {
    // A dead or unreachable server ends a call with an error after these times, never a hang.
    unsigned segundosConexion = 10;
    unsigned segundosLectura = 60;
    unsigned segundosEscritura = 60;
    // Session sql_mode set on every (re)connection; a null text keeps the server's.
    QString sqlMode;
    // false: statements stay in a transaction until COMMIT, also after a reconnection.
    bool autocommit = true;
    // Several statements in one round trip (consultarVarios).
    bool variasSentencias = false;
    ModoTls tls = ModoTls::Ninguno;
    // The authorities a Verificado server certificate must chain to: a PEM file, or empty for the
    // system's own.
    QString certificadoCa;
    // MySQL's compressed protocol, used when the server offers it (a slow line carries a send's
    // text at a fraction of its size).
    bool comprimir = false;
    // Set: the session reaches servidor:puerto of DatosConexion as the SSH server sees it, through
    // this tunnel, shared by every session of one run or check.
    std::shared_ptr<TunelSsh> tunel;
    bool operator==(const OpcionesConexion&) const = default;
};

// Rows of one query, fully read into memory.
struct ResultadoConsulta;

// One MySQL/MariaDB connection (the stand-in for an ADO connection), always in utf8mb4.
// Error convention: operations return false and keep the server's code and message for
// ultimoError(); they never throw.
class Conexion {
public:
    Conexion();
    ~Conexion();
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    bool abrir(const DatosConexion& datos, const OpcionesConexion& opciones);
    void cerrar();
    bool abierta() const { return m_mysql != nullptr; }
    // "TLSv1.3, TLS_AES_256_GCM_SHA384" for an encrypted session, empty for one in clear.
    QString cifrado() const;
    // Whether the session uses the compressed protocol.
    bool comprimida() const;
    const DatosConexion& datos() const { return m_datos; }
    const OpcionesConexion& opciones() const { return m_opciones; }

    // Runs a statement that returns no rows. Statements are only ever built with identificador()
    // and literal(), never from raw data.
    bool Execute(const QString& sql, qint64* afectados = nullptr);
    // Runs a query and reads all its rows.
    bool consultar(const QString& sql, ResultadoConsulta& resultado);
    // Runs a query and hands its rows one by one to porFila, which may keep or drop each: a large
    // result is held only as the server's bytes, never as a whole list of values.
    bool consultarFilas(const QString& sql,
                        const std::function<void(const QList<Valor>&)>& porFila);
    // Runs several statements, separated by ";", in one round trip, and reads every result in order
    // (one entry per statement, rows or none). On error, the statements before the failing one
    // have run and *fallida receives its index (from 0). Needs OpcionesConexion::variasSentencias.
    bool consultarVarios(const QString& sql, QList<ResultadoConsulta>& resultados,
                         qsizetype* fallida = nullptr);
    // The AUTO_INCREMENT value of the last insert on this connection.
    quint64 ultimoIdInsertado() const;

    // A value as a quoted, escaped SQL literal (NULL for a null value).
    QString literal(const Valor& valor) const;
    // A table or column name, trimmed and back-quoted; "a.b" is quoted per part.
    static QString identificador(const QString& nombre);

    unsigned codigoError() const { return m_codigoError; }
    QString ultimoError() const { return m_ultimoError; }
    // The server's (or the library's) own words for the last error, without the statement.
    QString mensajeError() const { return m_mensajeError; }
    // True when the last error lost the connection (server gone, timeout): it is closed then.
    bool conexionPerdida() const;
    // Statements and queries sent since the connection object was made.
    qint64 sentenciasEnviadas() const { return m_sentencias; }

private:
    bool abrirTunel();
    void explicarTunel();
    bool ejecutar(const QString& sql);
    // Rows to porFila when given, else into the result.
    bool consultarUna(const QString& sql, ResultadoConsulta& resultado,
                      const std::function<void(const QList<Valor>&)>* porFila);
    void registrarError(const QString& operacion);

    st_mysql* m_mysql = nullptr;
    DatosConexion m_datos;
    OpcionesConexion m_opciones;
    unsigned m_codigoError = 0;
    QString m_ultimoError;
    QString m_mensajeError;
    qint64 m_sentencias = 0;
};

struct CampoRecordset {
    QString Name;
    int tipo = 0;          // the server's column type code
    bool noNulo = false;   // NOT NULL
    bool numerico = false; // a numeric column
    bool autoIncremento = false;
    bool texto = false; // characters (not binary bytes)
    unsigned decimales = 0;
};

struct ResultadoConsulta {
    QList<CampoRecordset> campos;
    QList<QList<Valor>> filas;
    qint64 afectados = 0; // rows matched or inserted by a statement without rows
    unsigned avisos = 0;  // the server's warnings and notes for the statement
    quint64 ultimoId = 0; // the first AUTO_INCREMENT value an insert made
};
