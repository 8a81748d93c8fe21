#include "zonafija.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>

using namespace Qt::StringLiterals;

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
    connect(reja, &QTableWidget::currentCellChanged, this, [this](int fila, int columna, int, int) {
        Encarrilar(fila, columna);
        Descubrir(fila, columna);
    });
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
    if (zona->m_columnas > 0 && !zona->m_vistaFija)
        zona->CrearVistaFija();
    zona->IgualarVistaFija();
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

void ZonaFija::Descubrir(int fila, int columna) {
    if (!m_vistaFija || columna < m_columnas)
        return;
    // After the grid's own scrolling to the new current cell, which runs on the same signal.
    QTimer::singleShot(0, this, [this, fila, columna] {
        if (m_reja->currentRow() != fila || m_reja->currentColumn() != columna)
            return;
        const QRect celda = m_reja->visualRect(m_reja->model()->index(fila, columna));
        const int tapado = AnchoFijo() - celda.left();
        if (tapado > 0) {
            QScrollBar* barra = m_reja->horizontalScrollBar();
            barra->setValue(barra->value() - tapado);
        }
    });
}

int ZonaFija::AnchoFijo() const {
    int ancho = 0;
    for (int c = 0; c < qMin(m_columnas, m_reja->columnCount()); ++c)
        if (!m_reja->isColumnHidden(c))
            ancho += m_reja->columnWidth(c);
    return ancho;
}

void ZonaFija::CrearVistaFija() {
    auto* v = new QTableView(m_reja);
    m_vistaFija = v;
    v->setObjectName(u"vistaFija"_s);
    v->setModel(m_reja->model());
    v->setSelectionModel(m_reja->selectionModel());
    v->setItemDelegate(new DelegadoFijo(m_reja));
    // The keys stay with the grid; a click on a fixed cell makes its row current there.
    v->setFocusPolicy(Qt::NoFocus);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setFrameShape(QFrame::NoFrame);
    v->verticalHeader()->hide();
    v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setVerticalScrollMode(m_reja->verticalScrollMode());
    v->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_reja->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(m_reja->verticalScrollBar(), &QScrollBar::valueChanged, v->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(v->verticalScrollBar(), &QScrollBar::valueChanged, m_reja->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(m_reja->horizontalHeader(), &QHeaderView::sectionResized, this, &ZonaFija::Programar);
    connect(m_reja->verticalHeader(), &QHeaderView::sectionResized, this, &ZonaFija::Programar);
    // A border dragged on the fixed columns' own header resizes the grid's column.
    connect(v->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int columna, int, int ancho) {
                QTimer::singleShot(0, this, [this, columna, ancho] {
                    if (columna < m_columnas && m_reja->columnWidth(columna) != ancho)
                        m_reja->setColumnWidth(columna, ancho);
                });
            });
    QAbstractItemModel* modelo = m_reja->model();
    for (auto senal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::columnsInserted,
                       &QAbstractItemModel::rowsRemoved, &QAbstractItemModel::columnsRemoved})
        connect(modelo, senal, this, &ZonaFija::Programar);
    connect(modelo, &QAbstractItemModel::modelReset, this, &ZonaFija::Programar);
    m_reja->installEventFilter(this);
    m_reja->horizontalHeader()->installEventFilter(this);
}

void ZonaFija::Programar() {
    if (m_programada)
        return;
    m_programada = true;
    // With this object as the timer's context, a grid destroyed meanwhile (and this with it)
    // cancels the call.
    QTimer::singleShot(0, this, [this] {
        m_programada = false;
        IgualarVistaFija();
    });
}

void ZonaFija::IgualarVistaFija() {
    if (!m_vistaFija)
        return;
    for (int c = 0; c < m_reja->columnCount(); ++c) {
        m_vistaFija->setColumnHidden(c, c >= m_columnas || m_reja->isColumnHidden(c));
        if (c < m_columnas)
            m_vistaFija->setColumnWidth(c, m_reja->columnWidth(c));
    }
    for (int f = 0; f < m_reja->rowCount(); ++f) {
        m_vistaFija->setRowHidden(f, m_reja->isRowHidden(f));
        if (!m_reja->isRowHidden(f))
            m_vistaFija->setRowHeight(f, m_reja->rowHeight(f));
    }
    m_vistaFija->setShowGrid(m_reja->showGrid());
    m_vistaFija->setVisible(m_columnas > 0);
    ColocarVistaFija();
}

void ZonaFija::ColocarVistaFija() {
    if (!m_vistaFija || m_columnas == 0)
        return;
    QHeaderView* cabecera = m_reja->horizontalHeader();
    const bool conCabecera = !cabecera->isHidden();
    m_vistaFija->horizontalHeader()->setVisible(conCabecera);
    const QRect vista = m_reja->viewport()->geometry();
    const int arriba = conCabecera ? cabecera->geometry().top() : vista.top();
    const int altoCabecera = conCabecera ? cabecera->height() : 0;
    if (conCabecera)
        m_vistaFija->horizontalHeader()->setFixedHeight(altoCabecera);
    m_vistaFija->setGeometry(vista.left(), arriba, qMin(AnchoFijo(), vista.width()),
                             vista.bottom() - arriba + 1);
    m_vistaFija->verticalScrollBar()->setValue(m_reja->verticalScrollBar()->value());
    m_vistaFija->raise();
}

bool ZonaFija::eventFilter(QObject*, QEvent* evento) {
    switch (evento->type()) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::LayoutRequest:
        Programar();
        break;
    default:
        break;
    }
    return false;
}
