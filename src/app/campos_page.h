#pragma once

#include "config/estrucs.h"

#include <QWidget>

class DeControles;
class EdicionGrid;
class QTableWidget;
class libQVTX;

// Page "Relación de campos": the mapping grid, one row per point-of-sale column, edited in place
// in its four web columns.
class CamposPage : public QWidget {
    Q_OBJECT
public:
    explicit CamposPage(QWidget* padre = nullptr);

    static constexpr int Columnas = 6;
    // Designed widths in twips.
    static constexpr int Anchos[Columnas] = {500, 2000, 2000, 2000, 3000, 3000};

    // The editor: text boxes on columns 2 to 5, no appended rows, editors placed in the window.
    void configurarEdicion(QWidget* ventana);
    // The empty state: the header row and one blank row, designed widths replaced by the saved
    // ones (section "Reja") that are greater than 0.
    void reiniciar(const libQVTX& qvtx, const QString& rutaIni);
    // One row per point-of-sale column.
    void llenar(const QList<Estrucs>& filas, const DeControles* controles);
    // The rows as typed, for the checks and the save.
    QList<Estrucs> filas() const;
    int renglones() const;
    // Every column's width, in twips, into section "Reja".
    void guardarAnchos(const libQVTX& qvtx, const QString& rutaIni) const;

    QTableWidget* mhgReja;
    EdicionGrid* mGrid = nullptr;

private:
    void encabezados();
};
