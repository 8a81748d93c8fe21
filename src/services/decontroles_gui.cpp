#include "decontroles_gui.h"

#include <QTableWidget>
#include <QWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

void DeControles::BarraPorcentaje(QWidget* caja, int porcentaje) const {
    if (!caja)
        return;
    caja->setProperty("porcentaje", std::clamp(porcentaje, 0, 100));
    caja->update();
}

void DeControles::PintarRenglon(QTableWidget* reja, int desde, int hasta, int modo) const {
    if (!reja)
        return;
    const QColor sombra = reja->palette().color(QPalette::AlternateBase);
    for (int fila = desde; fila <= hasta && fila < reja->rowCount(); ++fila) {
        for (int col = 0; col < reja->columnCount(); ++col) {
            QTableWidgetItem* celda = reja->item(fila, col);
            if (!celda)
                continue;
            if (modo == 2 && col >= 2)
                celda->setBackground(sombra);
        }
    }
}

void DeControles::LaCeldaFG(QTableWidget*, long, long, bool) const {}

void Efectos::PintarSkin(QWidget* ventana, bool) const {
    if (ventana)
        ventana->update();
}

void registrarClasesGui() {
    registrarClase(u"qvvm5.DeControles"_s, [] { return std::make_unique<DeControles>(); });
    registrarClase(u"qvvm5.Efectos"_s, [] { return std::make_unique<Efectos>(); });
}
