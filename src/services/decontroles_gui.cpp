#include "decontroles_gui.h"

#include <QPainter>
#include <QTableWidget>
#include <QWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

CajaPorcentaje::CajaPorcentaje(QWidget* padre)
    : QWidget(padre) {
    setMinimumHeight(16);
    setAccessibleName(u"Porcentaje copiado"_s);
}

void CajaPorcentaje::setPorcentaje(int porcentaje) {
    m_porcentaje = std::clamp(porcentaje, 0, 100);
    update();
}

void CajaPorcentaje::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect marco = rect().adjusted(0, 0, -1, -1);
    p.fillRect(marco, palette().color(QPalette::Base));
    QRect lleno = marco.adjusted(1, 1, 0, 0);
    lleno.setWidth(int(qint64(lleno.width()) * m_porcentaje / 100));
    p.fillRect(lleno, palette().color(QPalette::Highlight));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(marco);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(marco, Qt::AlignCenter, QString::number(m_porcentaje) + u" %"_s);
}

void DeControles::BarraPorcentaje(QWidget* caja, int porcentaje) const {
    if (auto* barra = qobject_cast<CajaPorcentaje*>(caja))
        barra->setPorcentaje(porcentaje);
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
