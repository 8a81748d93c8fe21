// Starting, filtering, validating, writing back and closing edits, and the editor kinds.
#include "pruebareja.h"

#include <QFocusEvent>
#include <QFontInfo>

using namespace Qt::StringLiterals;

TEST_F(PruebaReja, ConEsEditableFalsoNadaCambia) {
    d->control.setEsEditable(false);
    escribe("z");
    pulsa(Qt::Key_Return);
    QTest::mouseDClick(d->reja->viewport(), Qt::LeftButton, {},
                       d->reja->visualRect(d->reja->model()->index(1, 1)).center());
    int tecla = 'q';
    d->control.EditaCelda(tecla);
    d->control.Modificar();
    d->control.AgregarRenglon();
    d->control.BorrarReglon();
    EXPECT_FALSE(algunEditorVisible());
    EXPECT_EQ(celda(1, 1), u"A1"_s);
    EXPECT_EQ(d->reja->rowCount(), 4);
    EXPECT_EQ(pitidos, 0);
    EXPECT_TRUE(dialogos.cajas.isEmpty());

    SCOPED_TRACE("Borrarlo llamado directamente sí borra");
    d->control.Borrarlo(3);
    EXPECT_EQ(d->reja->rowCount(), 3);
}

TEST_F(PruebaReja, ArranqueDeLaEdicion) {
    {
        SCOPED_TRACE("Escape en la reja no hace nada ni pita");
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(pitidos, 0);
        EXPECT_FALSE(algunEditorVisible());
    }
    {
        SCOPED_TRACE("EditaCelda con Escape pita");
        int tecla = 27;
        d->control.EditaCelda(tecla);
        EXPECT_EQ(pitidos, 1);
    }
    {
        SCOPED_TRACE("una columna no declarada no se edita ni pita");
        ir(1, 9);
        escribe("x");
        pulsa(Qt::Key_Return);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(celda(1, 9), u"nota uno"_s);
        EXPECT_EQ(pitidos, 1);
    }
    {
        SCOPED_TRACE("un doble clic abre la celda");
        ir(2, 8);
        const QRect r = d->reja->visualRect(d->reja->model()->index(2, 8));
        QTest::mouseDClick(d->reja->viewport(), Qt::LeftButton, {}, r.center());
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u"bruno"_s);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("la columna principal guarda el valor absoluto");
        d->control.setColumnaPrincipal(-3);
        EXPECT_EQ(d->control.ColumnaPrincipal(), 3);
    }
    {
        SCOPED_TRACE("con la columna principal vacía no se edita otra columna del renglón");
        d->control.setColumnaPrincipal(1);
        ponCelda(2, 1, u""_s);
        ir(2, 6);
        escribe("5");
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(pitidos, 2);
        ponCelda(2, 1, u"B2"_s);
        escribe("5");
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u"5"_s);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("un renglón oculto pita");
        d->reja->hideRow(3);
        ir(3, 1);
        pulsa(Qt::Key_Return);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(pitidos, 3);
    }
}

