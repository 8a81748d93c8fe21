#pragma once

#include "sync/ventana_envio.h"

#include <QWidget>

class QLabel;
class QTabWidget;
class QTableWidget;

// What the next send would write, per shop table, gathered by a dry run that writes nothing: one
// row per column of a row, its value now and the value it would get (a new row has none now).
class frmVistaPrevia : public QWidget {
    Q_OBJECT
public:
    explicit frmVistaPrevia(QWidget* padre = nullptr);

    // A new dry run starts: the tables are emptied.
    void empezar();
    void agregar(const CambioPrevisto& cambio);
    void terminar(const ResumenEnvio& resumen);
    // The table of a shop table; null when the run found nothing to change there.
    QTableWidget* tabla(const QString& nombre) const;

    QTabWidget* tabTablas;
    QLabel* lblEstado;
};
