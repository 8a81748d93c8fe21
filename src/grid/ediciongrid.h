#pragma once

#include "clscolumnasgrid.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QComboBox;
class QFocusEvent;
class QKeyEvent;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;
class QWidget;

// Turns a QTableWidget into an in-place editor. Typing on a cell, double-clicking it or pressing
// Enter lays the column's editor over the cell; confirming writes the text back into the cell.
//
// The grid. Fixed rows and columns are read-only cells of the table (see ZonaFija), not Qt headers,
// so every row and column number here is the table's own: row 0 is the header row, data rows run
// from 1 to rowCount() - 1, and column 0 holds the row numbers when Numerar is set. The controller
// switches off the table's own editing (edit triggers) and handles its key presses and
// double-clicks through an event filter.
//
// The editors are children of frmVentana (the grid's window when none was set), each created on
// first use with its object name (txtCelda: QLineEdit; mkeCelda: QLineEdit with an input mask;
// cmbCelda: editable QComboBox; dcmCelda: editable QComboBox over the model the owner supplies) and
// hidden between edits. A child of the window that already bears one of these names is taken over.
// Check columns use no editor: the cell shows "☑" or "☐" in the grid's font.
//
// Placement. An editor covers the cell exactly: its corner is the cell's corner mapped into
// frmVentana through every container in between (tab pages, frames, scrolling), which Qt measures.
// FactorHorizontal and FactorVertical, in twips, stood for that container displacement where it
// could not be measured; they are used only when the grid does not lie inside frmVentana, added to
// the grid's position in its own parent, at the window's logical DPI (pixels = twips * dpi / 1440).
//
// Owner callbacks are looked up by name among the Q_INVOKABLE methods (or slots) of
// ObjetoDeMetodos and called directly, with these signatures:
//   Validador        bool f(QString& texto, int renglon, int columna)  (may rewrite texto)
//   DespuesDeEditar  void f(int renglon, int columna)
//   LlenarCombos     void f(QComboBox* control, int renglon, int columna)
//   ShiftF1          QString f()
//   AntesDeInsertar  void f(int renglon)
//   SuprimeLinea     void f(int renglon)
//   PorEspacio       void f(int renglon, int columna)
// A name that the owner lacks (or with another signature) is logged on "vendaro.grid" and the call
// is skipped; a validator that cannot be called rejects the text. An exception thrown by an owner
// method is logged and never crosses Qt's event loop.
//
// Tab and Shift+Tab go to the next or previous declared column, row after row, and past the first
// or last of them out of the grid; Ctrl+Tab and Ctrl+Shift+Tab leave the grid from any cell. In an
// editor they first confirm the text as Enter does, without opening the next cell.
//
// Refusals beep (QApplication::beep) and emit Pitido().
class EdicionGrid : public QObject {
    Q_OBJECT
public:
    explicit EdicionGrid(QObject* parent = nullptr);
    ~EdicionGrid() override;

    // Rows may be appended by Insert and by moving past the last editable cell of the last row.
    void setAgregarRenglones(bool valor) { m_agregarRenglones = valor; }
    void setAntesDeInsertar(const QString& metodo) { m_antesDeInsertar = metodo; }
    void setBorrarRenglones(bool valor) { m_borrarRenglones = valor; }
    // After a confirmed edit, move to the next editable cell and open it.
    void setCambioAutomatico(bool valor) { m_cambioAutomatico = valor; }
    // Check state of the current cell; writing shows the checked or unchecked glyph.
    bool CeldaMarcada() const;
    void setCeldaMarcada(bool marcada);
    // Key column: while it is blank in a row, no other column of that row may be edited. -1 = none;
    // writing stores the absolute value.
    int ColumnaPrincipal() const { return m_columnaPrincipal; }
    void setColumnaPrincipal(int columna);
    // Master switch: when false, keys, double-clicks and the editing calls do nothing (Borrarlo
    // still deletes).
    void setEsEditable(bool valor) { m_esEditable = valor; }
    void setFactorHorizontal(int twips) { m_factorHorizontal = twips; }
    void setFactorVertical(int twips) { m_factorVertical = twips; }
    void setFlexGrid(QTableWidget* reja);
    // The window that holds the grid and the editors; also the owner when none is set yet.
    void setFrmVentana(QWidget* ventana);
    // Column 0 holds row numbers, and rows are repainted through DeControles::PintarRenglon.
    void setNumerar(bool valor) { m_numerar = valor; }
    void setObjetoDeMetodos(QObject* dueno) { m_dueno = dueno; }
    // Owner method for Space on the grid; when set, Space never starts an edit.
    void setPorEspacio(const QString& metodo) { m_porEspacio = metodo; }
    // Owner method that replaces the built-in deletion of the Delete key.
    void setSuprimeLinea(const QString& metodo) { m_suprimeLinea = metodo; }
    // Highest column declared with AgregaColumna.
    int UltimaColumna() const { return m_ultimaColumna; }

