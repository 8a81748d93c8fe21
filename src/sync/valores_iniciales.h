#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <utility>

class Recordset;

// New-row defaults: one text file per web table, the table's name + ".txt" in the program folder,
// with lines "column = value". Values are trimmed, lower-cased and stripped of quotes; "$date",
// "$time" and
// "$datetime" stand for the moment the row is made. Lines apply in file order, so a column named
// twice takes the later value.

using ValoresIniciales = QList<std::pair<QString, QString>>;

QString rutaValoresIniciales(const QString& carpetaPrograma, const QString& tabla);

// The file's lines as (column, cleaned value); a missing file gives none. Blank lines and lines
// without an equals sign are skipped.
ValoresIniciales LeerValoresIniciales(const QString& ruta);

// The value with the date words replaced by the moment given.
QString resolverValorInicial(const QString& valor, const QDateTime& ahora);

// Sets the defaults of the file on the recordset's new row (before the caller saves it).
void AsignarValoresIniciales(const QString& ruta, Recordset& rs,
                             const QDateTime& ahora = QDateTime::currentDateTime());
void AsignarValoresIniciales(const ValoresIniciales& valores, Recordset& rs,
                             const QDateTime& ahora);
