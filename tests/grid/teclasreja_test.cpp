// The grid's own keys: Space, Insert, Delete, Shift+F1, moving to the next cell, and the rows.
#include "pruebareja.h"

#include "grid/zonafija.h"
#include "services/dialogos.h"

#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
void vaciaRenglon(QTableWidget* reja, int renglon) {
    for (int c = 1; c < reja->columnCount(); ++c)
        delete reja->takeItem(renglon, c);
}
} // namespace

TEST_F(PruebaReja, Insertar) {
    {
        SCOPED_TRACE("con el último renglón en blanco va a él sin agregar");
        vaciaRenglon(d->reja, 3);
        pulsa(Qt::Key_Insert);
        EXPECT_EQ(d->reja->rowCount(), 4);
        EXPECT_EQ(d->reja->currentRow(), 3);
        EXPECT_EQ(d->reja->currentColumn(), 1);
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->geometry(), rectCelda(3, 1));
        EXPECT_EQ(veces(u"PreparaRenglon(4)"_s), 0);
        escribe("c4");
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(celda(3, 1), u""_s);
    }
    ponCelda(3, 1, u"C3"_s);
    {
        SCOPED_TRACE("sin AgregarRenglones no hace nada ni pita");
        d->control.setAgregarRenglones(false);
        pulsa(Qt::Key_Insert);
        EXPECT_EQ(d->reja->rowCount(), 4);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(pitidos, 0);
    }
    {
        SCOPED_TRACE("con AgregarRenglones agrega, avisa, numera y abre la primera columna");
        d->control.setAgregarRenglones(true);
        d->control.AgregarRenglon();
        EXPECT_EQ(d->reja->rowCount(), 5);
        EXPECT_EQ(d->llamadas.value(0), u"PreparaRenglon(4)"_s);
        EXPECT_EQ(celda(4, 0), u"4"_s);
        EXPECT_EQ(d->reja->currentRow(), 4);
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->geometry(), rectCelda(4, 1));
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, Suprimir) {
    d->reja->setRowCount(5);
    ponCelda(4, 1, u"D4"_s);
    {
        SCOPED_TRACE("un renglón en blanco se borra sin preguntar");
        d->reja->setRowCount(6);
        ir(5, 1);
        pulsa(Qt::Key_Delete);
        EXPECT_EQ(d->reja->rowCount(), 5);
        EXPECT_TRUE(dialogos.cajas.isEmpty());
    }
    {
        SCOPED_TRACE("un renglón con texto pregunta con No por omisión; No no cambia nada");
        ir(2, 3);
        dialogos.respuestas = {Respuesta::No};
        pulsa(Qt::Key_Delete);
        ASSERT_EQ(dialogos.cajas.size(), 1);
        EXPECT_EQ(dialogos.cajas[0].texto, u"¿Desea eliminar el renglón 2?"_s);
        EXPECT_EQ(dialogos.cajas[0].titulo, u"Borrar línea"_s);
        EXPECT_EQ(dialogos.cajas[0].botones,
                  Botones::SiNo | Botones::Pregunta | Botones::SegundoPorDefecto);
        EXPECT_EQ(d->reja->rowCount(), 5);
        EXPECT_EQ(celda(2, 1), u"B2"_s);
        EXPECT_EQ(foco(), d->reja);
    }
    {
        SCOPED_TRACE("Sí borra y renumera los renglones que quedan");
        dialogos.respuestas = {Respuesta::Si};
        pulsa(Qt::Key_Delete);
        EXPECT_EQ(d->reja->rowCount(), 4);
        const QStringList numeros{celda(1, 0), celda(2, 0), celda(3, 0)};
        EXPECT_EQ(numeros, (QStringList{u"1"_s, u"2"_s, u"3"_s}));
        const QStringList claves{celda(1, 1), celda(2, 1), celda(3, 1)};
        EXPECT_EQ(claves, (QStringList{u"A1"_s, u"C3"_s, u"D4"_s}));
        EXPECT_EQ(foco(), d->reja);
    }
    {
        SCOPED_TRACE("sin BorrarRenglones pita");
        d->control.setBorrarRenglones(false);
        pulsa(Qt::Key_Delete);
        EXPECT_EQ(pitidos, 1);
        EXPECT_EQ(d->reja->rowCount(), 4);
        d->control.setBorrarRenglones(true);
    }
    {
        SCOPED_TRACE("con SuprimeLinea sólo se llama al dueño");
        d->control.setSuprimeLinea(u"Suprime"_s);
        ir(2, 3);
        const int cajas = int(dialogos.cajas.size());
        pulsa(Qt::Key_Delete);
        EXPECT_EQ(d->llamadas, QStringList{u"Suprime(2)"_s});
        EXPECT_EQ(d->reja->rowCount(), 4);
        EXPECT_EQ(dialogos.cajas.size(), cajas);
        d->control.setSuprimeLinea(QString());
    }
    {
        SCOPED_TRACE("borrar el único renglón de datos deja uno en blanco");
        d->reja->setRowCount(2);
        ir(1, 1);
        dialogos.respuestas = {Respuesta::Si};
        pulsa(Qt::Key_Delete);
        EXPECT_EQ(d->reja->rowCount(), 2);
        EXPECT_EQ(celda(1, 1), u""_s);
        EXPECT_EQ(celda(1, 0), u"1"_s);
        EXPECT_EQ(celda(0, 1), u"Clave"_s);
        EXPECT_EQ(ZonaFija::Filas(d->reja), 1);
    }
    {
        SCOPED_TRACE("un renglón que no existe no se borra");
        CapturaBitacora bitacora;
        d->control.Borrarlo(7);
        EXPECT_EQ(d->reja->rowCount(), 2);
        EXPECT_TRUE(bitacora.contiene(u"no existe"_s));
    }
}

