#include "ediciongrid.h"

#include "codigotecla.h"
#include "formatotexto.h"

#include "services/mensajes.h"
#include "services/teclas.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QTableWidget>

#include <cmath>
#include <exception>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcGrid, "vendaro.grid")

namespace {
const QString Marcada = u"☑"_s;
const QString Desmarcada = u"☐"_s;
} // namespace

EdicionGrid::EdicionGrid(QObject* parent)
    : QObject(parent) {}

EdicionGrid::~EdicionGrid() {
    if (m_reja) {
        m_reja->removeEventFilter(this);
        m_reja->viewport()->removeEventFilter(this);
    }
}

// ---- Properties and attaching ----

void EdicionGrid::setFlexGrid(QTableWidget* reja) {
    if (m_reja) {
        m_reja->removeEventFilter(this);
        m_reja->viewport()->removeEventFilter(this);
    }
    m_reja = reja;
    if (!reja)
        return;
    // The table's own editors would compete with ours.
    reja->setEditTriggers(QAbstractItemView::NoEditTriggers);
    reja->installEventFilter(this);
    reja->viewport()->installEventFilter(this);
}

void EdicionGrid::setFrmVentana(QWidget* ventana) {
    m_ventana = ventana;
    if (!m_dueno)
        m_dueno = ventana;
}

void EdicionGrid::setColumnaPrincipal(int columna) {
    m_columnaPrincipal = std::abs(columna);
}

bool EdicionGrid::CeldaMarcada() const {
    if (!m_reja)
        return false;
    return Texto(m_reja->currentRow(), m_reja->currentColumn()).trimmed() == Marcada;
}

void EdicionGrid::setCeldaMarcada(bool marcada) {
    if (!m_reja)
        return;
    QTableWidgetItem* celda = Celda(m_reja->currentRow(), m_reja->currentColumn());
    if (!celda)
        return;
    // The glyphs are drawn in the grid's own font family.
    if (celda->font().family() != m_reja->font().family()) {
        QFont fuente = celda->font();
        fuente.setFamily(m_reja->font().family());
        celda->setFont(fuente);
    }
    celda->setText(marcada ? Marcada : Desmarcada);
}

void EdicionGrid::AgregaColumna(quint8 columna, int tipoControl, const QString& plantilla,
                                int longitud, const QString& formato, const QString& mascara,
                                const QString& validador, const QString& shiftF1,
                                const QString& llenarCombos, double tamanoFuenteCheckBox,
                                const QString& despuesDeEditar) {
    if (m_inPrimeraColumna == -1)
        m_inPrimeraColumna = columna;
    if (columna > m_ultimaColumna)
        m_ultimaColumna = columna;
    clsColumnasGrid d;
    d.Columna = columna;
    d.TipoControl = tipoControl;
    d.Plantilla = plantilla;
    d.Longitud = longitud;
    d.Formato = formato;
    d.Mascara = mascara;
    d.Validador = validador;
    d.ShiftF1 = shiftF1;
    d.LlenarCombos = llenarCombos;
    if (tipoControl == TipoEditor::Casilla && tamanoFuenteCheckBox == 0) {
        const QFont fuente = m_reja ? m_reja->font() : QApplication::font();
        // Kept to four decimals, as the size was always stored.
        tamanoFuenteCheckBox = std::round(QFontInfo(fuente).pointSizeF() * 10000) / 10000;
    }
    d.TamanoFuenteCheckBox = tamanoFuenteCheckBox;
    d.DespuesDeEditar = despuesDeEditar;
    m_clnColumnas.push_back(d);
}

// ---- Public edit operation ----

void EdicionGrid::Modificar() {
    TeclaPresionadaReja(Tecla::Enter);
}

// ---- Starting an edit ----