TEST_F(PruebaReja, FiltroDeLaPrimeraTecla) {
    struct Caso {
        const char* nombre;
        int columna;
        char tecla;
        const char* abre; // nullptr: no editor opens
        bool pita;
    };
    const Caso casos[] = {
        {"el apóstrofo llega como comillas", 1, '\'', "\"", false},
        {"\"!\" pasa a mayúsculas", 1, 'b', "B", false},
        {"\"!\" rechaza la diagonal inversa sin pitar", 1, '\\', nullptr, false},
        {"\"¡\" pasa a minúsculas", 8, 'Q', "q", false},
        {"\"9\" rechaza una letra con pitido", 6, 'a', nullptr, true},
        {"\"9\" acepta el signo menos", 6, '-', "-", false},
        {"\"T\" acepta los dos puntos", 7, ':', ":", false},
        {"\"T\" rechaza el signo menos", 7, '-', nullptr, true},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        const int antes = pitidos;
        ir(2, caso.columna);
        QTest::keyClick(foco(), caso.tecla);
        EXPECT_EQ(pitidos - antes, caso.pita ? 1 : 0);
        if (!caso.abre) {
            EXPECT_FALSE(algunEditorVisible());
            continue;
        }
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), QString::fromUtf8(caso.abre));
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, EditorDeTexto) {
    {
        SCOPED_TRACE("Enter abre el texto de la celda seleccionado, encima de la celda");
        pulsa(Qt::Key_Return);
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->parentWidget(), d.get());
        EXPECT_EQ(txt()->text(), u"A1"_s);
        EXPECT_EQ(txt()->selectedText(), u"A1"_s);
        EXPECT_EQ(txt()->geometry(), rectCelda(1, 1));
        EXPECT_EQ(foco(), txt());
    }
    {
        SCOPED_TRACE("Escape devuelve el texto original sin llamar al dueño");
        escribe("zz");
        EXPECT_EQ(txt()->text(), u"ZZ"_s) << "the column's class filters keys inside the editor";
        pulsa(Qt::Key_Escape);
        EXPECT_FALSE(visible(txt()));
        EXPECT_EQ(celda(1, 1), u"A1"_s);
        EXPECT_TRUE(d->llamadas.isEmpty());
        EXPECT_EQ(foco(), d->reja);
    }
    {
        SCOPED_TRACE("Retroceso abre sin la última letra, con el cursor al final");
        pulsa(Qt::Key_Backspace);
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u"A"_s);
        EXPECT_EQ(txt()->cursorPosition(), 1);
        EXPECT_FALSE(txt()->hasSelectedText());
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("Retroceso en una celda vacía sólo pita");
        ir(3, 8);
        pulsa(Qt::Key_Backspace);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(pitidos, 1);
    }
    {
        SCOPED_TRACE("un dígito abre el editor con sólo ese dígito");
        ir(1, 1);
        escribe("7");
        ASSERT_TRUE(visible(txt()));
        EXPECT_EQ(txt()->text(), u"7"_s);
        EXPECT_EQ(txt()->cursorPosition(), 1);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("Arriba en el renglón 1 pita y deja el editor abierto");
        pulsa(Qt::Key_Return);
        pulsa(Qt::Key_Up);
        EXPECT_EQ(pitidos, 2);
        EXPECT_TRUE(visible(txt()));
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("Abajo en un renglón intermedio confirma y baja sin abrir otro editor");
        ir(2, 1);
        escribe("q");
        pulsa(Qt::Key_Down);
        EXPECT_EQ(celda(2, 1), u"Q"_s);
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(d->reja->currentRow(), 3);
        EXPECT_EQ(d->reja->currentColumn(), 1);
        EXPECT_EQ(veces(u"Despues(2,1)"_s), 1);
        EXPECT_EQ(foco(), d->reja);
    }
    {
        SCOPED_TRACE("Abajo en el último renglón pita");
        pulsa(Qt::Key_Return);
        pulsa(Qt::Key_Down);
        EXPECT_EQ(pitidos, 3);
        EXPECT_TRUE(visible(txt()));
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, ValidacionYEscritura) {
    {
        SCOPED_TRACE("un validador que rechaza deja el editor abierto y la celda igual");
        pulsa(Qt::Key_Return);
        escribe("mal");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(pitidos, 1);
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(celda(1, 1), u"A1"_s);
        EXPECT_EQ(veces(u"ValidaClave(MAL,1,1)"_s), 1);
        EXPECT_EQ(veces(u"Despues(1,1)"_s), 0);
    }
    {
        SCOPED_TRACE("el texto que el validador reescribe es el que se escribe");
        txt()->selectAll();
        escribe("abc");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(1, 1), u"ABC-001"_s);
        EXPECT_EQ(veces(u"Despues(1,1)"_s), 1);
        SCOPED_TRACE("y la edición pasa a la siguiente columna declarada");
        EXPECT_TRUE(visible(mke()));
        EXPECT_EQ(d->reja->currentColumn(), 2);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("el formato 0.00 escribe 5.00 y DespuesDeEditar corre una sola vez");
        ir(2, 6);
        escribe("5");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(2, 6), u"5.00"_s);
        ASSERT_TRUE(visible(txt())) << "the next column (7) opens in the same editor";
        EXPECT_EQ(d->reja->currentColumn(), 7);
        d->otro->setFocus(Qt::MouseFocusReason); // closes the column 7 edit by focus loss
        espera();
        EXPECT_EQ(veces(u"Despues(2,6)"_s), 1);
        EXPECT_EQ(celda(2, 6), u"5.00"_s);
    }
    {
        SCOPED_TRACE("un texto que el validador numérico rechaza");
        ir(2, 6);
        escribe("5");
        escribe("x"); // refused inside the editor by the class "9"
        EXPECT_EQ(txt()->text(), u"5"_s);
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("la longitud limita el editor de texto");
        ir(3, 1);
        escribe("abcdefghijk");
        EXPECT_EQ(txt()->text(), u"ABCDEFGH"_s);
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(celda(3, 1), u"C3"_s);
    }
}