TEST_F(PruebaReja, Espacio) {
    {
        SCOPED_TRACE("sin PorEspacio, Espacio abre el editor con un blanco");
        ir(2, 8);
        pulsa(Qt::Key_Space);
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u" "_s);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("con PorEspacio se llama al dueño y no se edita");
        d->control.setPorEspacio(u"Espacio"_s);
        pulsa(Qt::Key_Space);
        EXPECT_EQ(d->llamadas, QStringList{u"Espacio(2,8)"_s});
        EXPECT_FALSE(algunEditorVisible());
        SCOPED_TRACE("ni siquiera en una casilla");
        ir(1, 4);
        pulsa(Qt::Key_Space);
        EXPECT_EQ(celda(1, 4), u""_s);
    }
}

TEST_F(PruebaReja, SiguienteCelda) {
    {
        SCOPED_TRACE("tras la última columna de un renglón intermedio, baja sin editor");
        ir(1, 8);
        pulsa(Qt::Key_Return);
        pulsa(Qt::Key_Return);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(d->reja->currentRow(), 2);
        EXPECT_EQ(d->reja->currentColumn(), 1);
    }
    {
        SCOPED_TRACE("tras la última del último renglón, sin AgregarRenglones se queda");
        d->control.setAgregarRenglones(false);
        ir(3, 8);
        pulsa(Qt::Key_Return);
        pulsa(Qt::Key_Return);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(d->reja->rowCount(), 4);
        EXPECT_EQ(d->reja->currentRow(), 3);
        EXPECT_EQ(d->reja->currentColumn(), 1);
    }
    {
        SCOPED_TRACE("con AgregarRenglones agrega un renglón y abre su primera columna");
        d->control.setAgregarRenglones(true);
        ir(3, 8);
        pulsa(Qt::Key_Return);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(d->reja->rowCount(), 5);
        EXPECT_EQ(veces(u"PreparaRenglon(4)"_s), 1);
        EXPECT_EQ(d->reja->currentRow(), 4);
        EXPECT_EQ(d->reja->currentColumn(), 1);
        EXPECT_TRUE(visible(txt()));
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("confirmar una columna abre la siguiente declarada del mismo renglón");
        ir(2, 6);
        escribe("7");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(d->reja->currentRow(), 2);
        EXPECT_EQ(d->reja->currentColumn(), 7);
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->geometry(), rectCelda(2, 7));
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, MayusF1EnLaReja) {
    {
        SCOPED_TRACE("el valor del dueño entra como tecleado y confirmado");
        d->valorBusqueda = u"ABC"_s;
        ir(2, 1);
        pulsa(Qt::Key_F1, Qt::ShiftModifier);
        espera(); // the queued Enter
        EXPECT_EQ(celda(2, 1), u"ABC-001"_s) << "through the validator";
        EXPECT_EQ(veces(u"ValidaClave(ABC,2,1)"_s), 1);
        EXPECT_EQ(veces(u"Despues(2,1)"_s), 1);
        EXPECT_TRUE(visible(mke())) << "then the next column opens";
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("un valor rechazado deja el editor; Escape devuelve el texto anterior");
        d->valorBusqueda = u"MAL"_s;
        ir(3, 1);
        pulsa(Qt::Key_F1, Qt::ShiftModifier);
        espera();
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u"MAL"_s);
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(celda(3, 1), u"C3"_s);
        EXPECT_EQ(veces(u"Despues(3,1)"_s), 0);
    }
    {
        SCOPED_TRACE("una búsqueda sin respuesta conserva la celda");
        d->valorBusqueda.clear();
        d->control.setCambioAutomatico(false);
        ir(3, 1);
        pulsa(Qt::Key_F1, Qt::ShiftModifier);
        espera();
        EXPECT_EQ(celda(3, 1), u"C3"_s);
        EXPECT_FALSE(algunEditorVisible());
    }
    {
        SCOPED_TRACE("en el editor de texto pone el valor y no confirma");
        d->valorBusqueda = u"XYZ"_s;
        ir(1, 1);
        pulsa(Qt::Key_Return);
        pulsa(Qt::Key_F1, Qt::ShiftModifier);
        espera();
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u"XYZ"_s);
        EXPECT_EQ(celda(1, 1), u"A1"_s);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("con la columna principal en blanco pita");
        d->control.setColumnaPrincipal(1);
        ponCelda(3, 1, u""_s);
        ir(3, 3);
        d->llamadas.clear();
        pulsa(Qt::Key_F1, Qt::ShiftModifier);
        EXPECT_EQ(pitidos, 2) << "one for the rejected value above, one here";
        EXPECT_TRUE(d->llamadas.isEmpty());
        EXPECT_FALSE(algunEditorVisible());
    }
}

