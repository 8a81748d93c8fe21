#pragma once

#include <QObject>
#include <QPointer>

class QTableView;
class QTableWidget;

// The fixed rows and columns of a grid. They are ordinary cells of the QTableWidget drawn with a
// header look (Qt's own headers are hidden), so that grid indices stay those of the program: row 0
// is the header row and column 0 the row-number column. The current cell is kept out of them, as
// in a grid with fixed rows, and no editor is ever opened on them unless a column is declared
// there.
//
// Fixed columns stay in view while the others scroll sideways: a view of the same model drawn over
// the grid's left edge (object name "vistaFija") shows them, with the grid's widths, row heights,
// hidden rows, header and vertical scrolling. The grid scrolls by pixels so that a cell brought
// into view is never left under them.
class ZonaFija : public QObject {
    Q_OBJECT
public:
    // Makes the first filas rows and columnas columns fixed (and sets the grid's item delegate to
    // draw them).
    static void Fijar(QTableWidget* reja, int filas, int columnas);
    static void FijarFilas(QTableWidget* reja, int filas);
    // The counts set by Fijar; 0 for a grid that never had them set.
    static int Filas(const QTableWidget* reja);
    static int Columnas(const QTableWidget* reja);

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    explicit ZonaFija(QTableWidget* reja);
    static ZonaFija* De(const QTableWidget* reja);
    void Encarrilar(int fila, int columna);
    // The cell out from under the fixed columns, once the grid has scrolled it into view.
    void Descubrir(int fila, int columna);
    void CrearVistaFija();
    // The fixed view brought in line with the grid once the pending events have run: the model's
    // and the grid's signals also arrive while the grid is being destroyed, when it must not be
    // touched.
    void Programar();
    void IgualarVistaFija();
    void ColocarVistaFija();
    int AnchoFijo() const;

    QTableWidget* m_reja;
    QPointer<QTableView> m_vistaFija;
    bool m_programada = false;
    int m_filas = 0;
    int m_columnas = 0;
};
