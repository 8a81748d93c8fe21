// The editors laid over a cell, the check glyph, and the keys and focus of the editors.
#include "ediciongrid.h"

#include "codigotecla.h"

#include "services/libqvtx.h"
#include "services/objetos.h"
#include "services/teclas.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTimer>

#include <exception>
#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcGrid)

namespace {

// A keystroke queued to whatever has the focus once the pending events have run.
class TeclaEncolada : public QEvent {
public:
    explicit TeclaEncolada(int teclaQt)
        : QEvent(tipo())
        , tecla(teclaQt) {}
    static QEvent::Type tipo() {
        static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
        return t;
    }
    const int tecla;
};

QString caracter(int codigo) {
    const char32_t c = char32_t(codigo);
    return QString::fromUcs4(&c, 1);
}

void resaltar(QObject* control) {
    std::unique_ptr<libQVTX> qvtx;
    if (CrearObjeto(qvtx, u"libQVTX"_s))
        qvtx->Resalta(control);
}

// Input masks are declared with the masked box's characters (# digit, 9 optional digit, ? letter,
// A letter or digit, a optional letter or digit, & any character, C optional character, > < case,
// \ literal); QLineEdit has its own set, so they are translated and every other character is kept
// as a literal.
QString mascaraQt(const QString& mascara) {
    static const QString especiales = u"AaNnXx90Dd#HhBb><![]{};\\"_s;
    QString r;
    for (qsizetype i = 0; i < mascara.size(); ++i) {
        const QChar c = mascara[i];
        switch (c.unicode()) {
        case u'#':
            r += u'9';
            break;
        case u'9':
            r += u'0';
            break;
        case u'?':
            r += u'A';
            break;
        case u'A':
            r += u'N';
            break;
        case u'a':
            r += u'n';
            break;
        case u'&':
            r += u'X';
            break;
        case u'C':
            r += u'x';
            break;
        case u'>':
        case u'<':
            r += c;
            break;
        case u'\\':
            if (i + 1 < mascara.size()) {
                r += u'\\';
                r += mascara[++i];
            }
            break;
        default:
            if (especiales.contains(c))
                r += u'\\';
            r += c;
            break;
        }
    }
    return r;
}

} // namespace

// ---- Creating, placing and showing ----

QLineEdit* EdicionGrid::CreaLinea(QPointer<QLineEdit>& editor, const QString& nombre) {
    if (editor)
        return editor;
    QWidget* ventana = Ventana();
    if (!ventana)
        return nullptr;
    QLineEdit* nuevo = ventana->findChild<QLineEdit*>(nombre);
    if (!nuevo) {
        nuevo = new QLineEdit(ventana);
        nuevo->setObjectName(nombre);
        nuevo->setFrame(false);
        nuevo->hide();
    }
    nuevo->installEventFilter(this);
    editor = nuevo;
    return nuevo;
}

QComboBox* EdicionGrid::CreaCombo(QPointer<QComboBox>& editor, const QString& nombre) {
    if (editor)
        return editor;
    QWidget* ventana = Ventana();
    if (!ventana)
        return nullptr;
    QComboBox* nuevo = ventana->findChild<QComboBox*>(nombre);
    if (!nuevo) {
        nuevo = new QComboBox(ventana);
        nuevo->setObjectName(nombre);
        nuevo->hide();
    }
    nuevo->setEditable(true);
    // The list is the owner's: typing neither adds to it nor completes from it.
    nuevo->setInsertPolicy(QComboBox::NoInsert);
    nuevo->setCompleter(nullptr);
    nuevo->installEventFilter(this);
    editor = nuevo;
    return nuevo;
}

