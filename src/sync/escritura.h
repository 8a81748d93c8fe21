#pragma once

#include "services/recordset.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace escritor {
// One write a send decided: a row to insert (or replace), columns to update, or rows to delete.
struct Escritura {
    QString tabla;
    QStringList columnas;
    QList<Valor> valores;
    Condicion condicion; // updates and deletes
    qint64 limite = -1;
    int producto = 0; // the block's product it belongs to, or -1
    bool insercion = false;
    bool reemplazo = false; // an insert that replaces the row of the same key (REPLACE)
    bool borrado = false;   // deletes the rows of the condition
};
} // namespace escritor
