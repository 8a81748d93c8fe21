#include "campos_page.h"

#include "config/ajustes.h"
#include "grid/ediciongrid.h"
#include "grid/zonafija.h"
#include "services/decontroles_gui.h"
#include "services/libqvtx.h"
#include "services/ventanas_gui.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CamposPage::CamposPage(QWidget* padre)
    : QWidget(padre) {
    setObjectName(u"RelacionCampos"_s);
    mhgReja = new QTableWidget(2, Columnas, this);
    mhgReja->setObjectName(u"mhgReja"_s);
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
    for (int c = 0; c < Columnas; ++c)
        mhgReja->setItem(0, c, new QTableWidgetItem(Titulos[c]));
}

void CamposPage::reiniciar(const libQVTX& qvtx, const QString& rutaIni) {
    mhgReja->clearContents();
    mhgReja->setRowCount(2);
    mhgReja->setColumnCount(Columnas);
    ZonaFija::Fijar(mhgReja, 1, 2);
    encabezados();
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
