// The mapping page against a real shop: the lists of its tables and columns (directly and through
// the SSH tunnel), a save that names what the shop lacks, the keys of the grid, and a shop that
// does not answer.
#include "app/campos_page.h"
#include "app/configuracion_page.h"
#include "app/frminicial_window.h"
#include "app/principal_page.h"
#include "config/certificado_ftp.h"
#include "services/decontroles_gui.h"
#include "sync/comprobacion.h"
#include "sync/escenario.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
struct Relacion : ::testing::Test {
    Escenario e;
    std::unique_ptr<frmInicial> v;
    CamposPage* pagina = nullptr;
    QTableWidget* reja = nullptr;

    void SetUp() override {
        registrarClasesGui();
        e.mapeoBasico();
        e.productos(2);
    }
    // The window shown and active, on the mapping page; `esperar`: until its lists were read.
    void abrir(bool esperar = true) {
        v = std::make_unique<frmInicial>(e.ajustes.RutaIni);
        ASSERT_TRUE(v->Form_Load());
        v->show();
        v->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
        pagina = v->relacion;
        reja = pagina->mhgReja;
        QSignalSpy leidas(pagina, &CamposPage::listasTerminadas);
        QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
        v->stbTabs->setCurrentIndex(2);
        if (esperar && pagina->leyendo()) {
            ASSERT_TRUE(leidas.wait(30000));
        }
    }
    // The row of a point-of-sale column.
    int fila(const QString& deVM) const {
        for (int r = 1; r < reja->rowCount(); ++r)
            if (reja->item(r, 1) && reja->item(r, 1)->text() == deVM)
                return r;
        ADD_FAILURE() << "no row for " << deVM.toStdString();
        return 1;
    }
    void ir(int renglon, int columna) {
        reja->setCurrentCell(renglon, columna);
        reja->setFocus(Qt::OtherFocusReason);
    }
    static QWidget* foco() { return QApplication::focusWidget(); }
    static void pulsa(Qt::Key tecla, Qt::KeyboardModifiers modificadores = Qt::NoModifier) {
        QTest::keyClick(foco(), tecla, modificadores);
        QApplication::processEvents();
    }
    // As typed: the keystroke a list editor queues for itself arrives before the next key.
    static void escribe(const QString& texto) {
        for (QChar c : texto) {
            QTest::keyClick(foco(), char(c.unicode()));
            QApplication::processEvents();
        }
    }
    QComboBox* lista() const { return v->findChild<QComboBox*>(u"dcmCelda"_s); }
    bool abierta() const { return lista() && lista()->isVisible(); }
    // The names the cell's list offers, as Enter opens it (closed again with Tab).
    QStringList ofrece(int renglon, int columna) {
        ir(renglon, columna);
        pulsa(Qt::Key_Return);
        QStringList nombres;
        if (!abierta()) {
            ADD_FAILURE() << "no list opened on " << renglon << "," << columna;
            return nombres;
        }
        for (int i = 0; i < lista()->count(); ++i)
            nombres.append(lista()->itemText(i));
        pulsa(Qt::Key_Tab);
        return nombres;
    }
    QString celda(int renglon, int columna) const {
        const QTableWidgetItem* item = reja->item(renglon, columna);
        return item ? item->text() : QString();
    }
    QString grabado(const QString& clave) const {
        return e.c.qvtx->LeeIni(SeccionCampos, clave, e.ajustes.RutaIni);
    }
};
} // namespace