TEST_F(PruebaReja, PerdidaDeFoco) {
    {
        SCOPED_TRACE("perder el foco valida y escribe, una sola vez");
        pulsa(Qt::Key_Return);
        escribe("nuevo");
        d->otro->setFocus(Qt::MouseFocusReason);
        espera();
        EXPECT_EQ(celda(1, 1), u"NUEVO"_s);
        EXPECT_FALSE(visible(txt()));
        EXPECT_EQ(veces(u"ValidaClave(NUEVO,1,1)"_s), 1);
        EXPECT_EQ(veces(u"Despues(1,1)"_s), 1);
        EXPECT_EQ(foco(), d->reja);
    }
    {
        SCOPED_TRACE("al perder el foco también se escribe el texto que reescribe el validador");
        ir(3, 1);
        escribe("abc");
        d->otro->setFocus(Qt::TabFocusReason);
        espera();
        EXPECT_EQ(celda(3, 1), u"ABC-001"_s);
    }
    {
        SCOPED_TRACE("si el validador rechaza, el editor recupera el foco");
        ir(2, 1);
        escribe("mal");
        d->otro->setFocus(Qt::MouseFocusReason);
        espera();
        EXPECT_EQ(pitidos, 1);
        EXPECT_TRUE(visible(txt()));
        EXPECT_EQ(foco(), txt());
        EXPECT_EQ(celda(2, 1), u"B2"_s);
        SCOPED_TRACE("y la reja no toma teclas mientras tanto");
        d->reja->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(d->reja, 'z');
        espera();
        EXPECT_EQ(foco(), txt());
        EXPECT_EQ(txt()->text(), u"MAL"_s);
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(celda(2, 1), u"B2"_s);
    }
    {
        SCOPED_TRACE("una pérdida de foco tardía no escribe en la celda de la edición nueva");
        ir(2, 2);
        escribe("1");
        escribe("5062024");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(2, 2), u"15/06/2024"_s);
        ASSERT_TRUE(visible(cmb())) << "column 3 opened after column 2";
        mke()->setText(u"99/99/9999"_s);
        QFocusEvent tardia(QEvent::FocusOut, Qt::MouseFocusReason);
        QCoreApplication::sendEvent(mke(), &tardia);
        QCoreApplication::sendEvent(cmb(), &tardia); // it still has the focus: stale
        espera();
        EXPECT_TRUE(visible(cmb()));
        EXPECT_EQ(foco(), cmb());
        EXPECT_EQ(celda(2, 2), u"15/06/2024"_s);
        EXPECT_EQ(celda(2, 3), u""_s);
        EXPECT_EQ(veces(u"Despues(2,2)"_s), 1);
        EXPECT_EQ(veces(u"Despues(2,3)"_s), 0);
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, EditorConMascara) {
    ir(2, 2);
    {
        SCOPED_TRACE("una letra pita y no abre");
        escribe("x");
        EXPECT_FALSE(algunEditorVisible());
        EXPECT_EQ(pitidos, 1);
    }
    {
        SCOPED_TRACE("un dígito abre con ese dígito y el cursor después");
        escribe("3");
        ASSERT_TRUE(visible(mke()));
        EXPECT_EQ(mke()->geometry(), rectCelda(2, 2));
        EXPECT_TRUE(mke()->displayText().startsWith(u'3'));
        EXPECT_EQ(mke()->cursorPosition(), 1);
    }
    {
        SCOPED_TRACE("una fecha imposible se rechaza aunque el validador la acepte");
        escribe("3992024");
        EXPECT_EQ(mke()->displayText(), u"33/99/2024"_s);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(pitidos, 2);
        EXPECT_TRUE(visible(mke()));
        EXPECT_EQ(veces(u"ValidaFecha(33/99/2024,2,2)"_s), 1);
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(celda(2, 2), u""_s);
    }
    {
        SCOPED_TRACE("una fecha incompleta se lee con blancos y se rechaza");
        escribe("3");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(veces(u"ValidaFecha(3 /  /    ,2,2)"_s), 1);
        EXPECT_TRUE(visible(mke()));
        pulsa(Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("una fecha válida se escribe con sus separadores");
        escribe("31122024");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(2, 2), u"31/12/2024"_s);
        EXPECT_EQ(veces(u"Despues(2,2)"_s), 1);
        pulsa(Qt::Key_Escape); // the combo of column 3 opened next
    }
    {
        SCOPED_TRACE("Enter abre todo seleccionado; Retroceso quita el último carácter");
        ir(2, 2);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(mke()->selectedText(), u"31/12/2024"_s);
        pulsa(Qt::Key_Escape);
        pulsa(Qt::Key_Backspace);
        EXPECT_EQ(mke()->displayText(), u"31/12/202 "_s);
        EXPECT_EQ(mke()->cursorPosition(), 8);
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, Combos) {
    {
        SCOPED_TRACE("Enter en una celda vacía muestra el primer elemento de la lista");
        ir(3, 3);
        pulsa(Qt::Key_Return);
        ASSERT_TRUE(visible(cmb()));
        EXPECT_EQ(veces(u"LlenaUnidades(3,3)"_s), 1);
        EXPECT_EQ(cmb()->count(), 2);
        EXPECT_EQ(cmb()->currentText(), u"PZA"_s);
        EXPECT_EQ(cmb()->x(), rectCelda(3, 3).x());
        EXPECT_EQ(cmb()->y(), rectCelda(3, 3).y());
        EXPECT_EQ(cmb()->width(), rectCelda(3, 3).width());
        SCOPED_TRACE("la lista desplegada no cierra la edición");
        cmb()->showPopup();
        espera();
        EXPECT_TRUE(visible(cmb()));
        QTest::keyClick(cmb()->view(), Qt::Key_Down);
        QTest::keyClick(cmb()->view(), Qt::Key_Return);
        espera();
        EXPECT_TRUE(visible(cmb()));
        EXPECT_EQ(cmb()->currentText(), u"KG"_s);
        EXPECT_EQ(celda(3, 3), u""_s);
        SCOPED_TRACE("elegir otro elemento y confirmar");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(3, 3), u"KG"_s);
        SCOPED_TRACE("la siguiente celda vacía vuelve a mostrar el primer elemento");
        d->reja->setFocus();
        ir(2, 3);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(cmb()->currentText(), u"PZA"_s);
        pulsa(Qt::Key_Escape);
        EXPECT_EQ(celda(2, 3), u""_s);
    }
    {
        SCOPED_TRACE("Enter en una celda con abc la muestra toda seleccionada");
        ponCelda(1, 3, u"abc"_s);
        ir(1, 3);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(cmb()->currentText(), u"abc"_s);
        EXPECT_EQ(cmb()->lineEdit()->selectedText(), u"abc"_s);
    }
    {
        SCOPED_TRACE("Mayús+F1 en el combo pone el valor del dueño y sigue abierto");
        pulsa(Qt::Key_F1, Qt::ShiftModifier);
        EXPECT_EQ(cmb()->currentText(), u"CAJA"_s);
        EXPECT_TRUE(visible(cmb()));
        EXPECT_EQ(celda(1, 3), u"abc"_s);
        d->control.setCambioAutomatico(false);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(1, 3), u"CAJA"_s);
        EXPECT_EQ(veces(u"Despues(1,3)"_s), 1);
        EXPECT_FALSE(visible(cmb()));
    }
    {
        SCOPED_TRACE("una tecla abre el combo con ese carácter y el cursor al final");
        ir(2, 3);
        escribe("k");
        espera(); // the queued Right arrow
        EXPECT_EQ(cmb()->currentText(), u"k"_s);
        EXPECT_EQ(cmb()->lineEdit()->cursorPosition(), 1);
        EXPECT_FALSE(cmb()->lineEdit()->hasSelectedText());
        escribe("g");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(2, 3), u"kg"_s);
        EXPECT_EQ(cmb()->count(), 2) << "typing never adds to the owner's list";
    }
    {
        SCOPED_TRACE("el combo de datos no elige elemento en una celda vacía");
        ir(2, 5);
        pulsa(Qt::Key_Return);
        ASSERT_TRUE(visible(dcm()));
        EXPECT_EQ(veces(u"LlenaMarcas(2,5)"_s), 1);
        EXPECT_EQ(dcm()->count(), 2);
        EXPECT_EQ(dcm()->currentText(), u""_s);
        SCOPED_TRACE("Abajo abre la lista sin poner un elemento sobre lo escrito");
        escribe("Ze");
        pulsa(Qt::Key_Down);
        espera();
        EXPECT_TRUE(dcm()->view()->isVisible());
        EXPECT_EQ(dcm()->currentText(), u"Ze"_s);
        QTest::keyClick(dcm()->view(), Qt::Key_Escape);
        espera();
        EXPECT_FALSE(dcm()->view()->isVisible());
        EXPECT_TRUE(visible(dcm()));
        EXPECT_EQ(dcm()->currentText(), u"Ze"_s);
        SCOPED_TRACE("Escape cancela el combo de datos y devuelve el texto de la celda");
        escribe("ta");
        pulsa(Qt::Key_Escape);
        EXPECT_FALSE(visible(dcm()));
        EXPECT_EQ(celda(2, 5), u""_s);
        EXPECT_EQ(veces(u"Despues(2,5)"_s), 0);
        pulsa(Qt::Key_Return);
        ASSERT_TRUE(visible(dcm()));
        escribe("Zeta");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(2, 5), u"Zeta"_s);
        EXPECT_EQ(veces(u"Despues(2,5)"_s), 1);
    }
    {
        SCOPED_TRACE("el combo de datos abre con el texto de la celda");
        ir(1, 5);
        pulsa(Qt::Key_Return);
        EXPECT_EQ(dcm()->currentText(), u"Acme"_s);
        EXPECT_EQ(dcm()->lineEdit()->selectedText(), u"Acme"_s);
    }
}

