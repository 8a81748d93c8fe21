#include "zonafija.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace {

// Draws the fixed cells like header sections: window colour, never selected or focused.
class DelegadoFijo : public QStyledItemDelegate {
public:
    explicit DelegadoFijo(QTableWidget* reja)
        : QStyledItemDelegate(reja)
        , m_reja(reja) {}

    void paint(QPainter* pintor, const QStyleOptionViewItem& opcion,
               const QModelIndex& indice) const override {
        if (indice.row() >= ZonaFija::Filas(m_reja) &&
            indice.column() >= ZonaFija::Columnas(m_reja)) {
            QStyledItemDelegate::paint(pintor, opcion, indice);
            return;
        }
        QStyleOptionViewItem o(opcion);
        initStyleOption(&o, indice);
        o.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (!indice.data(Qt::BackgroundRole).isValid())
            o.backgroundBrush = o.palette.button();
        if (!indice.data(Qt::ForegroundRole).isValid())
            o.palette.setColor(QPalette::Text, o.palette.color(QPalette::ButtonText));
        const QWidget* w = o.widget;
        QStyle* estilo = w ? w->style() : nullptr;
        if (estilo)
            estilo->drawControl(QStyle::CE_ItemViewItem, &o, pintor, w);
    }

private:
    QTableWidget* m_reja;
};

} // namespace

ZonaFija::ZonaFija(QTableWidget* reja)
    : QObject(reja)
    , m_reja(reja) {
    reja->horizontalHeader()->hide();
    reja->verticalHeader()->hide();
    reja->setItemDelegate(new DelegadoFijo(reja));
    connect(reja, &QTableWidget::currentCellChanged, this,
            [this](int fila, int columna, int, int) { Encarrilar(fila, columna); });
}

ZonaFija* ZonaFija::De(const QTableWidget* reja) {
    return reja ? reja->findChild<ZonaFija*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void ZonaFija::Fijar(QTableWidget* reja, int filas, int columnas) {
    if (!reja)
        return;
    ZonaFija* zona = De(reja);
    if (!zona)
        zona = new ZonaFija(reja);
    zona->m_filas = qMax(0, filas);
    zona->m_columnas = qMax(0, columnas);
    zona->Encarrilar(reja->currentRow(), reja->currentColumn());
    reja->viewport()->update();
}

void ZonaFija::FijarFilas(QTableWidget* reja, int filas) {
    Fijar(reja, filas, Columnas(reja));
}

int ZonaFija::Filas(const QTableWidget* reja) {
    const ZonaFija* zona = De(reja);
    return zona ? zona->m_filas : 0;
}

int ZonaFija::Columnas(const QTableWidget* reja) {
    const ZonaFija* zona = De(reja);
    return zona ? zona->m_columnas : 0;
}

void ZonaFija::Encarrilar(int fila, int columna) {
    if (fila < 0 || columna < 0)
        return;
    int f = fila;
    int c = columna;
    if (f < m_filas && m_reja->rowCount() > m_filas)
        f = m_filas;
    if (c < m_columnas && m_reja->columnCount() > m_columnas)
        c = m_columnas;
    if (f != fila || c != columna)
        m_reja->setCurrentCell(f, c);
}