void EdicionGrid::Coloca(QWidget* editor, bool conAltura, bool conFuente) {
    QWidget* ventana = Ventana();
    const QRect celda = m_reja->visualRect(m_reja->model()->index(m_lnRenglon, m_byColumna));
    QPoint esquina;
    if (ventana->isAncestorOf(m_reja)) {
        esquina = m_reja->viewport()->mapTo(ventana, celda.topLeft());
    } else {
        const QPoint desplazamiento(qRound(m_factorHorizontal * ventana->logicalDpiX() / 1440.0),
                                    qRound(m_factorVertical * ventana->logicalDpiY() / 1440.0));
        esquina =
            m_reja->pos() + m_reja->viewport()->mapTo(m_reja, celda.topLeft()) + desplazamiento;
    }
    const int alto = conAltura ? celda.height() : editor->sizeHint().height();
    editor->setGeometry(esquina.x(), esquina.y(), celda.width(), alto);

    const QTableWidgetItem* item = m_reja->item(m_lnRenglon, m_byColumna);
    if (conFuente)
        editor->setFont(item && item->data(Qt::FontRole).isValid() ? item->font() : m_reja->font());
    QPalette paleta = m_reja->palette();
    if (item && item->data(Qt::ForegroundRole).isValid())
        paleta.setColor(QPalette::Text, item->foreground().color());
    if (item && item->data(Qt::BackgroundRole).isValid())
        paleta.setColor(QPalette::Base, item->background().color());
    editor->setPalette(paleta);
}

void EdicionGrid::Muestra(QWidget* editor) {
    editor->raise();
    m_editorAbierto = editor;
    ++m_numeroEdicion;
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
}

// ---- The editor kinds ----

void EdicionGrid::EditaTexto(int& inTecla) {
    QLineEdit* txt = CreaLinea(m_txtCelda, u"txtCelda"_s);
    if (!txt)
        return;
    const QTableWidgetItem* item = m_reja->item(m_lnRenglon, m_byColumna);
    const Qt::Alignment alineacion = item ? Qt::Alignment(item->textAlignment()) : Qt::Alignment();
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alineacion & Qt::AlignRight)
        horizontal = Qt::AlignRight;
    else if (alineacion & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
    txt->setAlignment(horizontal | Qt::AlignVCenter);
    txt->setMaxLength(m_mColumna.Longitud > 0 ? m_mColumna.Longitud : 32767);
    Coloca(txt, true, true);
    if (inTecla == Tecla::Enter) {
        txt->setText(m_stOriginal);
        resaltar(txt);
    } else if (inTecla == Tecla::Retroceso) {
        if (m_stOriginal.isEmpty()) {
            Pitar();
            return;
        }
        txt->setText(m_stOriginal.chopped(1));
        txt->end(false);
    } else {
        txt->setText(caracter(inTecla));
        txt->end(false);
    }
    Muestra(txt);
}

void EdicionGrid::EditaMascara(int& inTecla) {
    QLineEdit* mke = CreaLinea(m_mkeCelda, u"mkeCelda"_s);
    if (!mke)
        return;
    // Unfilled positions show (and read back) as blanks. The display format of the column would
    // only show while the box has no focus, which never happens during an edit.
    mke->setInputMask(m_mColumna.Mascara.isEmpty() ? QString()
                                                   : mascaraQt(m_mColumna.Mascara) + u"; "_s);
    mke->setMaxLength(32767);
    Coloca(mke, true, true);
    if (inTecla == Tecla::Enter) {
        mke->setText(m_stOriginal);
        mke->setSelection(0, int(mke->displayText().size()));
    } else if (inTecla == Tecla::Retroceso) {
        if (m_stOriginal.isEmpty()) {
            Pitar();
            return;
        }
        mke->setText(m_stOriginal);
        mke->setText(mke->text().chopped(1));
        mke->setCursorPosition(qMax(0, int(mke->displayText().size()) - 2));
    } else {
        if (inTecla < '0' || inTecla > '9') {
            Pitar();
            return;
        }
        mke->setText(caracter(inTecla));
        mke->setCursorPosition(1);
        mke->deselect();
    }
    Muestra(mke);
}