// The field-mapping page: a grid of six columns (two fixed) and one fixed row on a tab page, with
// the controller configured as the main window does it.
class PruebaRejaDeCampos : public ::testing::Test {
protected:
    void SetUp() override {
        ventana.resize(900, 400);
        auto* disposicion = new QVBoxLayout(&ventana);
        auto* pestanas = new QTabWidget(&ventana);
        disposicion->addWidget(pestanas);
        pestanas->addTab(new QWidget, u"Principal"_s);
        auto* pagina = new QWidget;
        pestanas->addTab(pagina, u"Relación de campos"_s);
        auto* dentro = new QVBoxLayout(pagina);
        reja = new QTableWidget(4, 6, pagina);
        dentro->addWidget(reja);
        pestanas->setCurrentIndex(1);
        const QStringList titulos{u""_s,
                                  u"Campo de Velmora"_s,
                                  u"Equivalente en web"_s,
                                  u"Tabla externa"_s,
                                  u"Llave en tabla principal"_s,
                                  u"Llave en tabla externa"_s};
        for (int c = 0; c < 6; ++c)
            reja->setItem(0, c, new QTableWidgetItem(titulos[c]));
        const QStringList campos{u"Clave"_s, u"Descripcion"_s, u"Precio"_s};
        for (int r = 1; r <= 3; ++r) {
            reja->setItem(r, 0, new QTableWidgetItem(QString::number(r)));
            reja->setItem(r, 1, new QTableWidgetItem(campos[r - 1]));
        }
        ZonaFija::Fijar(reja, 1, 2);

        control.setFrmVentana(&ventana);
        control.setFlexGrid(reja);
        control.setFactorVertical(500);
        control.setFactorHorizontal(80);
        control.setAgregarRenglones(false);
        for (quint8 c = 2; c <= 5; ++c)
            control.AgregaColumna(c, TipoEditor::Texto, u"X"_s, 0, {}, {}, {}, {}, {}, 0, {});
        QObject::connect(&control, &EdicionGrid::Pitido, [this] { ++pitidos; });

        ventana.show();
        ventana.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
        reja->setFocus();
    }
    QLineEdit* txt() const { return ventana.findChild<QLineEdit*>(u"txtCelda"_s); }
    bool abierto() const { return txt() && txt()->isVisible(); }
    QRect rectCelda(int renglon, int columna) const {
        const QRect r = reja->visualRect(reja->model()->index(renglon, columna));
        return QRect(reja->viewport()->mapTo(&ventana, r.topLeft()), r.size());
    }
    QString celda(int renglon, int columna) const {
        const QTableWidgetItem* item = reja->item(renglon, columna);
        return item ? item->text() : QString();
    }
    void teclea(const QString& texto) {
        for (QChar c : texto)
            QTest::keyClick(QApplication::focusWidget(), char(c.unicode()));
    }
    void enter() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }

    DialogosDePrueba dialogos;
    QWidget ventana;
    QTableWidget* reja = nullptr;
    EdicionGrid control;
    int pitidos = 0;
};

