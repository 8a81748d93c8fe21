#pragma once

#include "grid/ediciongrid.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QTableWidget;

// A small window that owns a grid with one column of each editor kind, and the owner methods the
// controller calls by name. Every call is recorded in llamadas.
//
// Columns: 0 row number (fixed); 1 "Clave" text, upper case, at most 8; 2 "Fecha" masked
// ##/##/####; 3 "Unidad" combo; 4 "Activo" check; 5 "Marca" data combo; 6 "Precio" text, numbers,
// written as 0.00; 7 "Hora" text, times; 8 "Nombre" text, lower case; 9 "Notas" not declared.
// Rows 1 to 3 hold data.
class DuenoDemo : public QWidget {
    Q_OBJECT
public:
    DuenoDemo();

    QTableWidget* reja;
    QLineEdit* otro; // another control to move the focus to
    EdicionGrid control;
    QStringList llamadas;
    QString valorBusqueda;        // what BuscaClave answers
    bool lanzarEnDespues = false; // DespuesDeEditar throws

    Q_INVOKABLE bool ValidaClave(QString& texto, int renglon, int columna);
    Q_INVOKABLE bool ValidaFecha(QString& texto, int renglon, int columna);
    Q_INVOKABLE bool ValidaPrecio(QString& texto, int renglon, int columna);
    Q_INVOKABLE void DespuesDeEditar(int renglon, int columna);
    Q_INVOKABLE void LlenaUnidades(QComboBox* combo, int renglon, int columna);
    Q_INVOKABLE void LlenaMarcas(QComboBox* combo, int renglon, int columna);
    Q_INVOKABLE QString BuscaClave();
    Q_INVOKABLE QString BuscaUnidad();
    Q_INVOKABLE void PreparaRenglon(int renglon);
    Q_INVOKABLE void Suprime(int renglon);
    Q_INVOKABLE void Espacio(int renglon, int columna);
};