void EdicionGrid::EditaCombo(int& inTecla) {
    QComboBox* cmb = CreaCombo(m_cmbCelda, u"cmbCelda"_s);
    if (!cmb)
        return;
    Coloca(cmb, false, true);
    if (!m_mColumna.LlenarCombos.isEmpty()) {
        LlamaLlenarCombos(m_mColumna.LlenarCombos, cmb, m_reja->currentRow(),
                          m_reja->currentColumn());
        if (cmb->count() >= 1)
            cmb->setCurrentIndex(0);
    }
    if (inTecla == Tecla::Enter) {
        if (!m_stOriginal.isEmpty())
            cmb->setEditText(m_stOriginal);
        else if (cmb->count() == 0)
            cmb->setEditText(QString()); // not the text of the last edit
        resaltar(cmb->lineEdit());
    } else if (inTecla == Tecla::Retroceso) {
        if (m_stOriginal.isEmpty()) {
            Pitar();
            return;
        }
        cmb->setEditText(m_stOriginal.chopped(1));
        cmb->lineEdit()->end(false);
        EncolarTecla(Qt::Key_Right);
    } else {
        cmb->setEditText(caracter(inTecla));
        cmb->lineEdit()->end(false);
        EncolarTecla(Qt::Key_Right);
    }
    Muestra(cmb);
}

void EdicionGrid::EditaDataCombo(int& inTecla) {
    QComboBox* dcm = CreaCombo(m_dcmCelda, u"dcmCelda"_s);
    if (!dcm)
        return;
    Coloca(dcm, false, false);
    if (!m_mColumna.LlenarCombos.isEmpty())
        LlamaLlenarCombos(m_mColumna.LlenarCombos, dcm, m_reja->currentRow(),
                          m_reja->currentColumn());
    if (inTecla == Tecla::Enter) {
        if (!m_stOriginal.isEmpty()) {
            dcm->setEditText(m_stOriginal);
        } else {
            // No item is chosen for a blank cell (a combo picks its first item when its model is
            // set), nor is the text of the last edit kept.
            dcm->setCurrentIndex(-1);
            dcm->setEditText(QString());
        }
        resaltar(dcm->lineEdit());
    } else if (inTecla == Tecla::Retroceso) {
        if (m_stOriginal.isEmpty()) {
            Pitar();
            return;
        }
        dcm->setEditText(m_stOriginal.chopped(1));
        dcm->lineEdit()->end(false);
        EncolarTecla(Qt::Key_Right);
    } else {
        dcm->setEditText(caracter(inTecla));
        dcm->lineEdit()->end(false);
        EncolarTecla(Qt::Key_Right);
    }
    Muestra(dcm);
}

void EdicionGrid::AlternaCasilla(int inTecla) {
    QTableWidgetItem* celda = Celda(m_lnRenglon, m_byColumna);
    if (!celda)
        return;
    QFont fuente = m_reja->font();
    if (m_mColumna.TamanoFuenteCheckBox > 0)
        fuente.setPointSizeF(m_mColumna.TamanoFuenteCheckBox);
    celda->setFont(fuente);
    if (inTecla != Tecla::Espacio && inTecla != Tecla::Enter)
        return;
    if (celda->text().trimmed().isEmpty())
        setCeldaMarcada(m_mColumna.Plantilla == u"1"_s);
    else
        setCeldaMarcada(!CeldaMarcada());
    if (!m_mColumna.DespuesDeEditar.isEmpty())
        LlamaRenglonColumna(m_mColumna.DespuesDeEditar, m_reja->currentRow(),
                            m_reja->currentColumn());
    if (m_cambioAutomatico)
        SiguienteCelda();
}

// ---- Keys and focus of the editors ----

