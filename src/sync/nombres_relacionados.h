#pragma once

#include "services/valor.h"

#include <QHash>
#include <QString>

#include <optional>

class BasesDD;
class Conexion;

// Point-of-sale columns that hold the Id of a row of another table, whose name the shop receives
// instead of the number.
struct TablaRelacionada {
    QString tabla;
    QString columna;
};

// The related table of a point-of-sale column (matched lower-cased), if it has one.
std::optional<TablaRelacionada> TablaRelacionadaDe(const QString& deVM);

// Turns related ids into names, reading each related table once per run.
class BuscadorNombres {
public:
    BuscadorNombres(BasesDD& bases, Conexion& pos)
        : m_bases(bases)
        , m_pos(pos) {}

    // The name of the row whose Id is the value; empty text when no row has it, or when the value
    // is NULL or not a number (logged). False only when the table could not be read (*error says
    // why).
    bool BuscarNombrePorId(const Valor& id, const TablaRelacionada& relacion, QString* nombre,
                           QString* error);

    // The value to send for the column: the related name for a related column, otherwise the value.
    bool reemplazar(const QString& deVM, const Valor& valor, Valor* resultado, QString* error);

private:
    bool cargar(const TablaRelacionada& relacion, QString* error);

    BasesDD& m_bases;
    Conexion& m_pos;
    QHash<QString, QHash<qint64, QString>> m_tablas; // lower-cased table → Id → name
};