// Each cell lists what fits it in the shop's real schema: tables for "Tabla externa", the columns
// of the row's external table (or of the product table) for the others.
TEST_F(Relacion, LasListasVienenDeLaTienda) {
    abrir();
    ASSERT_NE(pagina->listas(), nullptr) << qPrintable(pagina->lblListas->text());
    EXPECT_TRUE(pagina->lblListas->text().contains(u"«"_s + e.tienda.nombre() + u"»"_s))
        << qPrintable(pagina->lblListas->text());
    const int clave = fila(u"Clave"_s);
    const int descrip = fila(u"Descrip"_s);

    const QStringList tablas = ofrece(clave, 3);
    EXPECT_TRUE(tablas.contains(u"oc_product"_s)) << qPrintable(tablas.join(u' '));
    EXPECT_TRUE(tablas.contains(u"oc_product_description"_s));
    EXPECT_EQ(celda(clave, 3), QString()) << "an empty cell stays empty: no name is picked";

    const QStringList producto = ofrece(clave, 2);
    EXPECT_TRUE(producto.contains(u"model"_s)) << qPrintable(producto.join(u' '));
    EXPECT_TRUE(producto.contains(u"price"_s));
    EXPECT_FALSE(producto.contains(u"language_id"_s)) << "not a column of oc_product";
    EXPECT_EQ(celda(clave, 2), u"model"_s) << "opening the list keeps the text";

    const QStringList externa = ofrece(descrip, 2);
    EXPECT_TRUE(externa.contains(u"name"_s)) << qPrintable(externa.join(u' '));
    EXPECT_TRUE(externa.contains(u"language_id"_s));
    EXPECT_FALSE(externa.contains(u"model"_s)) << "the row names oc_product_description";
    EXPECT_TRUE(ofrece(descrip, 4).contains(u"product_id"_s)) << "the product table's key";
    EXPECT_TRUE(ofrece(descrip, 5).contains(u"language_id"_s)) << "the external table's columns";

    // The key syntax is explained where it is typed.
    ir(descrip, 5);
    EXPECT_TRUE(pagina->lblAyuda->text().contains(u"product_id,language_id=1"_s))
        << qPrintable(pagina->lblAyuda->text());
    ir(descrip, 3);
    EXPECT_TRUE(pagina->lblAyuda->text().contains(u"Tabla externa"_s));
}