bool EdicionGrid::TeclaEnEditor(QWidget* editor, QKeyEvent* evento) {
    if (m_reenviando || editor != m_editorAbierto)
        return false;
    const int codigo = CodigoTecla::DeQt(evento->key());
    const int cambio = CodigoTecla::EstadoCambio(evento->modifiers());
    if (cambio == Cambio::Mayusculas && codigo == Tecla::F1) {
        EjecutaShiftF1(editor, false);
        return true;
    }
    if (evento->key() == Qt::Key_Tab || evento->key() == Qt::Key_Backtab) {
        // Confirmed where it was typed, then on to the next cell without opening it: a word typed
        // after Tab goes there, not over the text just confirmed.
        const bool adelante =
            evento->key() == Qt::Key_Tab && !evento->modifiers().testFlag(Qt::ShiftModifier);
        const bool salir = evento->modifiers().testFlag(Qt::ControlModifier);
        const bool cambioAutomatico = m_cambioAutomatico;
        m_cambioAutomatico = false;
        const auto restaura = qScopeGuard([&] { m_cambioAutomatico = cambioAutomatico; });
        if (AceptaEdicion(TextoEditor(editor), editor == m_mkeCelda.data(), editor) && m_reja)
            Tabulador(adelante, salir);
        return true;
    }
    const bool linea = editor == m_txtCelda.data() || editor == m_mkeCelda.data();
    const bool flecha =
        cambio == Cambio::Ninguno && (codigo == Tecla::Arriba || codigo == Tecla::Abajo);
    if (!linea && flecha) {
        // The combos' arrows step through their list, which would put its next item over what was
        // typed: they open the list instead, and the typed text stays until an item is chosen.
        static_cast<QComboBox*>(editor)->showPopup();
        return true;
    }
    if (linea && flecha) {
        FlechaEnEditor(codigo, editor);
        return true;
    }
    int tecla = CodigoTecla::Caracter(*evento);
    if (tecla == 0)
        return false;
    const int original = tecla;
    TeclaPresionadaEditor(editor, tecla);
    if (tecla == 0)
        return true;
    if (tecla == original)
        return false;
    // The key filter changed the character (case of the input class): type the new one.
    m_reenviando = true;
    const auto restaura = qScopeGuard([this] { m_reenviando = false; });
    const std::unique_ptr<QKeyEvent> otro = CodigoTecla::EventoDeCaracter(tecla);
    QCoreApplication::sendEvent(editor, otro.get());
    return true;
}

void EdicionGrid::TeclaPresionadaEditor(QWidget* editor, int& tecla) {
    const bool mascara = editor == m_mkeCelda.data();
    if (tecla == Tecla::Enter) {
        tecla = 0;
        AceptaEdicion(TextoEditor(editor), mascara, editor);
        return;
    }
    // Escape cancels in every editor, the data combo's included: without it an edit could not be
    // abandoned, and the text the cell held would be lost to a mistyped key.
    if (tecla == Tecla::Escape) {
        tecla = 0;
        Cancela(editor);
        return;
    }
    std::unique_ptr<libQVTX> qvtx;
    if (!CrearObjeto(qvtx, u"libQVTX"_s))
        return;
    if (qvtx->Enter(tecla, m_mColumna.Plantilla) == AccionTecla::Rechazo)
        Pitar();
}

void EdicionGrid::FlechaEnEditor(int codigo, QWidget* editor) {
    const int renglon = m_reja->currentRow();
    int paso = 0;
    if (codigo == Tecla::Arriba) {
        if (renglon == 1)
            Pitar();
        else
            paso = -1;
    } else {
        if (m_reja->rowCount() == renglon + 1)
            Pitar();
        else
            paso = 1;
    }
    if (paso == 0)
        return;
    const bool cambioAutomatico = m_cambioAutomatico;
    m_cambioAutomatico = false;
    const auto restaura = qScopeGuard([&] { m_cambioAutomatico = cambioAutomatico; });
    if (AceptaEdicion(TextoEditor(editor), editor == m_mkeCelda.data(), editor) && m_reja)
        m_reja->setCurrentCell(renglon + paso, m_reja->currentColumn());
}

void EdicionGrid::FocoPerdido(QWidget* editor, QFocusEvent* evento) {
    // A loss reported by an editor whose edit has ended, or arriving when the editor has the
    // focus again for a later edit, must not write into the cell of the edit now open.
    if (editor != m_editorAbierto || editor->hasFocus())
        return;
    // A message box or a popup list takes the focus for a moment; the edit goes on. A combo's
    // open list gets the focus as a widget of its own (a window that the combo owns).
    if (evento->reason() == Qt::ActiveWindowFocusReason || evento->reason() == Qt::PopupFocusReason)
        return;
    for (const QObject* o = QApplication::focusWidget(); o; o = o->parent())
        if (o == editor)
            return;
    QString texto = TextoEditor(editor);
    if (!m_blSinValidar && !ValidaCelda(texto, editor == m_mkeCelda.data())) {
        DevuelveFocoAlEditor();
        return;
    }
    // The text as the validator left it, as when the edit is confirmed with Enter.
    CierraEdicion(false, editor, texto);
}