TEST_F(PruebaReja, Casillas) {
    d->control.setCambioAutomatico(false);
    ir(1, 4);
    {
        SCOPED_TRACE("Espacio en una casilla vacía de plantilla 1 la marca");
        pulsa(Qt::Key_Space);
        EXPECT_EQ(celda(1, 4), u"☑"_s);
        EXPECT_TRUE(d->control.CeldaMarcada());
        EXPECT_EQ(veces(u"Despues(1,4)"_s), 1);
        EXPECT_FALSE(algunEditorVisible());
        SCOPED_TRACE("con el tamaño de letra de la reja");
        EXPECT_DOUBLE_EQ(d->reja->item(1, 4)->font().pointSizeF(),
                         QFontInfo(d->reja->font()).pointSizeF());
    }
    {
        SCOPED_TRACE("un segundo Espacio la desmarca");
        pulsa(Qt::Key_Space);
        EXPECT_EQ(celda(1, 4), u"☐"_s);
        EXPECT_FALSE(d->control.CeldaMarcada());
        EXPECT_EQ(veces(u"Despues(1,4)"_s), 2);
    }
    {
        SCOPED_TRACE("Enter también alterna; otra tecla no");
        pulsa(Qt::Key_Return);
        EXPECT_EQ(celda(1, 4), u"☑"_s);
        escribe("x");
        EXPECT_EQ(celda(1, 4), u"☑"_s);
        EXPECT_EQ(veces(u"Despues(1,4)"_s), 3);
    }
    {
        SCOPED_TRACE("escribir CeldaMarcada en otra fuente pone la fuente de la reja");
        ponCelda(2, 9, u"x"_s);
        QFont otra(u"Courier"_s);
        d->reja->item(2, 9)->setFont(otra);
        d->reja->setCurrentCell(2, 9);
        d->control.setCeldaMarcada(true);
        EXPECT_EQ(celda(2, 9), u"☑"_s);
        EXPECT_EQ(d->reja->item(2, 9)->font().family(), d->reja->font().family());
    }
    {
        SCOPED_TRACE("con cambio automático, la casilla pasa a la columna siguiente");
        d->control.setCambioAutomatico(true);
        ir(3, 4);
        pulsa(Qt::Key_Space);
        EXPECT_EQ(celda(3, 4), u"☑"_s);
        EXPECT_TRUE(visible(dcm()));
        EXPECT_EQ(d->reja->currentColumn(), 5);
        pulsa(Qt::Key_Escape);
    }
}