void EdicionGrid::EditaCelda(int& inTecla) {
    if (!m_esEditable || !m_reja)
        return;
    if (inTecla == Tecla::Escape) {
        Pitar();
        return;
    }
    if (!m_porEspacio.isEmpty() && inTecla == Tecla::Espacio) {
        inTecla = 0; // Space belongs to the owner's method
        return;
    }
    if (m_editorAbierto)
        DescartaEdicionAbierta();
    m_blDespues = true;
    m_blSinValidar = false;
    m_blGuardar = true;
    m_byColumna = m_reja->currentColumn();
    m_lnRenglon = m_reja->currentRow();
    if (m_lnRenglon < 0 || m_byColumna < 0)
        return;
    if (m_reja->isRowHidden(m_lnRenglon) || m_reja->rowHeight(m_lnRenglon) == 0) {
        Pitar();
        return;
    }
    NumeraRenglon();
    const clsColumnasGrid* d = Descriptor(m_byColumna);
    if (!d) {
        m_mColumna = clsColumnasGrid();
        return; // a column nobody declared is read-only
    }
    m_mColumna = *d;
    if (m_columnaPrincipal != -1 && m_columnaPrincipal != m_byColumna &&
        Texto(m_lnRenglon, m_columnaPrincipal).trimmed().isEmpty()) {
        Pitar();
        return;
    }
    m_stOriginal = Texto(m_lnRenglon, m_byColumna);
    FiltraTecla(inTecla, m_mColumna.Plantilla);
    if (inTecla == 0)
        return;
    switch (m_mColumna.TipoControl) {
    case TipoEditor::Texto:
        EditaTexto(inTecla);
        break;
    case TipoEditor::Mascara:
        EditaMascara(inTecla);
        break;
    case TipoEditor::Combo:
        EditaCombo(inTecla);
        break;
    case TipoEditor::Casilla:
        AlternaCasilla(inTecla);
        break;
    case TipoEditor::DataCombo:
        EditaDataCombo(inTecla);
        break;
    default:
        break;
    }
}

const clsColumnasGrid* EdicionGrid::Descriptor(int columna) const {
    for (const clsColumnasGrid& d : m_clnColumnas)
        if (d.Columna == columna)
            return &d;
    return nullptr;
}

void EdicionGrid::FiltraTecla(int& inTecla, const QString& plantilla) {
    if (inTecla == '\'')
        inTecla = '"';
    auto cambiaCaja = [&](bool mayusculas) {
        if (inTecla > 0 && inTecla <= 0xFFFF) {
            const QChar c{char16_t(inTecla)};
            inTecla = (mayusculas ? c.toUpper() : c.toLower()).unicode();
        }
        if (inTecla == '\\')
            inTecla = 0;
    };
    if (plantilla == u"!"_s) {
        cambiaCaja(true);
    } else if (plantilla == u"¡"_s) {
        cambiaCaja(false);
    } else if (plantilla == u"9"_s) {
        const bool vale = inTecla == Tecla::Enter || inTecla == Tecla::Retroceso ||
                          inTecla == '.' || inTecla == '-' || (inTecla >= '0' && inTecla <= '9');
        if (!vale) {
            inTecla = 0;
            Pitar();
        }
    } else if (plantilla == u"T"_s) {
        const bool vale = inTecla == Tecla::Enter || inTecla == Tecla::Retroceso ||
                          inTecla == '.' || (inTecla >= '0' && inTecla <= ':');
        if (!vale) {
            inTecla = 0;
            Pitar();
        }
    }
}

// ---- Validating, confirming, closing ----

bool EdicionGrid::ValidaCelda(QString& texto, bool fecha) {
    if (m_mColumna.Validador.isEmpty())
        return true;
    const int renglon = m_editorAbierto ? m_lnRenglon : (m_reja ? m_reja->currentRow() : -1);
    const int columna = m_editorAbierto ? m_byColumna : (m_reja ? m_reja->currentColumn() : -1);
    bool acepta = false;
    if (!LlamaValidador(m_mColumna.Validador, texto, renglon, columna, acepta))
        acepta = false; // a text that could not be validated is not written
    if (acepta && fecha)
        acepta = FormatoTexto::EsFecha(texto);
    if (!acepta)
        Pitar();
    return acepta;
}

bool EdicionGrid::AceptaEdicion(QString texto, bool fecha, QWidget* editor) {
    if (!ValidaCelda(texto, fecha))
        return false;
    m_blSinValidar = true;
    m_blGuardar = true;
    CierraEdicion(m_cambioAutomatico, editor, texto);
    return true;
}

