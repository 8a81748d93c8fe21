#pragma once

#include "conexion.h"
#include "objetos.h"
#include "recordset.h"

#include <QList>
#include <QString>
#include <QStringList>

// Database access of the component layer: connection data as properties, and opening databases and
// tables, reading one value and writing one row. Every failure is logged with the server's code and
// message and reported as false (or a null value); nothing throws.
class BasesDD : public ObjetoComponente {
public:
    QString cRuta;      // server
    int cPuerto = 3306; // port
    QString cUsuario;
    QString cPassword;
    QString cMiBase; // database
    // Why the login above is no login (it came from values that did not decrypt): no connection
    // is attempted then.
    QString cIlegible;
    OpcionesConexion opciones;

    // Opens the connection to the database with the object's connection data. A connection that is
    // already open with the same data is kept, so that re-opening before each product costs no
    // round trip; one that was lost is opened anew.
    bool AbrirBdD(Conexion& cn, const QString& base);
    void CierraBdD(Conexion& cn);

    // True only when a row came back. The recordset is open, with the table's columns, also when
    // empty; rs.abierto() is false when the query itself failed.
    bool AbrirTabla(Recordset& rs, Conexion& cn, const Consulta& consulta);
    void CierraTabla(Recordset& rs);

    // The column of the table's first row; null when there is no row or on error.
    Valor LeeDato(const QString& nombre, Conexion& cn, const QString& tabla);
    // The highest value of the id column; 0 when the table is empty or on error.
    qint64 LastId(Conexion& cn, const QString& tabla, const QString& columnaId);

    // Sets the listed columns of the rows meeting the condition. A NULL value for a column that the
    // recordset knows as NOT NULL is written as that column's empty value ('' or 0), so that a NULL
    // from the point of sale never fails the row. *afectados receives the rows matched.
    bool ActualizaRegistro(Conexion& cn, const Recordset& rs, const QString& tabla,
                           const QStringList& nombres, const QList<Valor>& valores,
                           const Condicion& condicion, qint64* afectados = nullptr);

    DatosConexion datosConexion(const QString& base) const;
};
