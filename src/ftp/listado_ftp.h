#pragma once

#include <QDateTime>
#include <QString>

// One entry of a remote folder, as read from the server's listing.
struct EntradaListado {
    QString nombre;
    bool carpeta = false;
    bool soloLectura = false;
    qint64 tamano = 0;
    QDateTime modificado; // invalid when the server gave no time
    QDateTime creado;     // invalid when the server gave none
};

// Reading of listing lines. Servers differ: MLSD gives exact UTC times and unambiguous names;
// LIST (and SFTP's long names) give "ls -l" or DOS-style lines with minute precision.
namespace listado {

// One MLSD line ("type=file;size=5;modify=20240101120000; name"). False for the entries of the
// folder itself and its parent, and for lines that are not a list of facts.
bool interpretarMLSD(const QString& linea, EntradaListado& entrada);

// One LIST line or SFTP long name, Unix ("-rw-r--r-- 1 ana web 5 Jan 01 12:00 name") or DOS
// ("01-31-24  09:05PM  <DIR>  name"). Times are read as UTC (the usual server setting); a Unix
// time without a year is placed in the twelve months before `ahora`. False for "total" lines,
// "." and "..", and anything unreadable.
bool interpretarLIST(const QString& linea, const QDateTime& ahora, EntradaListado& entrada);

// The attribute bits of cDirItem for an entry: Directory for folders, ReadOnly for entries the
// user may not write, Normal for any other file.
qint64 atributos(const EntradaListado& entrada);

// Shell-style match of a name against a pattern ("*", "?", "[...]"), letter case counting.
bool coincide(const QString& patron, const QString& nombre);
// True when the text holds a wildcard character.
bool tieneComodines(const QString& texto);

} // namespace listado