TEST_F(PruebaReja, ErrorAlCerrarLaEdicion) {
    CapturaBitacora bitacora;
    d->lanzarEnDespues = true;
    escribe("z");
    pulsa(Qt::Key_Return);
    EXPECT_EQ(celda(1, 1), u"Z"_s);
    EXPECT_FALSE(algunEditorVisible()) << "no editor is left standing";
    EXPECT_EQ(foco(), d->reja);
    EXPECT_EQ(d->reja->currentColumn(), 1) << "no move after a failed close";
    EXPECT_EQ(veces(u"Despues(1,1)"_s), 1);
    EXPECT_TRUE(bitacora.contiene(u"falla del dueño"_s));

    SCOPED_TRACE("la reja sigue funcionando");
    d->lanzarEnDespues = false;
    escribe("y");
    pulsa(Qt::Key_Return);
    EXPECT_EQ(celda(1, 1), u"Y"_s);
}

TEST(EdicionGridDueno, UnNombreDesconocidoSeRegistraSinCaerse) {
    CapturaBitacora bitacora;
    QWidget ventana;
    auto* reja = new QTableWidget(3, 3, &ventana);
    reja->resize(300, 100);
    QObject dueno;
    EdicionGrid control;
    control.setFrmVentana(&ventana);
    control.setObjetoDeMetodos(&dueno);
    control.setFlexGrid(reja);
    control.setCambioAutomatico(false);
    control.AgregaColumna(1, TipoEditor::Texto, u"X"_s, 0, {}, {}, u"NoExiste"_s);
    control.AgregaColumna(2, TipoEditor::Texto, u"X"_s, 0, {}, {}, {}, {}, {}, 0,
                          u"TampocoExiste"_s);
    ventana.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ventana));
    auto* linea = ventana.findChild<QLineEdit*>(u"txtCelda"_s);
    {
        SCOPED_TRACE("un validador que no existe rechaza el texto");
        reja->setCurrentCell(1, 1);
        int tecla = 'a';
        control.EditaCelda(tecla);
        linea = ventana.findChild<QLineEdit*>(u"txtCelda"_s);
        ASSERT_NE(linea, nullptr);
        QTest::keyClick(linea, Qt::Key_Return);
        EXPECT_TRUE(linea->isVisible());
        EXPECT_EQ(reja->item(1, 1), nullptr);
        EXPECT_TRUE(bitacora.contiene(u"NoExiste(QString&,int,int)"_s));
        QTest::keyClick(linea, Qt::Key_Escape);
    }
    {
        SCOPED_TRACE("un DespuesDeEditar que no existe no impide escribir");
        reja->setCurrentCell(1, 2);
        int tecla = 'b';
        control.EditaCelda(tecla);
        QTest::keyClick(linea, Qt::Key_Return);
        ASSERT_NE(reja->item(1, 2), nullptr);
        EXPECT_EQ(reja->item(1, 2)->text(), u"b"_s);
        EXPECT_TRUE(bitacora.contiene(u"TampocoExiste(int,int)"_s));
    }
    {
        SCOPED_TRACE("un nombre con otra firma dice cuál tiene");
        DuenoDemo demo;
        control.setObjetoDeMetodos(&demo);
        control.setPorEspacio(u"BuscaClave"_s);
        reja->setFocus();
        QTest::keyClick(reja, Qt::Key_Space);
        EXPECT_TRUE(bitacora.contiene(u"tiene: QString BuscaClave()"_s));
    }
}

