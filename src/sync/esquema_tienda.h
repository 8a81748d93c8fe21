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
    int precision = 0;     // DECIMAL: digits in all
    bool sinSigno = false; // UNSIGNED
    QString tipoCompleto;  // COLUMN_TYPE, as the server shows it ("decimal(15,4)")
    qint64 largo = -1;     // characters a text column holds (-1: not known)
    bool noNulo = false;
    bool autoIncremento = false;
    bool generada = false;   // computed by the server: never written
    bool sinDefecto = false; // no default, or NULL: a new row without a value gets NULL or ""
    QString juego;           // character set
    QString intercalacion;   // collation
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

// The names of every table (and view) of the connection's database, in name order.
bool TablasDeLaBase(Conexion& cn, QStringList* tablas, QString* error);

// The value to write into the column: NULL where the column takes it, otherwise the type's empty
// value (also for an empty text into a number); text encoded like the shop's forms when asked
// (never pictures: columns named "image"), and without control characters: none in text, and no
// line break or tab in a one-line column (CHAR, VARCHAR), where they become a blank.
Valor valorParaTienda(const ColumnaTienda* columna, const Valor& valor, bool codificar);

// Whether valorParaTienda() drops or replaces control characters of the text for that column.
bool tieneControles(const ColumnaTienda* columna, const QString& texto);
// Characters no shop text should hold (C0 and C1 controls, DEL); tab and line breaks are controls
// only where `unaLinea`.
bool esControl(QChar c, bool unaLinea);

// Why a number cannot be stored in the column as it is: not a number, or outside the column's
// range (the shop would keep its maximum, or 0: a wrong price or stock). Empty when it fits, or
// when the column is no number.
QString numeroNoCabe(const ColumnaTienda& columna, const QString& texto);

// Whether the column, holding `almacenado`, already holds what writing `nuevo` would store. Decided
// here byte for byte, never by SQL "=", which ignores case, accents and trailing blanks; numbers
// are compared as numbers at the column's scale.
bool mismoValor(const ColumnaTienda* columna, const Valor& almacenado, const Valor& nuevo);

// The text a column keeps of a value: cut to its length, characters its character set lacks
// replaced by "?", as the shop's non-strict session stores them.
QString textoQueCabe(const ColumnaTienda& columna, const QString& texto);
// Why the column cannot keep the text whole (too long, characters its set lacks); empty when it
// can.
QString textoNoCabe(const ColumnaTienda& columna, const QString& texto);

// A decimal number's canonical text at the scale (rounded half away from zero, as the server
// rounds), or a null text when it is not a number.
QString decimalCanonico(const QString& texto, int escala);

// SQL that gives, for a value compared with the column, a text equal for exactly the values the
// column's collation takes as equal (its weight, with the trailing blanks it ignores removed).
QString pesoDeColumna(const ColumnaTienda& columna, const QString& expresionColumna);
QString pesoDeLiteral(const ColumnaTienda& columna, const QString& literal);

// Why a key cannot be stored whole in the column, or an empty text.
QString claveNoCabe(const ColumnaTienda& columna, const QString& clave);
