#pragma once

#include "objetos.h"

#include <QWidget>

class QTableWidget;

// The picture box the percentage bar is drawn into.
class CajaPorcentaje : public QWidget {
    Q_OBJECT
public:
    explicit CajaPorcentaje(QWidget* padre = nullptr);
    int porcentaje() const { return m_porcentaje; }
    void setPorcentaje(int porcentaje);

protected:
    void paintEvent(QPaintEvent* evento) override;

private:
    int m_porcentaje = 0;
};

// Drawing helpers for controls: the percentage bar and the colouring of grid rows.
class DeControles : public ObjetoComponente {
public:
    // Draws a bar filled to the percentage (0 to 100) into the box.
    void BarraPorcentaje(QWidget* caja, int porcentaje) const;
    // Colours the rows desde..hasta of the grid; modo 2 shades the editable columns.
    void PintarRenglon(QTableWidget* reja, int desde, int hasta, int modo = 2) const;
    // The component takes two grid properties here and gives nothing back that the program uses.
    void LaCeldaFG(QTableWidget* reja, long primero, long segundo, bool bandera) const;
};

// Paints the window skin.
class Efectos : public ObjetoComponente {
public:
    void PintarSkin(QWidget* ventana, bool bandera = false) const;
};

// Registers "qvvm5.DeControles" and "qvvm5.Efectos".
void registrarClasesGui();