TEST_F(PruebaRejaDeCampos, SeEditaComoEnLaVentanaPrincipal) {
    {
        SCOPED_TRACE("las columnas y el renglón fijos no pueden ser la celda actual");
        reja->setCurrentCell(0, 0);
        EXPECT_EQ(reja->currentRow(), 1);
        EXPECT_EQ(reja->currentColumn(), 2);
        EXPECT_EQ(control.UltimaColumna(), 5);
    }
    {
        SCOPED_TRACE("el editor cubre la celda exactamente, dentro de la pestaña");
        enter();
        ASSERT_TRUE(abierto());
        EXPECT_EQ(txt()->parentWidget(), &ventana);
        EXPECT_EQ(txt()->geometry(), rectCelda(1, 2));
        EXPECT_GT(txt()->y(), reja->y()) << "below the tab bar, not at the page's origin";
    }
    {
        SCOPED_TRACE("confirmar recorre las columnas 2 a 5 y baja al siguiente renglón");
        teclea(u"sku"_s);
        enter();
        EXPECT_EQ(celda(1, 2), u"sku"_s);
        ASSERT_TRUE(abierto());
        EXPECT_EQ(txt()->geometry(), rectCelda(1, 3));
        enter();
        enter();
        teclea(u"id"_s);
        enter();
        EXPECT_EQ(celda(1, 5), u"id"_s);
        EXPECT_FALSE(abierto());
        EXPECT_EQ(reja->currentRow(), 2);
        EXPECT_EQ(reja->currentColumn(), 2);
        EXPECT_EQ(celda(1, 1), u"Clave"_s) << "fixed columns are never written";
    }
    {
        SCOPED_TRACE("en el último renglón no se agregan renglones");
        reja->setCurrentCell(3, 5);
        reja->setFocus();
        teclea(u"x"_s);
        enter();
        EXPECT_EQ(reja->rowCount(), 4);
        EXPECT_EQ(reja->currentRow(), 3);
        EXPECT_EQ(reja->currentColumn(), 2);
        EXPECT_FALSE(abierto());
        QTest::keyClick(reja, Qt::Key_Insert);
        EXPECT_EQ(reja->rowCount(), 4);
        EXPECT_FALSE(abierto());
        EXPECT_EQ(pitidos, 0);
    }
    {
        SCOPED_TRACE("Arriba y Abajo confirman y cambian de renglón");
        reja->setCurrentCell(2, 3);
        reja->setFocus();
        teclea(u"oc_x"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        EXPECT_EQ(celda(2, 3), u"oc_x"_s);
        EXPECT_EQ(reja->currentRow(), 1);
        EXPECT_FALSE(abierto());
    }
}

// Tab leaves a confirmed cell for the next declared one, row after row, and past the last cell the
// focus moves on; Ctrl+Tab leaves the grid from any cell, in an editor after confirming it.
TEST_F(PruebaRejaDeCampos, TabulacionYSalidaDeLaReja) {
    auto* despues = new QLineEdit(reja->parentWidget());
    despues->setObjectName(u"despues"_s);
    despues->show();
    auto foco = [] { return QApplication::focusWidget(); };
    auto tab = [&](Qt::KeyboardModifiers m = Qt::NoModifier) {
        const bool atras = m.testFlag(Qt::ShiftModifier);
        QTest::keyClick(foco(), atras ? Qt::Key_Backtab : Qt::Key_Tab, m);
        QApplication::processEvents();
    };
    auto actual = [&] { return std::pair(reja->currentRow(), reja->currentColumn()); };
    {
        SCOPED_TRACE("Tab en el editor confirma y deja la celda siguiente sin abrirla");
        reja->setCurrentCell(1, 2);
        teclea(u"sku"_s);
        ASSERT_TRUE(abierto());
        tab();
        EXPECT_EQ(celda(1, 2), u"sku"_s);
        EXPECT_EQ(actual(), std::pair(1, 3));
        EXPECT_FALSE(abierto());
        EXPECT_EQ(foco(), reja);
        teclea(u"oc"_s);
        tab();
        EXPECT_EQ(celda(1, 3), u"oc"_s);
        EXPECT_EQ(celda(1, 2), u"sku"_s) << "the second word did not replace the first";
        EXPECT_EQ(actual(), std::pair(1, 4));
    }
    {
        SCOPED_TRACE("en la reja Tab recorre las columnas declaradas y pasa de renglón");
        tab();
        EXPECT_EQ(actual(), std::pair(1, 5));
        tab();
        EXPECT_EQ(actual(), std::pair(2, 2));
        tab(Qt::ShiftModifier);
        EXPECT_EQ(actual(), std::pair(1, 5));
        EXPECT_EQ(foco(), reja);
    }
    {
        SCOPED_TRACE("después de la última celda el foco sale de la reja");
        reja->setCurrentCell(3, 5);
        tab();
        EXPECT_EQ(foco(), despues);
        tab(Qt::ShiftModifier);
        EXPECT_EQ(foco(), reja);
        reja->setCurrentCell(1, 2);
        tab(Qt::ShiftModifier);
        EXPECT_NE(foco(), reja) << "before the first cell it leaves backwards";
    }
    {
        SCOPED_TRACE("Ctrl+Tab sale desde cualquier celda, también desde el editor");
        reja->setCurrentCell(2, 3);
        reja->setFocus();
        tab(Qt::ControlModifier);
        EXPECT_EQ(foco(), despues);
        EXPECT_EQ(actual(), std::pair(2, 3));
        reja->setFocus();
        teclea(u"z"_s);
        ASSERT_TRUE(abierto());
        tab(Qt::ControlModifier);
        EXPECT_EQ(celda(2, 3), u"z"_s);
        EXPECT_EQ(foco(), despues);
        EXPECT_FALSE(abierto());
    }
    EXPECT_EQ(pitidos, 0);
}

// The fixed columns stay in view while the others scroll sideways, follow the vertical scrolling
// and the widths, and never hide the current cell.
TEST_F(PruebaRejaDeCampos, LasColumnasFijasNoSeDesplazan) {
    reja->setRowCount(40);
    for (int r = 4; r < 40; ++r)
        reja->setItem(r, 1, new QTableWidgetItem(u"Campo %1"_s.arg(r)));
    for (int c = 0; c < 6; ++c)
        reja->setColumnWidth(c, 150);
    ventana.resize(420, 300);
    QApplication::processEvents();
    auto* fija = reja->findChild<QTableView*>(u"vistaFija"_s);
    ASSERT_NE(fija, nullptr);
    auto anchoFijo = [&] { return reja->columnWidth(0) + reja->columnWidth(1); };
    QScrollBar* lado = reja->horizontalScrollBar();
    ASSERT_GT(lado->maximum(), 0) << "the grid must be wider than its window for this test";
    lado->setValue(lado->maximum());
    QApplication::processEvents();
    EXPECT_TRUE(fija->isVisible());
    EXPECT_EQ(fija->geometry().left(), reja->viewport()->geometry().left());
    EXPECT_EQ(fija->width(), anchoFijo());
    // What shows at the grid's left edge is the point-of-sale column, not the scrolled cells.
    const QPoint borde = reja->viewport()->geometry().topLeft() + QPoint(anchoFijo() - 5, 5);
    EXPECT_TRUE(fija->isAncestorOf(reja->childAt(borde)));
    EXPECT_EQ(fija->indexAt(fija->viewport()->mapFrom(reja, borde)).column(), 1);
    EXPECT_TRUE(fija->isColumnHidden(2));

    QScrollBar* arriba = reja->verticalScrollBar();
    arriba->setValue(arriba->maximum());
    QApplication::processEvents();
    EXPECT_EQ(fija->verticalScrollBar()->value(), arriba->value());
    EXPECT_EQ(fija->rowAt(0), reja->rowAt(0));
    EXPECT_GT(reja->rowAt(0), 1);

    reja->setColumnWidth(1, 200);
    QApplication::processEvents();
    EXPECT_EQ(fija->width(), anchoFijo());

    // A cell that scrolling would leave under the fixed columns is brought out.
    reja->setCurrentCell(5, 2);
    QApplication::processEvents();
    const QRect celda = reja->visualRect(reja->model()->index(5, 2));
    EXPECT_GE(celda.left(), anchoFijo()) << "scroll " << lado->value();
}
