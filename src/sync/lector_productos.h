#pragma once

#include "services/recordset.h"

#include <QList>
#include <QStringList>

class BasesDD;

// Reads the point-of-sale products in key order a page at a time, so a large catalogue is never
// held in memory whole. The keys come first (the total, the page limits, the keys the shop is asked
// about); each page is then the rows from one limit up to the next as the key column's collation
// orders them, so keys equal under it stay on one page and every row is read once.
// Error convention: false with the message in *error.
class LectorProductos {
public:
    // `consulta`: the table, its columns, its order and any limit of the rows.
    LectorProductos(BasesDD& pos, Conexion& cn, Consulta consulta, qsizetype porPagina);

    // Reads every key (NULL as the empty text), in order, into *claves.
    bool leerClaves(QStringList* claves, QString* error);
    qsizetype total() const { return m_total; }

    // The next page into rs (a lost connection is reopened once). False at the end, and on an
    // error, which then is in *error.
    bool siguiente(Recordset& rs, QString* error);

private:
    BasesDD& m_pos;
    Conexion& m_cn;
    Consulta m_consulta;
    qsizetype m_porPagina;
    qsizetype m_total = 0;
    QList<Valor> m_limites; // each page's first key; the first page's is open (NULL)
    Valor m_ultima;         // the last key read, which closes the last page
    qsizetype m_pagina = 0;
    qint64 m_leidas = 0; // rows of the pages read
};
