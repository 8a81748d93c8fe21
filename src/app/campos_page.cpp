#include "campos_page.h"

#include "config/ajustes.h"
#include "grid/ediciongrid.h"
#include "grid/zonafija.h"
#include "services/decontroles_gui.h"
#include "services/libqvtx.h"
#include "services/ventanas_gui.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// A cell too narrow for its text shows the whole text as its tool tip.
class TextoCompleto : public QObject {
public:
    explicit TextoCompleto(QTableWidget* reja)
        : QObject(reja)
        , m_reja(reja) {}

    bool eventFilter(QObject*, QEvent* evento) override {
        if (evento->type() != QEvent::ToolTip)
            return false;
        const auto* ayuda = static_cast<QHelpEvent*>(evento);
        const QTableWidgetItem* celda = m_reja->itemAt(ayuda->pos());
        const QString texto = celda ? celda->text() : QString();
        // The style's text margins on both sides of a cell.
        const int margen = 2 * (m_reja->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        if (!texto.isEmpty() && m_reja->fontMetrics().horizontalAdvance(texto) + margen >
                                    m_reja->columnWidth(celda->column()))
            QToolTip::showText(ayuda->globalPos(), texto, m_reja->viewport());
        else
            QToolTip::hideText();
        return true;
    }

private:
    QTableWidget* m_reja;
};
} // namespace

CamposPage::CamposPage(QWidget* padre)
    : QWidget(padre) {
    setObjectName(u"RelacionCampos"_s);
    mhgReja = new QTableWidget(2, Columnas, this);
    mhgReja->setObjectName(u"mhgReja"_s);
    mhgReja->viewport()->installEventFilter(new TextoCompleto(mhgReja));
    auto* pagina = new QVBoxLayout(this);
    pagina->addWidget(mhgReja);
}

void CamposPage::configurarEdicion(QWidget* ventana) {
    if (!mGrid)
        mGrid = new EdicionGrid(this);
    mGrid->setFrmVentana(ventana);
    mGrid->setFlexGrid(mhgReja);
    mGrid->setFactorVertical(500);
    mGrid->setFactorHorizontal(80);
    mGrid->setAgregarRenglones(false);
    for (quint8 columna = 2; columna <= 5; ++columna)
        mGrid->AgregaColumna(columna, 0, u"X"_s, 0);
}

void CamposPage::encabezados() {
    static const QString Titulos[Columnas] = {
        QString(),          u"Campo de Velmora"_s,         u"Equivalente en web"_s,
        u"Tabla externa"_s, u"Llave en tabla principal"_s, u"Llave en tabla externa"_s};
    for (int c = 0; c < Columnas; ++c) {
        mhgReja->setItem(0, c, new QTableWidgetItem(Titulos[c]));
        auto* titulo = new QTableWidgetItem(Titulos[c]);
        titulo->setToolTip(Titulos[c]);
        mhgReja->setHorizontalHeaderItem(c, titulo);
    }
}

void CamposPage::reiniciar(const libQVTX& qvtx, const QString& rutaIni) {
    mhgReja->clearContents();
    mhgReja->setRowCount(2);
    mhgReja->setColumnCount(Columnas);
    ZonaFija::Fijar(mhgReja, 1, 2);
    encabezados();
    // The header row is drawn by a header whose borders the user drags to resize the columns;
    // row 0 keeps the titles (the grid's indices stay the program's) but is not shown.
    QHeaderView* cabecera = mhgReja->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::Interactive);
    cabecera->setStretchLastSection(false);
    cabecera->setMinimumSectionSize(12);
    cabecera->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    cabecera->show();
    mhgReja->setRowHidden(0, true);
    for (int c = 0; c < Columnas; ++c) {
        mhgReja->setColumnWidth(c, twips::aPixelesX(mhgReja, Anchos[c]));
        const double guardado = libQVTX::qvVal(qvtx.LeeIni(SeccionReja, claveReja(c), rutaIni));
        if (guardado > 0)
            mhgReja->setColumnWidth(c, twips::aPixelesX(mhgReja, int(guardado)));
    }
}

void CamposPage::llenar(const QList<Estrucs>& filas, const DeControles* controles) {
    mhgReja->setRowCount(1);
    for (const Estrucs& e : filas) {
        const int r = mhgReja->rowCount();
        mhgReja->setRowCount(r + 1);
        const QString textos[Columnas] = {
            QString::number(r), e.DeVM,         e.DeWeb,
            e.TablaExterna,     e.LlaveEnProds, e.LlaveEnTablaExterna};
        for (int c = 0; c < Columnas; ++c) {
            auto* celda = new QTableWidgetItem(textos[c]);
            if (c > 0)
                celda->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            mhgReja->setItem(r, c, celda);
        }
        if (controles)
            controles->PintarRenglon(mhgReja, r, r, 2);
    }
    ZonaFija::FijarFilas(mhgReja, 1);
    if (mhgReja->rowCount() > 1)
        mhgReja->setCurrentCell(1, 2);
}

QList<Estrucs> CamposPage::filas() const {
    auto texto = [this](int r, int c) {
        const QTableWidgetItem* celda = mhgReja->item(r, c);
        return celda ? celda->text().trimmed() : QString();
    };
    QList<Estrucs> resultado;
    for (int r = 1; r < mhgReja->rowCount(); ++r)
        resultado.append(Estrucs{texto(r, 1), texto(r, 2), texto(r, 3), texto(r, 4), texto(r, 5)});
    return resultado;
}

int CamposPage::renglones() const {
    return mhgReja->rowCount();
}

void CamposPage::guardarAnchos(const libQVTX& qvtx, const QString& rutaIni) const {
    QList<std::pair<QString, QString>> claves;
    for (int c = 0; c < mhgReja->columnCount(); ++c)
        claves.append(
            {claveReja(c), QString::number(twips::dePixelesX(mhgReja, mhgReja->columnWidth(c)))});
    qvtx.EscribeIniVarios(SeccionReja, claves, rutaIni);
}