// Tab leaves a confirmed cell for the next one, so the next word lands there; Delete empties a
// cell and keeps the row; Ctrl+Tab leaves the grid; the page's own "Grabar" refuses names the
// shop lacks, naming them, and saves once they are right.
TEST_F(Relacion, TecladoYGrabarDesdeLaPagina) {
    abrir();
    ASSERT_NE(pagina->listas(), nullptr) << qPrintable(pagina->lblListas->text());
    const int precio = fila(u"Precio"_s);
    const int filas = reja->rowCount();
    {
        SCOPED_TRACE("Tab confirma y pasa a la celda siguiente sin abrirla");
        ir(precio, 2);
        escribe(u"precio_web"_s);
        ASSERT_TRUE(abierta());
        pulsa(Qt::Key_Tab);
        EXPECT_EQ(celda(precio, 2), u"precio_web"_s);
        EXPECT_EQ(reja->currentRow(), precio);
        EXPECT_EQ(reja->currentColumn(), 3);
        EXPECT_FALSE(abierta());
        EXPECT_EQ(foco(), reja);
        escribe(u"oc_x"_s);
        pulsa(Qt::Key_Tab);
        EXPECT_EQ(celda(precio, 3), u"oc_x"_s);
        EXPECT_EQ(celda(precio, 2), u"precio_web"_s) << "the word went to the next cell";
        EXPECT_EQ(reja->currentColumn(), 4);
        pulsa(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(reja->currentColumn(), 3);
    }
    {
        SCOPED_TRACE("Escape abandona la edición y la celda conserva su texto");
        const int clave = fila(u"Clave"_s);
        ir(clave, 2);
        escribe(u"zz"_s);
        ASSERT_TRUE(abierta());
        pulsa(Qt::Key_Escape);
        EXPECT_FALSE(abierta());
        EXPECT_EQ(celda(clave, 2), u"model"_s);
        ir(precio, 3);
    }
    {
        SCOPED_TRACE("Supr vacía la celda y el renglón queda");
        e.dialogos.cajas.clear();
        pulsa(Qt::Key_Delete);
        EXPECT_EQ(celda(precio, 3), QString());
        EXPECT_EQ(celda(precio, 2), u"precio_web"_s);
        EXPECT_EQ(celda(precio, 1), u"Precio"_s);
        EXPECT_EQ(reja->rowCount(), filas);
        EXPECT_TRUE(e.dialogos.cajas.isEmpty());
    }
    {
        SCOPED_TRACE("Ctrl+Tab sale de la reja");
        pulsa(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(foco(), pagina->cmdGrabar);
        EXPECT_EQ(v->stbTabs->currentIndex(), 2) << "the page stays";
        pulsa(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(foco(), reja);
    }
    {
        SCOPED_TRACE("Grabar nombra la columna que la tienda no tiene y no graba");
        e.dialogos.cajas.clear();
        QTest::mouseClick(pagina->cmdGrabar, Qt::LeftButton);
        ASSERT_EQ(e.dialogos.cajas.size(), 1);
        const QString texto = e.dialogos.cajas[0].texto;
        EXPECT_TRUE(texto.contains(u"«oc_product»"_s)) << qPrintable(texto);
        EXPECT_TRUE(texto.contains(u"«precio_web»"_s)) << qPrintable(texto);
        EXPECT_FALSE(texto.contains(u"«model»"_s)) << "only what is missing";
        EXPECT_EQ(grabado(u"Precio.CampoWEB"_s), u"price"_s) << "nothing saved";
        EXPECT_EQ(v->stbTabs->currentIndex(), 2);
        EXPECT_EQ(celda(precio, 2), u"precio_web"_s) << "the grid keeps what was typed";
    }
    {
        SCOPED_TRACE("con los nombres corregidos graba");
        ir(precio, 2);
        pulsa(Qt::Key_Return);
        ASSERT_TRUE(abierta());
        const int sku = lista()->findText(u"sku"_s);
        ASSERT_GE(sku, 0);
        lista()->setCurrentIndex(sku);
        pulsa(Qt::Key_Tab);
        EXPECT_EQ(celda(precio, 2), u"sku"_s);
        e.dialogos.cajas.clear();
        // Alt+G, as the platform delivers it: the page's own button, not the hidden page's.
        QTest::keyClick(v->windowHandle(), Qt::Key_G, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return v->stbTabs->currentIndex() == 0; }, 2000));
        EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << qPrintable(e.dialogos.cajas.value(0).texto);
        EXPECT_EQ(grabado(u"Precio.CampoWEB"_s), u"sku"_s);
        EXPECT_EQ(grabado(u"Precio.TablaExterna"_s), QString()) << "the cleared cell";
    }
}

// "Campo de Velmora" stays at the left edge while the web columns scroll sideways, and a name too
// long for it still shows whole as a tool tip.
TEST_F(Relacion, ElCampoDeVelmoraQuedaALaVista) {
    abrir(false);
    v->resize(480, v->height());
    QApplication::processEvents();
    QScrollBar* lado = reja->horizontalScrollBar();
    ASSERT_GT(lado->maximum(), 0);
    lado->setValue(lado->maximum());
    QApplication::processEvents();
    auto* fija = reja->findChild<QTableView*>(u"vistaFija"_s);
    ASSERT_NE(fija, nullptr);
    const int descrip = fila(u"Descrip"_s);
    const QRect rect = fija->visualRect(fija->model()->index(descrip, 1));
    const QPoint centro = fija->viewport()->mapTo(reja, rect.center());
    EXPECT_TRUE(fija->isAncestorOf(reja->childAt(centro)));
    EXPECT_EQ(fija->indexAt(rect.center()).data().toString(), u"Descrip"_s);

    reja->setColumnWidth(1, 20);
    QApplication::processEvents();
    const QRect estrecha = fija->visualRect(fija->model()->index(descrip, 1));
    QHelpEvent ayuda(QEvent::ToolTip, estrecha.center(),
                     fija->viewport()->mapToGlobal(estrecha.center()));
    QApplication::sendEvent(fija->viewport(), &ayuda);
    QApplication::processEvents();
    EXPECT_EQ(QToolTip::text(), u"Descrip"_s);
}

// The lists come through the SSH tunnel when the settings name one.
TEST_F(Relacion, ListasPorElTunelSsh) {
    const QString dir = entorno::valor("VENDARO_SSH_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "no SSH server in this test run";
    // Made absolute before the window opens: it makes the settings' folder the current one, and
    // on Windows a path without a drive letter would then name that folder's drive.
    const QString carpeta = QFileInfo(dir).absoluteFilePath();
    QFile::remove(ArchivoServidoresConocidos());
    e.ajustar(u"Túnel SSH"_s, u"127.0.0.1:"_s + entorno::valor("VENDARO_SSH_PORT"));
    e.ajustar(u"Usuario SSH"_s, entorno::valor("VENDARO_SSH_USER"));
    e.ajustar(u"Llave SSH"_s, carpeta + u"/id_ed25519"_s);
    e.ajustar(u"Dirección IP"_s, u"127.0.0.1"_s);
    abrir();
    ASSERT_NE(pagina->listas(), nullptr) << qPrintable(pagina->lblListas->text());
    EXPECT_TRUE(ofrece(fila(u"Descrip"_s), 3).contains(u"oc_product_description"_s));
}

// A shop that refuses the connection: the lists are off with the reason, names are typed by hand
// and saved unchecked. One that never answers: the page says it is reading and edits go on.
TEST_F(Relacion, SinTiendaSeEscribeAMano) {
    const int cerrado = OyenteMudo().puerto(); // nobody listens there any more
    e.ajustar(u"Puerto"_s, QString::number(cerrado));
    abrir();
    EXPECT_EQ(pagina->listas(), nullptr);
    const QString estado = pagina->lblListas->text();
    EXPECT_TRUE(estado.contains(u"Sin listas"_s)) << qPrintable(estado);
    EXPECT_TRUE(estado.contains(QString::number(cerrado))) << "the reason names the port";
    const int precio = fila(u"Precio"_s);
    ir(precio, 2);
    pulsa(Qt::Key_Return);
    ASSERT_TRUE(abierta());
    EXPECT_EQ(lista()->count(), 0);
    lista()->lineEdit()->selectAll();
    escribe(u"precio_web"_s);
    pulsa(Qt::Key_Tab);
    EXPECT_EQ(celda(precio, 2), u"precio_web"_s);
    e.dialogos.cajas.clear();
    QTest::mouseClick(pagina->cmdGrabar, Qt::LeftButton);
    EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << qPrintable(e.dialogos.cajas.value(0).texto);
    EXPECT_EQ(grabado(u"Precio.CampoWEB"_s), u"precio_web"_s);

    // Another server, typed on the configuration page (not saved), that never answers.
    auto mudo = std::make_unique<OyenteMudo>();
    ASSERT_TRUE(mudo->listo());
    v->configuracion->txtDato(7)->setText(QString::number(mudo->puerto()));
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    v->stbTabs->setCurrentIndex(2);
    EXPECT_TRUE(pagina->leyendo());
    EXPECT_TRUE(pagina->lblListas->text().startsWith(u"Leyendo"_s))
        << qPrintable(pagina->lblListas->text());
    EXPECT_FALSE(pagina->cmdLeerListas->isEnabled());
    ir(precio, 3);
    escribe(u"oc_y"_s);
    pulsa(Qt::Key_Tab);
    EXPECT_EQ(celda(precio, 3), u"oc_y"_s) << "typing goes on while the shop is read";

    // The server goes away: the read ends, and says so.
    QSignalSpy fin(pagina, &CamposPage::listasTerminadas);
    mudo.reset();
    ASSERT_TRUE(fin.wait(30000));
    EXPECT_EQ(pagina->listas(), nullptr);
    EXPECT_TRUE(pagina->lblListas->text().startsWith(u"Sin listas"_s))
        << qPrintable(pagina->lblListas->text());
    EXPECT_TRUE(pagina->cmdLeerListas->isEnabled());
}
