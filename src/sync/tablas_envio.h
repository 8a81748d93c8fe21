#pragma once

#include "config/estrucs.h"
#include "esquema_tienda.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct Ajustes;
class Conexion;

// A shop table a send writes, the columns it names there, and the writes it makes: what must exist,
// and what the shop's account must be allowed to do, before the run writes anything.
struct UsoDeTabla {
    QString tabla;
    QStringList columnas;
    bool inserta = false;
    bool actualiza = false;
    bool siExiste = false; // written only when the shop has it (store links)
    QString motivo;        // for messages: which setting names it
};

// The tables and columns a send with this mapping and these settings writes.
QList<UsoDeTabla> TablasDelEnvio(const clnCampos& campos, const Ajustes& ajustes);

// The tables the uses name, product table first, each once.
QStringList NombresDeTablas(const QList<UsoDeTabla>& usos);

// Checks the uses against the shop: every table and column exists (`esquema` as read by
// LeerEsquemaTienda), and the account may insert and update where the run does (tried with
// statements that touch no row). Each problem is one sentence; empty when the shop can take the
// send. `todos` tries every privilege (for --check); otherwise the first refusal ends the check.
QStringList ComprobarTablas(Conexion& cn, const QList<UsoDeTabla>& usos,
                            const QHash<QString, TablaTienda>& esquema, bool privilegios,
                            bool todos);