TEST(EdicionGridDueno, LosFactoresCuentanSoloFueraDeLaVentana) {
    // A grid that does not lie inside frmVentana: its container's place in the window cannot be
    // measured, so the two offsets (twips) stand for it.
    QWidget ventana;
    QWidget otra;
    auto* reja = new QTableWidget(3, 3, &otra);
    reja->setGeometry(10, 20, 300, 100);
    EdicionGrid control;
    control.setFrmVentana(&ventana);
    control.setFlexGrid(reja);
    control.setFactorHorizontal(1440);
    control.setFactorVertical(720);
    control.AgregaColumna(1, TipoEditor::Texto, u"X"_s);
    ventana.show();
    otra.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&otra));
    reja->setCurrentCell(1, 1);
    int tecla = 'a';
    control.EditaCelda(tecla);
    auto* linea = ventana.findChild<QLineEdit*>(u"txtCelda"_s);
    ASSERT_NE(linea, nullptr);
    const QRect celda = reja->visualRect(reja->model()->index(1, 1));
    const QPoint esperado = reja->pos() + reja->viewport()->mapTo(reja, celda.topLeft()) +
                            QPoint(ventana.logicalDpiX(), qRound(ventana.logicalDpiY() / 2.0));
    EXPECT_EQ(linea->pos(), esperado);
    EXPECT_EQ(linea->size(), celda.size());
}