void EdicionGrid::CierraEdicion(bool seguir, QWidget* editor, const QString& texto) {
    // From here on the edit is over: a focus loss that the hiding causes belongs to no edit.
    m_editorAbierto = nullptr;
    bool fallo = false;
    try {
        if (m_blGuardar) {
            PonTexto(m_lnRenglon, m_byColumna,
                     m_mColumna.Formato.isEmpty()
                         ? texto
                         : FormatoTexto::Aplicar(texto, m_mColumna.Formato));
            if (!m_mColumna.DespuesDeEditar.isEmpty() && m_blDespues) {
                m_blDespues = false; // before the call, so that it runs once even if it throws
                LlamaRenglonColumna(m_mColumna.DespuesDeEditar, m_lnRenglon, m_byColumna);
            }
        }
    } catch (const std::exception& e) {
        fallo = true;
        qCWarning(lcGrid) << "Error al cerrar la edición de la celda" << m_lnRenglon << m_byColumna
                          << ":" << e.what();
    } catch (...) {
        fallo = true;
        qCWarning(lcGrid) << "Error desconocido al cerrar la edición de la celda" << m_lnRenglon
                          << m_byColumna;
    }
    // Whatever happened above, no editor is left standing and the grid gets the keys again.
    if (m_reja)
        m_reja->setFocus(Qt::OtherFocusReason);
    if (editor && editor != m_reja)
        editor->hide();
    if (seguir && !fallo)
        SiguienteCelda();
}

void EdicionGrid::Cancela(QWidget* editor) {
    PonTexto(m_lnRenglon, m_byColumna, m_stOriginal);
    m_blSinValidar = true;
    m_blGuardar = false;
    CierraEdicion(false, editor, TextoEditor(editor));
}

void EdicionGrid::DescartaEdicionAbierta() {
    // A new edit replaces one that is still open (an owner call while an editor had the focus):
    // the old cell keeps its text and the old editor goes away, so it can never write later.
    QWidget* editor = m_editorAbierto;
    m_editorAbierto = nullptr;
    PonTexto(m_lnRenglon, m_byColumna, m_stOriginal);
    if (editor)
        editor->hide();
}

void EdicionGrid::Pitar() {
    QApplication::beep();
    Q_EMIT Pitido();
}

// ---- Grid events ----

bool EdicionGrid::eventFilter(QObject* objeto, QEvent* evento) {
    // Owner code runs inside these handlers; an exception must not cross Qt's event loop.
    try {
        return FiltraEvento(objeto, evento);
    } catch (const std::exception& e) {
        qCCritical(lcGrid) << "Error en un método del objeto de métodos:" << e.what();
    } catch (...) {
        qCCritical(lcGrid) << "Error desconocido en un método del objeto de métodos";
    }
    return true;
}

bool EdicionGrid::FiltraEvento(QObject* objeto, QEvent* evento) {
    if (m_reja && objeto == m_reja && evento->type() == QEvent::KeyPress)
        return TeclaEnReja(static_cast<QKeyEvent*>(evento));
    if (m_reja && objeto == m_reja->viewport() && evento->type() == QEvent::MouseButtonDblClick) {
        if (m_editorAbierto) {
            DevuelveFocoAlEditor();
            return true;
        }
        if (!m_esEditable)
            return false;
        TeclaPresionadaReja(Tecla::Enter);
        return true;
    }
    if (EsEditor(objeto)) {
        QWidget* editor = static_cast<QWidget*>(objeto);
        if (evento->type() == QEvent::KeyPress)
            return TeclaEnEditor(editor, static_cast<QKeyEvent*>(evento));
        if (evento->type() == QEvent::FocusOut)
            FocoPerdido(editor, static_cast<QFocusEvent*>(evento));
    }
    return false;
}

