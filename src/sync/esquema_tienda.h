#pragma once

#include "services/valor.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class Conexion;

// What the send run knows of a shop column: enough to write a value as the column will hold it and
// to tell, in our own code, whether the stored value already is that value.
struct ColumnaTienda {
    QString nombre;
    QString tipo;          // DATA_TYPE, lower case
    bool texto = false;    // CHAR, VARCHAR, TEXT: characters, encoded like the shop's forms
    bool numerico = false; // integers, DECIMAL, FLOAT, DOUBLE
    int escala = 0;        // digits after the point (0 for integers)
    qint64 largo = -1;     // characters a text column holds (-1: not known)
    bool noNulo = false;
    bool autoIncremento = false;
    QString juego;         // character set
    QString intercalacion; // collation
};

struct TablaTienda {
    QString nombre;
    QList<ColumnaTienda> columnas;
    bool transaccional = false;
    QString autoIncremento; // the AUTO_INCREMENT column, or empty
    QStringList primaria;   // primary key columns

    const ColumnaTienda* columna(const QString& nombre) const;
    bool existe() const { return !columnas.isEmpty(); }

private:
    friend bool LeerEsquemaTienda(Conexion&, const QStringList&, QHash<QString, TablaTienda>*,
                                  QString*);
    QHash<QString, int> m_indices; // lower-cased name → index
};

// Reads the columns of the named tables of the connection's database; a table that does not exist
// gets an entry without columns. Keys are the names as given.
bool LeerEsquemaTienda(Conexion& cn, const QStringList& tablas,
                       QHash<QString, TablaTienda>* esquema, QString* error);

// The value to write into the column: NULL where the column takes it, otherwise the type's empty
// value; text encoded like the shop's forms when asked (never pictures: columns named "image").
Valor valorParaTienda(const ColumnaTienda* columna, const Valor& valor, bool codificar);

// Whether the column, holding `almacenado`, already holds what writing `nuevo` would store. Decided
// here byte for byte, never by SQL "=", which ignores case, accents and trailing blanks; numbers
// are compared as numbers at the column's scale.
bool mismoValor(const ColumnaTienda* columna, const Valor& almacenado, const Valor& nuevo);

// The text a column keeps of a value: cut to its length, characters its character set lacks
// replaced by "?", as the shop's non-strict session stores them.
QString textoQueCabe(const ColumnaTienda& columna, const QString& texto);

// A decimal number's canonical text at the scale (rounded half away from zero, as the server
// rounds), or a null text when it is not a number.
QString decimalCanonico(const QString& texto, int escala);

// SQL that gives, for a value compared with the column, a text equal for exactly the values the
// column's collation takes as equal (its weight, with the trailing blanks it ignores removed).
QString pesoDeColumna(const ColumnaTienda& columna, const QString& expresionColumna);
QString pesoDeLiteral(const ColumnaTienda& columna, const QString& literal);

// Why a key cannot be stored whole in the column, or an empty text.
QString claveNoCabe(const ColumnaTienda& columna, const QString& clave);
