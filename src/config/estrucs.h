#pragma once

#include <QList>
#include <QString>

// One entry of the field mapping: which web column receives a point-of-sale column of `productos`,
// and whether that web column lives in the product table or in an external table joined by a key.
struct Estrucs {
    QString DeVM;         // column of the point-of-sale table `productos`
    QString DeWeb;        // web column that receives the value; empty = not sent
    QString TablaExterna; // empty: the web product table; otherwise the web table holding DeWeb
    QString LlaveEnProds; // web product column whose value identifies the external row
    QString LlaveEnTablaExterna; // key column of the external table, optionally ",column=value"...

    bool operator==(const Estrucs&) const = default;
};

// The mapped entries (those with a web column), in the column order of `productos`.
using clnCampos = QList<Estrucs>;