void EdicionGrid::DevuelveFocoAlEditor() {
    const quint64 numero = m_numeroEdicion;
    const int renglon = m_lnRenglon;
    const int columna = m_byColumna;
    QTimer::singleShot(0, this, [this, numero, renglon, columna] {
        if (!m_editorAbierto || m_numeroEdicion != numero)
            return;
        if (m_reja && (m_reja->currentRow() != renglon || m_reja->currentColumn() != columna))
            m_reja->setCurrentCell(renglon, columna);
        m_editorAbierto->setFocus(Qt::OtherFocusReason);
    });
}

void EdicionGrid::EjecutaShiftF1(QWidget* control, bool confirmar) {
    if (!m_esEditable || !m_reja)
        return;
    const bool enReja = control == m_reja.data();
    const int renglon = m_reja->currentRow();
    const int columna = m_reja->currentColumn();
    const QString previo = Texto(renglon, columna);
    if (!m_mColumna.ShiftF1.isEmpty()) {
        QString valor;
        if (LlamaShiftF1(m_mColumna.ShiftF1, valor)) {
            if (!enReja)
                PonTextoEditor(control, valor);
            else if (!valor.isEmpty()) // an empty answer (look-up cancelled) keeps the cell
                PonTexto(renglon, columna, valor);
        }
    }
    if (!confirmar || Texto(renglon, columna).isEmpty())
        return;
    // The value goes through the column's editor as if typed and confirmed with Enter.
    TeclaPresionadaReja(Tecla::Enter);
    if (!m_editorAbierto)
        return;
    m_stOriginal = previo; // a cancel gives the cell back what it had before the look-up
    PonTexto(m_lnRenglon, m_byColumna, QString());
    QCoreApplication::processEvents();
    EncolarTecla(Qt::Key_Return);
}

QString EdicionGrid::TextoEditor(const QWidget* editor) const {
    if (!editor)
        return QString();
    if (editor == m_mkeCelda.data())
        return m_mkeCelda->displayText(); // with the mask's literals and blanks
    if (const auto* linea = qobject_cast<const QLineEdit*>(editor))
        return linea->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(editor))
        return combo->currentText();
    return QString();
}

void EdicionGrid::PonTextoEditor(QWidget* editor, const QString& texto) {
    if (auto* linea = qobject_cast<QLineEdit*>(editor))
        linea->setText(texto);
    else if (auto* combo = qobject_cast<QComboBox*>(editor))
        combo->setEditText(texto);
}

bool EdicionGrid::EsEditor(const QObject* objeto) const {
    return objeto && (objeto == m_txtCelda.data() || objeto == m_mkeCelda.data() ||
                      objeto == m_cmbCelda.data() || objeto == m_dcmCelda.data());
}

void EdicionGrid::EncolarTecla(int teclaQt) {
    QCoreApplication::postEvent(this, new TeclaEncolada(teclaQt));
}

bool EdicionGrid::event(QEvent* evento) {
    if (evento->type() != TeclaEncolada::tipo())
        return QObject::event(evento);
    // Delivered to the focused widget when it arrives, as a typed key would be.
    QWidget* destino = QApplication::focusWidget();
    if (!destino)
        destino = m_editorAbierto ? m_editorAbierto.data() : m_reja.data();
    if (!destino)
        return true;
    const int tecla = static_cast<TeclaEncolada*>(evento)->tecla;
    QPointer<QWidget> vivo = destino;
    const std::unique_ptr<QKeyEvent> pulsada = CodigoTecla::EventoDeTecla(tecla);
    QCoreApplication::sendEvent(destino, pulsada.get());
    if (vivo) {
        const std::unique_ptr<QKeyEvent> soltada =
            CodigoTecla::EventoDeTecla(tecla, QEvent::KeyRelease);
        QCoreApplication::sendEvent(vivo, soltada.get());
    }
    return true;
}