bool EdicionGrid::TeclaEnReja(QKeyEvent* evento) {
    if (m_editorAbierto) {
        // The grid can only get keys while an edit is open when a refused value kept the editor
        // open: the keys belong to that editor.
        DevuelveFocoAlEditor();
        return true;
    }
    if (evento->key() == Qt::Key_Tab || evento->key() == Qt::Key_Backtab) {
        Tabulador(evento->key() == Qt::Key_Tab && !evento->modifiers().testFlag(Qt::ShiftModifier),
                  evento->modifiers().testFlag(Qt::ControlModifier));
        return true;
    }
    // F2 edits the current cell, as a double click does.
    if (evento->key() == Qt::Key_F2 && evento->modifiers() == Qt::NoModifier) {
        if (!m_esEditable)
            return false;
        TeclaPresionadaReja(Tecla::Enter);
        return true;
    }
    int codigo = CodigoTecla::DeQt(evento->key());
    bool consumida = false;
    if (m_esEditable)
        consumida = TeclaAbajoReja(codigo, CodigoTecla::EstadoCambio(evento->modifiers()));
    const int caracter = CodigoTecla::Caracter(*evento);
    if (caracter != 0 && caracter != Tecla::Escape) {
        // Typed characters never reach the table, whose keyboard search would move the cell.
        TeclaPresionadaReja(caracter);
        consumida = true;
    }
    return consumida;
}

bool EdicionGrid::TeclaAbajoReja(int& codigo, int cambio) {
    if (!m_esEditable || !m_reja)
        return false;
    const int renglon = m_reja->currentRow();
    switch (codigo) {
    case Tecla::Espacio:
        codigo = 0;
        if (!m_porEspacio.isEmpty())
            LlamaRenglonColumna(m_porEspacio, renglon, m_reja->currentColumn());
        return true;
    case Tecla::Insertar:
        if (renglon != 0 && RenglonVacio(m_reja->rowCount() - 1)) {
            UltimoRenglon();
            TeclaPresionadaReja(Tecla::Enter);
        } else if (m_agregarRenglones) {
            NuevoRenglon();
            TeclaPresionadaReja(Tecla::Enter);
        }
        return true;
    case Tecla::Suprimir:
        if (!m_borrarRenglones || renglon <= 0) {
            Pitar();
            return true;
        }
        if (!m_suprimeLinea.isEmpty()) {
            LlamaRenglon(m_suprimeLinea, renglon);
            return true;
        }
        if (RenglonVacio(renglon)) {
            Borrarlo(renglon);
        } else {
            if (Pregunta(u"¿Desea eliminar el renglón "_s + QString::number(renglon) + u'?',
                         u"Borrar línea"_s, true))
                Borrarlo(renglon);
            if (m_reja)
                m_reja->setFocus(Qt::OtherFocusReason);
        }
        return true;
    case Tecla::F1:
        if (cambio != Cambio::Mayusculas)
            return false;
        codigo = 0;
        {
            const int columna = m_reja->currentColumn();
            if (m_columnaPrincipal != -1 && m_columnaPrincipal != columna &&
                Texto(renglon, m_columnaPrincipal).trimmed().isEmpty()) {
                Pitar();
                return true;
            }
            if (const clsColumnasGrid* d = Descriptor(columna)) {
                m_mColumna = *d;
                EjecutaShiftF1(m_reja, true);
            }
        }
        return true;
    default:
        return false;
    }
}

void EdicionGrid::TeclaPresionadaReja(int caracter) {
    if (!m_esEditable || caracter == Tecla::Escape)
        return;
    int tecla = caracter;
    EditaCelda(tecla);
}

// ---- Cells ----

QString EdicionGrid::Texto(int renglon, int columna) const {
    if (!m_reja)
        return QString();
    const QTableWidgetItem* celda = m_reja->item(renglon, columna);
    return celda ? celda->text() : QString();
}

QTableWidgetItem* EdicionGrid::Celda(int renglon, int columna) {
    if (!m_reja || renglon < 0 || columna < 0 || renglon >= m_reja->rowCount() ||
        columna >= m_reja->columnCount())
        return nullptr;
    QTableWidgetItem* celda = m_reja->item(renglon, columna);
    if (!celda) {
        celda = new QTableWidgetItem;
        m_reja->setItem(renglon, columna, celda);
    }
    return celda;
}

void EdicionGrid::PonTexto(int renglon, int columna, const QString& texto) {
    QTableWidgetItem* celda = m_reja ? m_reja->item(renglon, columna) : nullptr;
    if (!celda && texto.isEmpty())
        return; // an empty cell needs no item
    if (!celda)
        celda = Celda(renglon, columna);
    if (celda)
        celda->setText(texto);
}

QWidget* EdicionGrid::Ventana() const {
    if (m_ventana)
        return m_ventana;
    return m_reja ? m_reja->window() : nullptr;
}
