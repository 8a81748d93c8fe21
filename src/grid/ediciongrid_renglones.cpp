// Moving between cells (after an edit, with Tab, out of the grid) and the rows: appending,
// numbering, deleting.
#include "ediciongrid.h"

#include "zonafija.h"

#include "services/decontroles_gui.h"
#include "services/objetos.h"
#include "services/teclas.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTableWidget>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcGrid)

// ---- Public row operations ----

void EdicionGrid::AgregarRenglon() {
    int codigo = Tecla::Insertar;
    TeclaAbajoReja(codigo, Cambio::Ninguno);
}

void EdicionGrid::BorrarReglon() {
    int codigo = Tecla::Suprimir;
    TeclaAbajoReja(codigo, Cambio::Ninguno);
}

void EdicionGrid::Borrarlo(int lnReng) {
    if (!m_reja)
        return;
    if (lnReng < 1 || lnReng >= m_reja->rowCount()) {
        qCWarning(lcGrid) << "No se borra el renglón" << lnReng << "de una reja de"
                          << m_reja->rowCount() << "renglones: no existe";
        return;
    }
    if (m_reja->rowCount() == 2)
        m_reja->setRowCount(1);
    else
        m_reja->removeRow(lnReng);
    if (m_reja->rowCount() == 1) {
        // The grid always keeps one data row.
        m_reja->setRowCount(2);
        ZonaFija::FijarFilas(m_reja, 1);
    }
    if (m_numerar) {
        for (int renglon = 1; renglon < m_reja->rowCount(); ++renglon) {
            QCoreApplication::processEvents();
            if (!m_reja)
                return;
            PonTexto(renglon, 0, QString::number(renglon));
            PintarRenglon(renglon);
        }
    }
}

// ---- Navigation and rows ----

void EdicionGrid::SiguienteCelda() {
    if (!m_reja)
        return;
    if (m_mColumna.Columna < m_ultimaColumna) {
        const clsColumnasGrid* siguiente = nullptr;
        for (const clsColumnasGrid& d : m_clnColumnas)
            if (d.Columna > m_mColumna.Columna) {
                siguiente = &d;
                break;
            }
        if (!siguiente)
            return;
        const int columna = siguiente->Columna;
        if (siguiente->TipoControl == TipoEditor::Casilla)
            QCoreApplication::processEvents();
        if (!m_reja)
            return;
        m_reja->setCurrentCell(m_reja->currentRow(), columna);
        QCoreApplication::processEvents();
        TeclaPresionadaReja(Tecla::Enter);
        return;
    }
    m_reja->setCurrentCell(m_reja->currentRow(), m_inPrimeraColumna);
    if (m_reja->currentRow() != m_reja->rowCount() - 1)
        m_reja->setCurrentCell(m_reja->currentRow() + 1, m_reja->currentColumn());
    else if (m_agregarRenglones)
        NuevoRenglon();
    QCoreApplication::processEvents();
    if (m_reja && m_reja->currentRow() == m_reja->rowCount() - 1 && m_agregarRenglones)
        TeclaPresionadaReja(Tecla::Enter);
}

void EdicionGrid::Tabulador(bool adelante, bool salir) {
    if (!m_reja)
        return;
    std::vector<int> columnas;
    for (const clsColumnasGrid& d : m_clnColumnas)
        columnas.push_back(d.Columna);
    std::sort(columnas.begin(), columnas.end());
    int fila = m_reja->currentRow();
    const int columna = m_reja->currentColumn();
    if (salir || columnas.empty() || fila < 0) {
        SalirDeReja(adelante);
        return;
    }
    int siguiente = -1;
    if (adelante) {
        const auto it = std::upper_bound(columnas.begin(), columnas.end(), columna);
        if (it != columnas.end())
            siguiente = *it;
    } else {
        const auto it = std::lower_bound(columnas.begin(), columnas.end(), columna);
        if (it != columnas.begin())
            siguiente = *std::prev(it);
    }
    if (siguiente < 0) {
        // Into the next (or previous) shown data row; past the last one the focus moves on.
        do
            fila += adelante ? 1 : -1;
        while (fila >= 1 && fila < m_reja->rowCount() && m_reja->isRowHidden(fila));
        if (fila < 1 || fila >= m_reja->rowCount()) {
            SalirDeReja(adelante);
            return;
        }
        siguiente = adelante ? columnas.front() : columnas.back();
    }
    m_reja->setCurrentCell(fila, siguiente);
}

void EdicionGrid::SalirDeReja(bool adelante) {
    // The grid uses Tab itself, so its own focus step would only move the cell: the next control
    // of the window's focus chain is looked for here.
    QWidget* w = m_reja;
    while ((w = adelante ? w->nextInFocusChain() : w->previousInFocusChain()) && w != m_reja) {
        if (w->window() != m_reja->window() || m_reja->isAncestorOf(w) || EsEditor(w) ||
            w->focusProxy() || !w->isVisible() || !w->isEnabled() ||
            !(w->focusPolicy() & Qt::TabFocus))
            continue;
        w->setFocus(adelante ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return;
    }
}

void EdicionGrid::NuevoRenglon() {
    m_reja->setRowCount(m_reja->rowCount() + 1);
    if (!m_antesDeInsertar.isEmpty())
        LlamaRenglon(m_antesDeInsertar, m_reja->rowCount() - 1);
    ZonaFija::FijarFilas(m_reja, 1);
    NumeraRenglon();
    UltimoRenglon();
}

void EdicionGrid::UltimoRenglon() {
    const int renglon = m_reja->rowCount() - 1;
    m_reja->setCurrentCell(renglon, qMax(0, m_reja->currentColumn()));
    if (m_numerar)
        PintarRenglon(renglon);
    if (m_inPrimeraColumna >= 0)
        m_reja->setCurrentCell(renglon, m_inPrimeraColumna);
}

void EdicionGrid::NumeraRenglon() {
    if (!m_numerar || !m_reja)
        return;
    const int renglon = m_reja->currentRow();
    if (renglon >= 0 && Texto(renglon, 0).trimmed().isEmpty())
        PonTexto(renglon, 0, QString::number(renglon));
}

bool EdicionGrid::RenglonVacio(int renglon) const {
    const int desde = m_inPrimeraColumna >= 0 ? m_inPrimeraColumna : 0;
    for (int columna = desde; columna < m_reja->columnCount(); ++columna)
        if (!Texto(renglon, columna).trimmed().isEmpty())
            return false;
    return true;
}

void EdicionGrid::PintarRenglon(int renglon) {
    std::unique_ptr<DeControles> controles;
    if (CrearObjeto(controles, u"DeControles"_s))
        controles->PintarRenglon(m_reja, renglon, renglon);
}