    // Declares an editable column; declare them in ascending column order (the next cell after an
    // edit is the first later-declared column with a higher number). tamanoFuenteCheckBox 0 takes
    // the grid's font size for a check column.
    void AgregaColumna(quint8 columna, int tipoControl, const QString& plantilla = QString(),
                       int longitud = 0, const QString& formato = QString(),
                       const QString& mascara = QString(), const QString& validador = QString(),
                       const QString& shiftF1 = QString(), const QString& llenarCombos = QString(),
                       double tamanoFuenteCheckBox = 0, const QString& despuesDeEditar = QString());
    // Starts editing the current cell with the typed character (13 = Enter, 8 = Backspace); may
    // change it (0 = swallowed).
    void EditaCelda(int& inTecla);
    // Opens the current cell as Enter would.
    void Modificar();
    // Insert and Delete on the grid.
    void AgregarRenglon();
    void BorrarReglon();
    // Deletes a data row; the grid always keeps one data row.
    void Borrarlo(int lnReng);

Q_SIGNALS:
    void Pitido();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    bool event(QEvent* evento) override;

private:
    // Grid keys (ediciongrid.cpp).
    bool FiltraEvento(QObject* objeto, QEvent* evento);
    bool TeclaEnReja(QKeyEvent* evento);
    bool TeclaAbajoReja(int& codigo, int cambio);
    void TeclaPresionadaReja(int caracter);

    // Navigation and rows (ediciongrid_renglones.cpp).
    void SiguienteCelda();
    // Tab on the grid or an editor; `salir` leaves the grid whatever the cell.
    void Tabulador(bool adelante, bool salir);
    void SalirDeReja(bool adelante);
    void NuevoRenglon();
    void UltimoRenglon();
    void NumeraRenglon();
    bool RenglonVacio(int renglon) const;
    void PintarRenglon(int renglon);

    // Edit start, validation and close (ediciongrid.cpp).
    const clsColumnasGrid* Descriptor(int columna) const;
    void FiltraTecla(int& inTecla, const QString& plantilla);
    bool ValidaCelda(QString& texto, bool fecha);
    bool AceptaEdicion(QString texto, bool fecha, QWidget* editor);
    void CierraEdicion(bool seguir, QWidget* editor, const QString& texto);
    void Cancela(QWidget* editor);
    void DescartaEdicionAbierta();
    void Pitar();

    // Editors and their keys (ediciongrid_editores.cpp).
    void EditaTexto(int& inTecla);
    void EditaMascara(int& inTecla);
    void EditaCombo(int& inTecla);
    void EditaDataCombo(int& inTecla);
    void AlternaCasilla(int inTecla);
    QLineEdit* CreaLinea(QPointer<QLineEdit>& editor, const QString& nombre);
    QComboBox* CreaCombo(QPointer<QComboBox>& editor, const QString& nombre);
    void Coloca(QWidget* editor, bool conAltura, bool conFuente);
    void Muestra(QWidget* editor);
    bool TeclaEnEditor(QWidget* editor, QKeyEvent* evento);
    void TeclaPresionadaEditor(QWidget* editor, int& caracter);
    void FlechaEnEditor(int codigo, QWidget* editor);
    void FocoPerdido(QWidget* editor, QFocusEvent* evento);
    void EjecutaShiftF1(QWidget* control, bool confirmar);
    QString TextoEditor(const QWidget* editor) const;
    void PonTextoEditor(QWidget* editor, const QString& texto);
    bool EsEditor(const QObject* objeto) const;
    void EncolarTecla(int teclaQt);
    void DevuelveFocoAlEditor();

    // Owner calls by name (ediciongrid_dueno.cpp).
    bool LlamaValidador(const QString& metodo, QString& texto, int renglon, int columna,
                        bool& acepta);
    void LlamaRenglonColumna(const QString& metodo, int renglon, int columna);
    void LlamaRenglon(const QString& metodo, int renglon);
    void LlamaLlenarCombos(const QString& metodo, QComboBox* control, int renglon, int columna);
    bool LlamaShiftF1(const QString& metodo, QString& valor);
    int IndiceMetodo(const QString& metodo, const char* parametros, const char* retorno) const;

    // Cells.
    QString Texto(int renglon, int columna) const;
    void PonTexto(int renglon, int columna, const QString& texto);
    QTableWidgetItem* Celda(int renglon, int columna);
    QWidget* Ventana() const;

    QPointer<QTableWidget> m_reja;
    QPointer<QWidget> m_ventana;
    QPointer<QObject> m_dueno;

    bool m_agregarRenglones = true;
    bool m_borrarRenglones = true;
    bool m_cambioAutomatico = true;
    bool m_esEditable = true;
    bool m_numerar = false;
    QString m_antesDeInsertar;
    QString m_porEspacio;
    QString m_suprimeLinea;
    int m_columnaPrincipal = -1;
    int m_factorHorizontal = 0;
    int m_factorVertical = 0;
    int m_ultimaColumna = 0;

    std::vector<clsColumnasGrid> m_clnColumnas;
    clsColumnasGrid m_mColumna;
    int m_inPrimeraColumna = -1;
    int m_lnRenglon = 0;
    int m_byColumna = 0;
    QString m_stOriginal;
    bool m_blSinValidar = false;
    bool m_blGuardar = false;
    bool m_blDespues = false;

    QPointer<QLineEdit> m_txtCelda;
    QPointer<QLineEdit> m_mkeCelda;
    QPointer<QComboBox> m_cmbCelda;
    QPointer<QComboBox> m_dcmCelda;
    // The editor of the edit in progress; null between edits. A focus loss reported by any other
    // editor, or by this one after the edit ended, belongs to no edit and is ignored.
    QPointer<QWidget> m_editorAbierto;
    quint64 m_numeroEdicion = 0;
    bool m_reenviando = false;
};
