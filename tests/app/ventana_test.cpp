#include "app/campos_page.h"
#include "app/clsinicio_tray.h"
#include "app/configuracion_page.h"
#include "app/envio_segundo_plano.h"
#include "app/frmbitacora_window.h"
#include "app/frmdescripcion_window.h"
#include "app/frminicial_window.h"
#include "app/frmvistaprevia_window.h"
#include "app/historial_envios.h"
#include "app/principal_page.h"
#include "app/programador.h"
#include "services/decontroles_gui.h"
#include "services/dialogos_gui.h"
#include "services/plataforma.h"
#include "sync/comprobacion.h"
#include "sync/escenario.h"
#include "sync/manifiesto_imagenes.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// Time that moves only when the test says so.
class RelojDePrueba final : public Reloj {
public:
    void iniciar() override { m_activo = true; }
    void detener() override { m_activo = false; }
    bool activo() const override { return m_activo; }
    void avanzar(int segundos) {
        for (int i = 0; i < segundos && m_activo; ++i)
            Q_EMIT tic();
    }

private:
    bool m_activo = false;
};

struct Ventana : ::testing::Test {
    Escenario e;
    RelojDePrueba* reloj = new RelojDePrueba;
    std::unique_ptr<frmInicial> v;

    void SetUp() override {
        registrarClasesGui();
        e.mapeoBasico();
        e.productos(3);
    }
    void cargar() {
        v = std::make_unique<frmInicial>(e.ajustes.RutaIni, reloj);
        ASSERT_TRUE(v->Form_Load());
        vigilarEnvio();
    }
    // Waits for the next run's end; the spy exists before the run starts, since a short run may
    // end while the click that started it is still being delivered.
    std::unique_ptr<QSignalSpy> espia;
    void vigilarEnvio() {
        espia = std::make_unique<QSignalSpy>(v.get(), &frmInicial::envioTerminado);
    }
    ResumenEnvio esperarEnvio() {
        if (espia->isEmpty()) {
            EXPECT_TRUE(espia->wait(20000));
        }
        const ResumenEnvio r =
            espia->isEmpty() ? ResumenEnvio{} : espia->first().first().value<ResumenEnvio>();
        vigilarEnvio();
        return r;
    }
    QLabel* lblInfo() { return v->principal->lblInfo; }
    // A button's caption as read, without its mnemonic marker.
    static QString leyenda(const QAbstractButton* boton) {
        return QString(boton->text()).remove(u'&');
    }
};
} // namespace

TEST_F(Ventana, ArranqueEnOrden) {
    e.ajustar(u"Intervalo en minutos para enviar existencias"_s, u"5"_s);
    cargar();
    EXPECT_EQ(v->windowTitle(),
              u"Actualización de productos en línea   v "_s + QStringLiteral(VENDARO_VERSION));
    EXPECT_EQ(v->stbTabs->currentIndex(), 0);
    EXPECT_EQ(v->relacion->mhgReja->rowCount(), 2) << "the grid waits for its page";
    EXPECT_EQ(v->campos().size(), 3) << "while the mapping is loaded";
    EXPECT_EQ(v->configuracion->txtDato(0)->text(), e.pos.nombre());
    EXPECT_EQ(v->configuracion->txtDato(1)->text(), u"5"_s);
    EXPECT_EQ(v->configuracion->txtDato(6)->text(), u"oc_product"_s);
    EXPECT_TRUE(v->programador()->encendido());
    // Defaults of keys the test did not write were stored.
    EXPECT_FALSE(e.c.qvtx->LeeIni(SeccionConfiguracion, u"Dirección del FTP"_s, e.ajustes.RutaIni)
                     .isEmpty());
    // The offscreen desktop has no notification area: the window shows itself rather than hide.
    EXPECT_TRUE(v->isVisible());
    EXPECT_FALSE(v->principal->chkImagenes->isVisible())
        << "no picture folder in the point of sale";
}

TEST_F(Ventana, CuentaRegresiva) {
    e.ajustar(u"Intervalo en minutos para enviar existencias"_s, u"5"_s);
    cargar();
    reloj->avanzar(1);
    EXPECT_EQ(lblInfo()->text(), u"0 hors. 4 min. 59 segs."_s);
    reloj->avanzar(61);
    EXPECT_EQ(lblInfo()->text(), u"0 hors. 3 min. 58 segs."_s);
    EXPECT_EQ(v->programador()->MinutosTranscurridos(), 1);
    reloj->avanzar(237);
    EXPECT_EQ(lblInfo()->text(), u"0 hors. 0 min. 1 segs."_s);
    reloj->avanzar(1);
    // At the three-hundredth second the send starts and the timer is off meanwhile.
    EXPECT_EQ(lblInfo()->text(), QString());
    EXPECT_FALSE(v->programador()->encendido());
    EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Interrumpir"_s);
    const ResumenEnvio r = esperarEnvio();
    EXPECT_EQ(r.creados, 3);
    EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Enviar ahora"_s);
    EXPECT_TRUE(v->programador()->encendido());
    EXPECT_TRUE(v->principal->lblUltimoEnvio->text().contains(u"creados: 3"_s));
    EXPECT_FALSE(v->principal->Label3->isVisible());

    EXPECT_EQ(Programador::textoRestante(Programador::TiempoRestante(9999, 0, 1)),
              u"166 hors. 38 min. 59 segs."_s);
    EXPECT_EQ(Programador::textoRestante(Programador::TiempoRestante(2, 5, 0)),
              u"0 hors. 0 min. 0 segs."_s);
}

TEST_F(Ventana, EnviarAhoraDuranteLaCuentaEInterrupcion) {
    e.ajustar(u"Intervalo en minutos para enviar existencias"_s, u"10"_s);
    // Product by product, so the interruption lands between two products of this small catalogue.
    e.ajustar(u"Modo de envío"_s, u"por producto"_s);
    cargar();
    reloj->avanzar(125);
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    esperarEnvio();
    // Minutes already counted stay, seconds restart.
    EXPECT_EQ(v->programador()->MinutosTranscurridos(), 2);
    EXPECT_EQ(v->programador()->SegundosTranscurridos(), 0);
    reloj->avanzar(1);
    EXPECT_EQ(lblInfo()->text(), u"0 hors. 7 min. 59 segs."_s);

    // "Interrumpir" asks; No lets the run go on, Yes stops it before its next product.
    for (int i = 1; i <= 40; ++i)
        e.pos.ejecutar(
            u"INSERT INTO productos (Clave) VALUES ('Q%1');"_s.arg(i, 2, 10, QChar(u'0')));
    bool preguntado = false;
    QObject::connect(v->envio(), &EnvioEnSegundoPlano::producto, v.get(),
                     [&](const QString&, const QString&, qint64 n, qint64) {
                         if (n != 2 || preguntado)
                             return;
                         preguntado = true;
                         e.dialogos.respuestas = {Respuesta::No};
                         QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
                         EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Interrumpir"_s);
                         EXPECT_TRUE(v->principal->cmdLeerAhora->isEnabled());
                         e.dialogos.respuestas = {Respuesta::Si};
                         QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
                         // Answered at once, while the run is still writing this product.
                         EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Interrumpiendo…"_s);
                         EXPECT_FALSE(v->principal->cmdLeerAhora->isEnabled());
                         EXPECT_TRUE(v->envio()->activo());
                     });
    e.dialogos.cajas.clear();
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    const ResumenEnvio r = esperarEnvio();
    EXPECT_TRUE(preguntado);
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::Interrumpido);
    EXPECT_LT(r.creados + r.actualizados, 40);
    ASSERT_GE(e.dialogos.cajas.size(), 2);
    EXPECT_EQ(e.dialogos.cajas[0].texto, u"¿Desea interrumpir el envío de productos?"_s);
    EXPECT_EQ(e.dialogos.cajas[0].titulo, u"Interrumpir proceso"_s);
    EXPECT_EQ(e.dialogos.cajas[0].botones, 36 + 256);
    EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Enviar ahora"_s);
    EXPECT_TRUE(v->principal->cmdLeerAhora->isEnabled());
}

TEST_F(Ventana, IntervaloCeroYCancelar) {
    cargar();
    EXPECT_EQ(lblInfo()->text(), u"Sin definir"_s);
    EXPECT_FALSE(v->programador()->encendido());
    // Without an interval only the user starts a send: "Cancelar" leaves the timer off.
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    EXPECT_FALSE(v->programador()->encendido());
    EXPECT_EQ(v->stbTabs->currentIndex(), 1);
    EXPECT_TRUE(v->stbTabs->isTabVisible(2));
    EXPECT_FALSE(v->stbTabs->isTabVisible(0));
    QTest::mouseClick(v->configuracion->cmdCancelar, Qt::LeftButton);
    EXPECT_EQ(v->stbTabs->currentIndex(), 0);
    EXPECT_FALSE(v->programador()->encendido());
    // Even a tick that reaches the scheduler starts nothing.
    v->programador()->reloj()->iniciar();
    reloj->avanzar(130);
    EXPECT_FALSE(v->envio()->activo());
    EXPECT_TRUE(espia->isEmpty());
    v->programador()->apagar();

    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    esperarEnvio();
    EXPECT_FALSE(v->programador()->encendido());
    EXPECT_EQ(lblInfo()->text(), u"Sin definir"_s) << "the countdown still says why it is idle";
}

// With an interval, "Cancelar" during a send does not switch the timer on (it would send again the
// moment the run ends), and a run the user interrupted is followed by a whole interval.
TEST_F(Ventana, CancelarDuranteUnEnvioYLaEsperaTrasInterrumpir) {
    e.ajustar(u"Intervalo en minutos para enviar existencias"_s, u"1"_s);
    e.ajustar(u"Modo de envío"_s, u"por producto"_s);
    for (int i = 1; i <= 40; ++i)
        e.pos.ejecutar(
            u"INSERT INTO productos (Clave) VALUES ('Q%1');"_s.arg(i, 2, 10, QChar(u'0')));
    cargar();
    bool hecho = false;
    QObject::connect(v->envio(), &EnvioEnSegundoPlano::producto, v.get(),
                     [&](const QString&, const QString&, qint64 n, qint64) {
                         if (n != 2 || hecho)
                             return;
                         hecho = true;
                         QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
                         QTest::mouseClick(v->configuracion->cmdCancelar, Qt::LeftButton);
                         EXPECT_FALSE(v->programador()->encendido()) << "the send is running";
                         e.dialogos.respuestas = {Respuesta::Si};
                         QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
                     });
    reloj->avanzar(60);
    ASSERT_TRUE(v->envio()->activo());
    const ResumenEnvio r = esperarEnvio();
    ASSERT_TRUE(hecho);
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::Interrumpido);
    EXPECT_TRUE(v->programador()->encendido());
    reloj->avanzar(59);
    EXPECT_FALSE(v->envio()->activo()) << "the next send waits its whole interval";
    EXPECT_EQ(lblInfo()->text(), u"0 hors. 0 min. 1 segs."_s);
    reloj->avanzar(1);
    EXPECT_TRUE(v->envio()->activo());
    esperarEnvio();
}

// "¿Desea interrumpir…?" still open when the run ends: answering Yes leaves the button as the end
// put it, "Enviar ahora", and the next send can start.
TEST_F(Ventana, LaPreguntaContestadaDespuesDelFinNoDejaElBotonParado) {
    struct Tardia : Dialogos {
        std::function<void()> mientras;
        QList<Caja> cajas;
        int mostrar(const Caja& caja) override {
            cajas.append(caja);
            if (mientras)
                mientras();
            return Respuesta::Si;
        }
    } tardia;
    Dialogos::instalar(&tardia);
    e.ajustar(u"Modo de envío"_s, u"por producto"_s);
    cargar();
    bool preguntado = false;
    QSignalSpy fin(v.get(), &frmInicial::envioTerminado);
    tardia.mientras = [&] {
        // The box is open (its own event loop turns) while the run finishes.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !fin.isEmpty(); }, 20000));
    };
    QObject::connect(v->envio(), &EnvioEnSegundoPlano::producto, v.get(),
                     [&](const QString&, const QString&, qint64 n, qint64) {
                         if (n != 1 || preguntado)
                             return;
                         preguntado = true;
                         QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
                     });
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    const ResumenEnvio r = esperarEnvio();
    Dialogos::instalar(&e.dialogos);
    ASSERT_TRUE(preguntado);
    ASSERT_EQ(tardia.cajas.size(), 1);
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::Terminado);
    EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Enviar ahora"_s);
    EXPECT_TRUE(v->principal->cmdLeerAhora->isEnabled());
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    EXPECT_EQ(esperarEnvio().estado, ResumenEnvio::Estado::Terminado) << "not interrupted";
}

// A settings file edited by hand while the program runs is read again before the next send.
TEST_F(Ventana, ArchivoEditadoAManoSeLeeAntesDelEnvio) {
    e.mapear(u"Precio"_s, QString());
    cargar();
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    ASSERT_EQ(esperarEnvio().creados, 3);
    EXPECT_EQ(e.tienda.filas(u"SELECT price FROM oc_product WHERE model = 'P02'"_s),
              QStringList{u"0.0000"_s});
    // As an editor would: the mapping gains the price and the interval is set.
    e.mapear(u"Precio"_s, u"price"_s);
    e.ajustar(u"Intervalo en minutos para enviar existencias"_s, u"7"_s);
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    EXPECT_EQ(esperarEnvio().actualizados, 3);
    EXPECT_EQ(e.tienda.filas(u"SELECT price FROM oc_product WHERE model = 'P02'"_s),
              QStringList{u"2.5000"_s});
    EXPECT_EQ(v->configuracion->txtDato(1)->text(), u"7"_s);
    EXPECT_TRUE(v->programador()->encendido());
    EXPECT_EQ(v->programador()->intervaloMinutos(), 7);
}

TEST_F(Ventana, GrabarConfiguracionYRelacion) {
    cargar();
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    // An unvisited mapping page: the mapping is judged as loaded (sound: no message) and kept.
    auto* intervalo = v->configuracion->txtDato(1);
    intervalo->selectAll();
    QTest::keyClicks(intervalo, u"12a345"_s);
    EXPECT_EQ(intervalo->text(), u"1234"_s) << "digits only, four at most";
    auto* tabla = v->configuracion->txtDato(9);
    tabla->clear();
    v->configuracion->tabGrupos->setCurrentIndex(4);
    QTest::keyClicks(tabla, u"Imagenes\\X`"_s);
    EXPECT_EQ(tabla->text(), u"ImagenesX"_s) << "names keep their case; no backslash or quote";
    QTest::mouseClick(v->configuracion->cmdGrabar, Qt::LeftButton);
    EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << qPrintable(e.dialogos.cajas.value(0).texto);
    EXPECT_EQ(e.c.qvtx->LeeIni(SeccionConfiguracion,
                               u"Intervalo en minutos para enviar existencias"_s,
                               e.ajustes.RutaIni),
              u"1234"_s);
    EXPECT_EQ(e.c.utilerias->DesEncripta(e.c.qvtx->LeeIni(
                  SeccionConfiguracion, u"Tabla externa para imágenes"_s, e.ajustes.RutaIni)),
              u"ImagenesX"_s);
    EXPECT_EQ(e.c.qvtx->LeeIni(SeccionCampos, u"Precio.CampoWEB"_s, e.ajustes.RutaIni), u"price"_s);
    EXPECT_EQ(v->ajustes().IntervaloMinutos, 1234);
    EXPECT_EQ(v->stbTabs->currentIndex(), 0);

    // The mapping page fills on its first visit; an edit there is saved by "Grabar".
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    v->stbTabs->setCurrentIndex(2);
    QTableWidget* reja = v->relacion->mhgReja;
    ASSERT_EQ(reja->rowCount(), 14);
    EXPECT_EQ(reja->item(1, 1)->text(), u"Clave"_s);
    EXPECT_EQ(reja->item(1, 2)->text(), u"model"_s);
    EXPECT_EQ(reja->item(3, 0)->text(), u"3"_s);
    reja->setCurrentCell(3, 2); // Precio
    QTest::keyClick(reja, Qt::Key_Return);
    QApplication::processEvents();
    auto* editor = v->findChild<QComboBox*>(u"dcmCelda"_s);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->currentText(), u"price"_s);
    editor->lineEdit()->selectAll();
    QTest::keyClicks(editor, u" sku "_s);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(reja->item(3, 2)->text().trimmed(), u"sku"_s);
    e.dialogos.cajas.clear();
    QTest::mouseClick(v->configuracion->cmdGrabar, Qt::LeftButton);
    EXPECT_TRUE(e.dialogos.cajas.isEmpty());
    EXPECT_EQ(e.c.qvtx->LeeIni(SeccionCampos, u"Precio.CampoWEB"_s, e.ajustes.RutaIni), u"sku"_s);
    EXPECT_EQ(v->campos().value(2).DeWeb, u"sku"_s);
    EXPECT_EQ(reja->rowCount(), 14) << "the grid is refilled after the save";
}

// The header's borders resize the mapping columns; the widths are saved at the end and come back
// at the next start; a cell too narrow for its text shows it whole as a tool tip.
TEST_F(Ventana, ColumnasDeLaRelacionSeArrastranYSeRecuerdan) {
    cargar();
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    v->stbTabs->setCurrentIndex(2);
    QTableWidget* reja = v->relacion->mhgReja;
    QHeaderView* cabecera = reja->horizontalHeader();
    ASSERT_TRUE(cabecera->isVisible());
    EXPECT_EQ(cabecera->model()->headerData(3, Qt::Horizontal).toString(), u"Tabla externa"_s);
    EXPECT_FALSE(reja->isRowHidden(1));
    const int antes = reja->columnWidth(3);
    const QPoint borde(cabecera->sectionViewportPosition(3) + antes - 1, cabecera->height() / 2);
    QTest::mousePress(cabecera->viewport(), Qt::LeftButton, {}, borde);
    QTest::mouseMove(cabecera->viewport(), borde + QPoint(90, 0));
    QTest::mouseRelease(cabecera->viewport(), Qt::LeftButton, {}, borde + QPoint(90, 0));
    EXPECT_EQ(reja->columnWidth(3), antes + 90);

    // "oc_product_description" in a column too narrow for it.
    const int fila = 1;
    reja->item(fila, 3)->setText(u"oc_product_description"_s);
    const int ancho = reja->columnWidth(3);
    reja->setColumnWidth(3, 40);
    auto pedirAyuda = [&] {
        const QRect celda = reja->visualItemRect(reja->item(fila, 3));
        QHelpEvent ayuda(QEvent::ToolTip, celda.center(),
                         reja->viewport()->mapToGlobal(celda.center()));
        QApplication::sendEvent(reja->viewport(), &ayuda);
        QApplication::processEvents();
        return QToolTip::text();
    };
    EXPECT_EQ(pedirAyuda(), u"oc_product_description"_s);
    reja->setColumnWidth(3, 400);
    EXPECT_EQ(pedirAyuda(), QString()) << "nothing for a text that fits";
    reja->setColumnWidth(3, ancho);

    v->Descargar();
    v.reset();
    reloj = new RelojDePrueba; // the first window's scheduler owned the other
    cargar();
    EXPECT_NEAR(v->relacion->mhgReja->columnWidth(3), antes + 90, 1);
}

TEST_F(Ventana, GrabarConLlaveDanadaNoEscribeNada) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    CarpetaTemporal otra;
    QDir().mkpath(otra.ruta(u"vendaro"_s));
    const QString llave = otra.escribir(u"vendaro/vendaro.key"_s, "no es una llave\n");
    QByteArray anterior;
    entorno::moverCarpetaUsuario(otra.raiz(), &anterior);
    cargar();
    qputenv("XDG_CONFIG_HOME", anterior);
    const QByteArray antes = e.carpeta.leer(u"vendaro.ini"_s);

    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    v->configuracion->txtDato(5)->setText(u"nueva"_s);
    e.dialogos.cajas.clear();
    QTest::mouseClick(v->configuracion->cmdGrabar, Qt::LeftButton);
    ASSERT_FALSE(e.dialogos.cajas.isEmpty());
    EXPECT_EQ(e.dialogos.cajas.last().titulo, u"Grabar"_s);
    EXPECT_TRUE(e.dialogos.cajas.last().texto.startsWith(
        u"No se pudo cifrar «Usuario WEB»: la llave "_s + llave + u" está dañada"_s))
        << qPrintable(e.dialogos.cajas.last().texto);
    // Nothing written, and the page keeps what was typed.
    EXPECT_EQ(e.carpeta.leer(u"vendaro.ini"_s), antes);
    EXPECT_EQ(v->stbTabs->currentWidget(), v->configuracion);
    EXPECT_EQ(v->configuracion->txtDato(5)->text(), u"nueva"_s);
}

TEST_F(Ventana, LlavePerdidaSePreguntaAntesDeCrearOtra) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    e.ajustar(u"Contraseña WEB"_s, e.c.utilerias->Encripta(entorno::mysql().contrasena));
    // The window's components take the key from this folder, where there is none.
    CarpetaTemporal otra;
    QByteArray anterior;
    entorno::moverCarpetaUsuario(otra.raiz(), &anterior);
    const QString llave = otra.ruta(u"vendaro/vendaro.key"_s);
    {
        frmInicial rechazada(e.ajustes.RutaIni, new RelojDePrueba);
        EXPECT_FALSE(rechazada.Form_Load()) << "answered No: the program ends";
    }
    ASSERT_FALSE(e.dialogos.cajas.isEmpty());
    EXPECT_EQ(e.dialogos.cajas.last().titulo, u"Llave de cifrado"_s);
    EXPECT_TRUE(e.dialogos.cajas.last().texto.startsWith(
        u"Los valores cifrados no se pueden leer: falta la llave "_s + llave))
        << qPrintable(e.dialogos.cajas.last().texto);
    EXPECT_FALSE(QFile::exists(llave));

    e.dialogos.respuestas.append(Respuesta::Si);
    v = std::make_unique<frmInicial>(e.ajustes.RutaIni, reloj);
    EXPECT_TRUE(v->Form_Load());
    EXPECT_TRUE(QFile::exists(llave));
    qputenv("XDG_CONFIG_HOME", anterior);
}

// A sound key that did not encrypt the values (another installation's): never replaced, since
// other settings may depend on it; the values go unread and nothing is sent with them.
TEST_F(Ventana, LlaveQueNoCorrespondeNoSeReemplaza) {
    REQUIERE_CARPETA_USUARIO_MOVIBLE();
    e.ajustar(u"Usuario WEB"_s, e.c.utilerias->Encripta(entorno::mysql().usuario));
    e.ajustar(u"Contraseña WEB"_s, e.c.utilerias->Encripta(entorno::mysql().contrasena));
    CarpetaTemporal otra;
    QDir().mkpath(otra.ruta(u"vendaro"_s));
    const QByteArray ajena = QByteArray(32, 'z').toBase64() + "\n";
    otra.escribir(u"vendaro/vendaro.key"_s, ajena);
    QByteArray anterior;
    entorno::moverCarpetaUsuario(otra.raiz(), &anterior);
    {
        frmInicial rechazada(e.ajustes.RutaIni, new RelojDePrueba);
        EXPECT_FALSE(rechazada.Form_Load()) << "answered No: the program ends";
    }
    ASSERT_FALSE(e.dialogos.cajas.isEmpty());
    EXPECT_EQ(e.dialogos.cajas.last().titulo, u"Llave de cifrado"_s);
    EXPECT_TRUE(
        e.dialogos.cajas.last().texto.contains(u"la llave no corresponde a estos valores"_s))
        << qPrintable(e.dialogos.cajas.last().texto);

    e.dialogos.respuestas.append(Respuesta::Si);
    v = std::make_unique<frmInicial>(e.ajustes.RutaIni, reloj);
    ASSERT_TRUE(v->Form_Load());
    vigilarEnvio();
    qputenv("XDG_CONFIG_HOME", anterior);
    EXPECT_EQ(otra.leer(u"vendaro/vendaro.key"_s), ajena);
    EXPECT_EQ(v->configuracion->txtDato(3)->text(), QString()) << "no value shown for it";
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    const ResumenEnvio r = esperarEnvio();
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::AjustesIlegibles);
    EXPECT_TRUE(r.mensaje.contains(u"«Usuario WEB», «Contraseña WEB»"_s)) << qPrintable(r.mensaje);
    EXPECT_EQ(e.tienda.filas(u"SELECT COUNT(*) FROM oc_product"_s), QStringList{u"0"_s});
}

// "Probar conex." tries every part a send needs, with the values as typed, each its own line with
// the reason; the window goes on answering while it runs; the shop's own result keeps its words.
TEST_F(Ventana, ProbarConexionYVerEncriptados) {
    e.ajustar(u"Dirección del FTP"_s,
              entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()));
    e.ajustar(u"Usuario del FTP"_s, entorno::ftpUsuario());
    e.ajustar(u"Password del FTP"_s, entorno::ftpContrasena());
    cargar();
    auto* cfg = v->configuracion;
    EXPECT_EQ(cfg->txtDato(5)->echoMode(), QLineEdit::Password);
    QTest::mouseClick(cfg->chkVerPass, Qt::LeftButton);
    for (int i : {3, 5, 14, 15})
        EXPECT_EQ(cfg->txtDato(i)->echoMode(), QLineEdit::Normal) << i;
    QTest::mouseClick(cfg->chkVerPass, Qt::LeftButton);
    EXPECT_EQ(cfg->txtDato(14)->echoMode(), QLineEdit::Password);

    QSignalSpy fin(v.get(), &frmInicial::pruebaTerminada);
    auto probar = [&] {
        e.dialogos.cajas.clear();
        fin.clear();
        QTest::mouseClick(cfg->cmdProbar, Qt::LeftButton);
        EXPECT_TRUE(fin.wait(60000));
        EXPECT_EQ(e.dialogos.cajas.size(), 1);
        EXPECT_EQ(cfg->lstPrueba->count(), v->ultimaPrueba().size());
        return e.dialogos.cajas.value(0);
    };
    auto paso = [&](const QString& nombre) {
        for (const PasoComprobacion& p : v->ultimaPrueba())
            if (p.nombre == nombre && p.estado != PasoComprobacion::Estado::Aviso)
                return p;
        return PasoComprobacion{};
    };
    auto caja = probar();
    EXPECT_EQ(caja.titulo, u"Datos correctos"_s);
    EXPECT_TRUE(caja.texto.startsWith(u"Conexión correcta a la base de datos\r"_s))
        << qPrintable(caja.texto);
    EXPECT_EQ(caja.botones, Botones::Informacion);
    for (const QString& n :
         {PasoNombre::PuntoDeVenta, PasoNombre::Tienda, PasoNombre::TablaProductos,
          PasoNombre::Relacion, PasoNombre::Ftp, PasoNombre::CarpetaFtp}) {
        EXPECT_EQ(paso(n).nombre, n);
        EXPECT_FALSE(paso(n).fallo()) << qPrintable(paso(n).texto);
    }

    const QByteArray antes = e.carpeta.leer(u"vendaro.ini"_s);
    cfg->txtDato(5)->setText(u"equivocada"_s);
    cfg->txtDato(0)->setText(u"no_hay_tal_base"_s);
    cfg->txtDato(15)->setText(u"equivocada"_s);
    caja = probar();
    EXPECT_EQ(caja.titulo, u"Datos incorrectos"_s);
    EXPECT_EQ(caja.botones, Botones::Critico);
    EXPECT_TRUE(caja.texto.startsWith(u"No se estableció conexión a la base de datos\r"_s));
    EXPECT_TRUE(paso(PasoNombre::Tienda).motivo.contains(u"la contraseña no son correctos"_s));
    EXPECT_TRUE(caja.texto.contains(u"la contraseña no son correctos"_s)) << "the reason, in words";
    EXPECT_TRUE(paso(PasoNombre::PuntoDeVenta).motivo.contains(u"no existe"_s));
    EXPECT_TRUE(paso(PasoNombre::Ftp).fallo());
    EXPECT_TRUE(paso(PasoNombre::Ftp).motivo.contains(u"530"_s));
    EXPECT_EQ(e.carpeta.leer(u"vendaro.ini"_s), antes) << "testing saves nothing";

    // A missing shop database (names keep their case), then a missing product table.
    QTest::mouseClick(cfg->cmdCancelar, Qt::LeftButton);
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    cfg->txtDato(2)->setText(e.tienda.nombre().toUpper());
    probar();
    EXPECT_TRUE(paso(PasoNombre::Tienda).motivo.contains(u"no existe"_s))
        << qPrintable(paso(PasoNombre::Tienda).texto);
    cfg->txtDato(2)->setText(e.tienda.nombre());
    cfg->txtDato(6)->setText(u"oc_nada"_s);
    probar();
    EXPECT_FALSE(paso(PasoNombre::Tienda).fallo());
    EXPECT_TRUE(paso(PasoNombre::TablaProductos).fallo());
    EXPECT_TRUE(paso(PasoNombre::TablaProductos).texto.contains(u"«oc_nada»: no existe"_s));
    cfg->txtDato(6)->setText(u"oc_product"_s);
    cfg->txtDato(4)->setText(u"no-existe.invalid"_s);
    probar();
    EXPECT_TRUE(paso(PasoNombre::Tienda).motivo.contains(u"no se encontró el servidor"_s));

    // A server that never answers: the click returns at once, the window says it is testing and
    // goes on answering until the connect time-out ends the step.
    OyenteMudo mudo;
    ASSERT_TRUE(mudo.listo());
    cfg->txtDato(4)->setText(u"127.0.0.1"_s);
    cfg->txtDato(7)->setText(QString::number(mudo.puerto()));
    e.dialogos.cajas.clear();
    fin.clear();
    QTest::mouseClick(cfg->cmdProbar, Qt::LeftButton);
    EXPECT_TRUE(v->probando());
    EXPECT_FALSE(cfg->cmdProbar->isEnabled());
    EXPECT_TRUE(cfg->lblPrueba->text().startsWith(u"Probando"_s));
    bool atendida = false;
    QTimer::singleShot(500, v.get(), [&] {
        QTest::keyClicks(cfg->txtDato(17), u"x"_s);
        atendida = v->probando() && cfg->txtDato(17)->text().endsWith(u'x');
    });
    ASSERT_TRUE(fin.wait(60000));
    EXPECT_TRUE(atendida) << "the window answered keys during the test";
    EXPECT_TRUE(paso(PasoNombre::Tienda).motivo.contains(u"no respondió a tiempo"_s))
        << qPrintable(paso(PasoNombre::Tienda).texto);
    EXPECT_TRUE(cfg->cmdProbar->isEnabled());
}

// "Cancelar" puts back what is saved (boxes, lists, the mapping grid) and masks the secrets again;
// the next "Grabar" saves none of the abandoned values.
TEST_F(Ventana, CancelarDevuelveLoGrabado) {
    cargar();
    auto* cfg = v->configuracion;
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    cfg->txtDato(2)->setText(u"OtraBase"_s);
    cfg->txtDato(0)->setText(u"otra_pos"_s);
    QTest::mouseClick(cfg->chkVerPass, Qt::LeftButton);
    auto* modo = qobject_cast<QComboBox*>(cfg->control(u"Modo de envío"_s));
    ASSERT_NE(modo, nullptr);
    modo->setCurrentText(u"por producto"_s);
    v->stbTabs->setCurrentIndex(2);
    QTableWidget* reja = v->relacion->mhgReja;
    ASSERT_GT(reja->rowCount(), 3);
    reja->item(3, 2)->setText(u"abandonado"_s);
    QTest::mouseClick(cfg->cmdCancelar, Qt::LeftButton);
    EXPECT_EQ(cfg->txtDato(2)->text(), e.tienda.nombre());
    EXPECT_EQ(cfg->txtDato(0)->text(), e.pos.nombre());
    EXPECT_FALSE(cfg->chkVerPass->isChecked());
    EXPECT_EQ(cfg->txtDato(5)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(modo->currentText(), u"por lotes"_s);
    EXPECT_EQ(reja->item(3, 2)->text(), u"price"_s);

    // Opened again only to change the interval.
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    cfg->txtDato(1)->setText(u"7"_s);
    QTest::mouseClick(cfg->cmdGrabar, Qt::LeftButton);
    EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << qPrintable(e.dialogos.cajas.value(0).texto);
    EXPECT_EQ(v->ajustes().BaseDatosWeb, e.tienda.nombre());
    EXPECT_EQ(v->ajustes().IntervaloMinutos, 7);
    EXPECT_EQ(e.c.qvtx->LeeIni(SeccionConfiguracion, u"Modo de envío"_s, e.ajustes.RutaIni),
              u"por lotes"_s);
    EXPECT_EQ(e.c.qvtx->LeeIni(SeccionCampos, u"Precio.CampoWEB"_s, e.ajustes.RutaIni), u"price"_s);
    EXPECT_EQ(e.c.qvtx->LeeIni(SeccionConfiguracion, ClaveBasePrincipal, e.ajustes.RutaIni),
              e.pos.nombre());
}

// The mapping checks judge the mapping as saved, whether or not its page was ever shown; a mapping
// that fails them is not saved, and the window says so.
TEST_F(Ventana, RelacionSinVisitarSeJuzgaComoEstaGrabada) {
    e.mapear(u"Clave"_s, QString());
    cargar();
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    QTest::mouseClick(v->configuracion->cmdGrabar, Qt::LeftButton);
    QStringList textos;
    for (const auto& c : e.dialogos.cajas)
        textos.append(c.texto);
    ASSERT_EQ(textos.size(), 2) << qPrintable(textos.join(u'\n'));
    EXPECT_EQ(textos[0], u"No se definió equivalente a la clave del producto"_s)
        << "Precio and Descripcion are mapped: only the key is missing";
    EXPECT_TRUE(textos[1].contains(u"la relación de campos no"_s));
}

// Every setting is in the window, grouped; values typed by hand show as typed, and "Grabar" keeps
// each key in its place, encrypts what is encrypted, and leaves optional keys out until set.
TEST_F(Ventana, TodosLosAjustesEnLaVentana) {
    e.ajustar(u"Modo de envío"_s, u"por producto"_s);
    e.ajustar(u"Categorías"_s, u"línea"_s);
    e.ajustar(u"Estado sin existencias"_s, u"5"_s);
    cargar();
    auto* cfg = v->configuracion;
    for (const ClaveAjuste& c : clavesAjustes()) {
        if (c.campo < 0) {
            EXPECT_NE(cfg->control(c.clave), nullptr) << qPrintable(c.clave);
        }
    }
    ASSERT_NE(cfg->control(ClaveRutaHost), nullptr);
    EXPECT_EQ(qobject_cast<QLineEdit*>(cfg->control(ClaveRutaHost))->text(),
              e.carpeta.ruta(u"velmora"_s));
    EXPECT_EQ(qobject_cast<QComboBox*>(cfg->control(u"Modo de envío"_s))->currentText(),
              u"por producto"_s);
    EXPECT_EQ(qobject_cast<QComboBox*>(cfg->control(u"Categorías"_s))->currentText(), u"línea"_s);
    EXPECT_EQ(qobject_cast<QLineEdit*>(cfg->control(u"Estado sin existencias"_s))->text(), u"5"_s);
    EXPECT_TRUE(
        qobject_cast<QCheckBox*>(cfg->control(u"Codificar texto como la tienda"_s))->isChecked());
    EXPECT_EQ(cfg->cboAccesoSsh->currentIndex(), ConfiguracionPage::ConAgente);
    EXPECT_FALSE(cfg->control(u"Password SSH"_s)->isEnabled());

    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    qobject_cast<QLineEdit*>(cfg->control(u"Tiendas"_s))->setText(u"0,2"_s);
    qobject_cast<QCheckBox*>(cfg->control(u"Direcciones SEO"_s))->setChecked(true);
    qobject_cast<QComboBox*>(cfg->control(u"Conexión segura WEB"_s))->setCurrentText(u"exigida"_s);
    qobject_cast<QLineEdit*>(cfg->control(u"Túnel SSH"_s))->setText(u"ssh.ejemplo:2222"_s);
    qobject_cast<QLineEdit*>(cfg->control(u"Usuario SSH"_s))->setText(u"yo"_s);
    cfg->cboAccesoSsh->setCurrentIndex(ConfiguracionPage::ConContrasena);
    EXPECT_TRUE(cfg->control(u"Password SSH"_s)->isEnabled());
    qobject_cast<QLineEdit*>(cfg->control(u"Password SSH"_s))->setText(u"secreto"_s);
    qobject_cast<QLineEdit*>(cfg->control(u"Llave SSH"_s))->setText(u"/no/se/usa"_s);
    QTest::mouseClick(cfg->cmdGrabar, Qt::LeftButton);
    EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << qPrintable(e.dialogos.cajas.value(0).texto);

    const QString ini = QString::fromUtf8(e.carpeta.leer(u"vendaro.ini"_s));
    auto valor = [&](const QString& clave) {
        return e.c.qvtx->LeeIni(SeccionConfiguracion, clave, e.ajustes.RutaIni);
    };
    EXPECT_EQ(valor(u"Tiendas"_s), u"0,2"_s);
    EXPECT_EQ(valor(u"Direcciones SEO"_s), u"1"_s);
    EXPECT_EQ(valor(u"Conexión segura WEB"_s), u"exigida"_s);
    EXPECT_EQ(valor(u"Modo de envío"_s), u"por producto"_s);
    EXPECT_EQ(valor(u"Túnel SSH"_s), u"ssh.ejemplo:2222"_s);
    EXPECT_NE(valor(u"Password SSH"_s), u"secreto"_s) << "stored encrypted";
    EXPECT_EQ(e.c.utilerias->DesEncripta(valor(u"Password SSH"_s)), u"secreto"_s);
    EXPECT_EQ(e.c.utilerias->DesEncripta(valor(u"Usuario SSH"_s)), u"yo"_s);
    EXPECT_FALSE(ini.contains(u"Llave SSH"_s)) << "not the way chosen: left out";
    EXPECT_FALSE(ini.contains(u"Certificado CA WEB"_s)) << "optional and unset: left out";
    EXPECT_FALSE(ini.contains(u"Carpeta de caché de la tienda"_s));
    EXPECT_EQ(ini.count(u"\nModo de envío="_s), 1);
    EXPECT_LT(ini.indexOf(u"\nModo de envío="_s), ini.indexOf(u"\nCategorías="_s))
        << "keys stay where they were";
    EXPECT_EQ(v->ajustes().Tiendas, u"0,2"_s);
    EXPECT_TRUE(v->ajustes().DireccionesSeo);
    EXPECT_EQ(v->ajustes().PasswordSsh, u"secreto"_s);
}

TEST_F(Ventana, CerrarOcultaYTerminarPregunta) {
    cargar();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    v->close();
    QApplication::processEvents();
    EXPECT_TRUE(v->isVisible()) << "without a notification area the window stays reachable";
    e.dialogos.respuestas = {Respuesta::No};
    QTest::mouseClick(v->principal->cmdTerminar, Qt::LeftButton);
    ASSERT_EQ(e.dialogos.cajas.size(), 1);
    EXPECT_EQ(e.dialogos.cajas[0].texto, u"¿Está seguro de cerrar este programa?"_s);
    EXPECT_EQ(e.dialogos.cajas[0].titulo, u"Cerrar conexión"_s);
    EXPECT_EQ(e.dialogos.cajas[0].botones, 36 + 256);
    EXPECT_TRUE(v->principal->isVisibleTo(v.get()));
    // Yes unloads: the grid widths are saved.
    e.dialogos.respuestas = {Respuesta::Si};
    QTest::mouseClick(v->principal->cmdTerminar, Qt::LeftButton);
    EXPECT_FALSE(e.c.qvtx->LeeIni(SeccionReja, u"Columna 4"_s, e.ajustes.RutaIni).isEmpty());
}

TEST_F(Ventana, AltF4TerminaElPrograma) {
    cargar();
    // Where the window gets the key (Linux), the shortcut ends the program.
    QTest::keyClick(v->windowHandle(), Qt::Key_F4, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << "no question: Alt+F4 is the user's own answer";
    EXPECT_FALSE(v->isVisible());
    EXPECT_FALSE(e.c.qvtx->LeeIni(SeccionReja, u"Columna 4"_s, e.ajustes.RutaIni).isEmpty())
        << "the window unloaded (the grid widths saved)";
}

TEST_F(Ventana, AltF4ComoPeticionDeCierre) {
    // On Windows the system answers Alt+F4 itself with a close request, as the close box's; it
    // comes while Alt is held, and still ends the program.
    if (!plataforma::altF4EsPeticionDeCierre())
        GTEST_SKIP() << "Fuera de Windows el Alt+F4 del gestor de ventanas es su botón de cerrar "
                        "(oculta la ventana, como prueba EnEscritorio con un gestor real)";
    cargar();
    QTest::keyPress(v->windowHandle(), Qt::Key_Alt, Qt::AltModifier);
    v->close();
    QTest::keyRelease(v->windowHandle(), Qt::Key_Alt);
    QApplication::processEvents();
    EXPECT_TRUE(e.dialogos.cajas.isEmpty());
    EXPECT_FALSE(v->isVisible());
    EXPECT_FALSE(e.c.qvtx->LeeIni(SeccionReja, u"Columna 4"_s, e.ajustes.RutaIni).isEmpty());
}

TEST_F(Ventana, InicioAutomaticoSeEscribeUnaVezYSeRehaceAlCambiar) {
    if (QDir::separator() == u'\\')
        GTEST_SKIP() << "La entrada de inicio del escritorio es de Linux; en Windows se prueba el "
                        "valor Run del registro (InicioAutomaticoEnElRegistroDeWindows)";
    const QString archivo = plataforma::archivoInicioAutomatico(u"vendaro"_s);
    QFile::remove(archivo);
    const QStringList orden{u"/opt/vendaro/vendaro"_s, u"--ini"_s, u"/srv/tienda/vendaro.ini"_s};
    clsInicio::SiRegistrado(u"vendaro"_s, orden);
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s),
              u"/opt/vendaro/vendaro --ini /srv/tienda/vendaro.ini"_s);
    const QDateTime escrito = QFileInfo(archivo).lastModified();
    QFile::setPermissions(archivo, QFileDevice::ReadOwner); // a rewrite would now fail
    clsInicio::SiRegistrado(u"vendaro"_s, orden);
    EXPECT_EQ(QFileInfo(archivo).lastModified(), escrito);
    QFile::setPermissions(archivo, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // Another settings file, then a moved executable, each rewrite the entry; reserved
    // characters are quoted and escaped as desktop entries want them.
    clsInicio::SiRegistrado(u"vendaro"_s,
                            {u"/opt/vendaro/vendaro"_s, u"--ini"_s, u"/srv/otra tienda/v.ini"_s});
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s),
              u"/opt/vendaro/vendaro --ini \"/srv/otra tienda/v.ini\""_s);
    clsInicio::SiRegistrado(u"vendaro"_s, {u"/home/ana/mis programas/vendaro"_s, u"--ini"_s,
                                           u"/home/ana/50% $dto \"bis\"\\a.ini"_s});
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s),
              u"\"/home/ana/mis programas/vendaro\" --ini "
              u"\"/home/ana/50%% \\\\$dto \\\\\"bis\\\\\"\\\\\\\\a.ini\""_s);
}

// On Windows the start at logon is the string value named after the executable under the user's
// Run key: native paths, quoted where they have spaces, rewritten when the program or the settings
// file moves or the value was changed by someone else.
TEST_F(Ventana, InicioAutomaticoEnElRegistroDeWindows) {
    if (QDir::separator() != u'\\')
        GTEST_SKIP() << "El valor Run del registro es de Windows; en Linux se prueba la entrada de "
                        "inicio del escritorio";
    const QString programa = u"C:/Program Files/Vendaro/vendaro.exe"_s;
    clsInicio::SiRegistrado(u"vendaro.exe"_s, {programa, u"--ini"_s, u"D:/tienda/vendaro.ini"_s});
    EXPECT_EQ(plataforma::archivoInicioAutomatico(u"vendaro.exe"_s),
              u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\vendaro"_s);
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s),
              u"\"C:\\Program Files\\Vendaro\\vendaro.exe\" --ini D:\\tienda\\vendaro.ini"_s);

    clsInicio::SiRegistrado(u"vendaro.exe"_s, {programa, u"--ini"_s, u"D:/otra tienda/v.ini"_s});
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s),
              u"\"C:\\Program Files\\Vendaro\\vendaro.exe\" --ini \"D:\\otra tienda\\v.ini\""_s);
    const QStringList movido{u"E:/Vendaro/vendaro.exe"_s, u"--ini"_s, u"D:/otra tienda/v.ini"_s};
    clsInicio::SiRegistrado(u"vendaro.exe"_s, movido);
    const QString esperado = u"E:\\Vendaro\\vendaro.exe --ini \"D:\\otra tienda\\v.ini\""_s;
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s), esperado);

    // Changed from outside: the next start puts it back.
    ASSERT_TRUE(plataforma::registrarInicioAutomatico(u"vendaro"_s, {u"C:/otro.exe"_s}));
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s), u"C:\\otro.exe"_s);
    clsInicio::SiRegistrado(u"vendaro.exe"_s, movido);
    EXPECT_EQ(plataforma::inicioAutomaticoRegistrado(u"vendaro"_s), esperado);
}

TEST_F(Ventana, DescripcionRecuerdaSuLugarYTamano) {
    cargar();
    e.carpeta.escribir(u"pruebas_ventana.txt"_s, "Texto de la descripción");
    v->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    QTest::keyClick(v.get(), Qt::Key_F1);
    QWidget* desc = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == u"frmDescripcion"_s)
            desc = w;
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->windowTitle(), u"Descripción del programa"_s);
    auto* texto = desc->findChild<QTextEdit*>(u"rtbTexto"_s);
    ASSERT_NE(texto, nullptr);
    EXPECT_EQ(texto->toPlainText(), u"Texto de la descripción"_s);
    const QSize antes = texto->size();
    desc->resize(desc->width() + 67, desc->height() + 67); // 1000 twips at 96 dpi
    EXPECT_EQ(texto->width() - antes.width(), 67);
    EXPECT_EQ(texto->height() - antes.height(), 67);
    desc->move(120, 90);
    desc->resize(700, 500);
    const int dpi = desc->logicalDpiX();
    desc->close();
    QApplication::processEvents();
    EXPECT_EQ(e.c.qvtx->LeeIni(u"frmDescripcion"_s, u"Ventana"_s, e.ajustes.RutaIni),
              u"Descripción del programa"_s);
    EXPECT_EQ(e.c.qvtx->LeeIni(u"frmDescripcion"_s, u"Ancho"_s, e.ajustes.RutaIni),
              QString::number(700 * 1440 / dpi));
    v->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    QTest::keyClick(v.get(), Qt::Key_F1);
    QWidget* otra = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == u"frmDescripcion"_s && w->isVisible())
            otra = w;
    ASSERT_NE(otra, nullptr);
    EXPECT_EQ(otra->size(), QSize(700, 500));
    // Closing the main window takes the description window with it.
    v->Descargar();
    QApplication::processEvents();
    EXPECT_FALSE(otra->isVisible());
}

// The main page lists the last runs and the last run's failures with the server's message; both
// come back after a restart; "Ver bitácora" shows the log with its newest lines in view.
TEST_F(Ventana, LaPaginaPrincipalCuentaLosEnviosYSusFallos) {
    ASSERT_TRUE(e.tienda.conexion().Execute(
        u"CREATE TRIGGER rechazo BEFORE INSERT ON oc_product FOR EACH ROW IF NEW.model = 'P02' "
        u"THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'producto rechazado'; END IF"_s));
    cargar();
    QTableWidget* envios = v->principal->tblEnvios;
    QTableWidget* fallidos = v->principal->tblFallidos;
    EXPECT_EQ(envios->rowCount(), 0);
    auto fila = [](QTableWidget* t, int r) {
        QStringList textos;
        for (int c = 0; c < t->columnCount(); ++c)
            textos.append(t->item(r, c) ? t->item(r, c)->text() : QString());
        return textos;
    };
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    esperarEnvio();
    ASSERT_EQ(envios->rowCount(), 1);
    // Start, duration, read, created, updated, failed, with warnings, pictures, result.
    EXPECT_EQ(fila(envios, 0).mid(2),
              QStringList({u"3"_s, u"2"_s, u"0"_s, u"1"_s, u"0"_s, u"—"_s, u"Con errores"_s}));
    ASSERT_EQ(fallidos->rowCount(), 1);
    EXPECT_EQ(fallidos->item(0, 0)->text(), u"P02"_s);
    // Key, name and the server's reason; the statement stays in the log.
    EXPECT_EQ(fallidos->item(0, 1)->text(), u"Producto 2"_s);
    EXPECT_TRUE(fallidos->item(0, 2)->text().contains(u"producto rechazado"_s))
        << fallidos->item(0, 2)->text().toStdString();
    EXPECT_FALSE(fallidos->item(0, 2)->text().contains(u"INSERT"_s))
        << fallidos->item(0, 2)->text().toStdString();

    ASSERT_TRUE(e.tienda.conexion().Execute(u"DROP TRIGGER rechazo"_s));
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    esperarEnvio();
    ASSERT_EQ(envios->rowCount(), 2);
    EXPECT_EQ(fila(envios, 0)[3], u"1"_s) << "newest first: P02 created now";
    EXPECT_EQ(fila(envios, 0)[5], u"0"_s);
    EXPECT_EQ(fallidos->rowCount(), 0) << "only the last run's failures";
    const QStringList primero = fila(envios, 1);
    const QStringList segundo = fila(envios, 0);

    // The log beside the settings file (the program's own writer is not started in tests).
    QByteArray lineas;
    for (int i = 1; i <= 300; ++i)
        lineas += "2026-01-01 10:00:00 info: línea " + QByteArray::number(i) + '\n';
    e.carpeta.escribir(u"vendaro.log"_s, lineas);
    QTest::mouseClick(v->principal->cmdBitacora, Qt::LeftButton);
    ASSERT_NE(v->bitacora(), nullptr);
    const QPlainTextEdit* texto = v->bitacora()->txtBitacora;
    EXPECT_TRUE(texto->isReadOnly());
    EXPECT_TRUE(texto->toPlainText().endsWith(u"línea 300\n"_s));
    EXPECT_GT(texto->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(texto->verticalScrollBar()->value(), texto->verticalScrollBar()->maximum())
        << "the newest lines in view";

    v->Descargar();
    v.reset();
    reloj = new RelojDePrueba;
    cargar();
    ASSERT_EQ(v->principal->tblEnvios->rowCount(), 2);
    EXPECT_EQ(fila(v->principal->tblEnvios, 0), segundo);
    EXPECT_EQ(fila(v->principal->tblEnvios, 1), primero);
    EXPECT_EQ(QFileInfo(v->historial().ruta()).absolutePath(),
              QFileInfo(e.ajustes.RutaIni).absolutePath());

    // At most twenty runs are kept, the oldest go first.
    HistorialEnvios historial(e.ajustes.RutaIni);
    historial.leer();
    ResumenEnvio r;
    for (int i = 0; i < 25; ++i) {
        r.leidos = 100 + i;
        historial.agregar(r, QDateTime::currentDateTime());
    }
    HistorialEnvios leido(e.ajustes.RutaIni);
    leido.leer();
    ASSERT_EQ(leido.envios().size(), HistorialEnvios::MaxEnvios);
    EXPECT_EQ(leido.envios().first().leidos, 105);
    EXPECT_EQ(leido.envios().last().leidos, 124);
}

// Products written with values the shop did not keep as sent: listed on the page per product with
// what was sent and what the shop kept, the result says so, and the list comes back after a
// restart.
TEST_F(Ventana, LosAvisosSeListanConLoQueLaTiendaGuardo) {
    e.defectos(u"oc_product"_s, "points = 99999999999\n");
    cargar();
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    const ResumenEnvio r = esperarEnvio();
    EXPECT_EQ(r.conAvisos, 3);
    auto comprobar = [&] {
        QTableWidget* avisos = v->principal->tblAvisos;
        ASSERT_EQ(avisos->rowCount(), 3);
        EXPECT_EQ(avisos->item(1, 0)->text(), u"P02"_s);
        EXPECT_EQ(avisos->item(1, 1)->text(), u"Producto 2"_s);
        EXPECT_EQ(avisos->item(1, 2)->text(),
                  u"oc_product.points: Out of range value for column 'points' at row 2; se envió "_s
                  u"«99999999999»; quedó «2147483647»"_s);
        EXPECT_TRUE(v->principal->lblAvisos->text().endsWith(u": 3"_s))
            << qPrintable(v->principal->lblAvisos->text());
        QTableWidget* envios = v->principal->tblEnvios;
        EXPECT_EQ(envios->item(0, 6)->text(), u"3"_s);
        EXPECT_EQ(envios->item(0, 8)->text(), u"Correcto, con avisos"_s);
        EXPECT_EQ(v->principal->tblFallidos->rowCount(), 0);
    };
    comprobar();
    EXPECT_TRUE(v->principal->lblUltimoEnvio->text().contains(
        u"3 productos con avisos: lo enviado y lo que la tienda guardó están en la lista"_s))
        << qPrintable(v->principal->lblUltimoEnvio->text());
    v->Descargar();
    v.reset();
    reloj = new RelojDePrueba;
    cargar();
    comprobar();
}

// The runs kept beside the settings: on a full disk the file keeps the runs it had.
TEST(HistorialEnvios, UnDiscoLlenoDejaElAnterior) {
    DiscoLleno disco;
    REQUIERE_DISCO(disco);
    const QString ini = disco.ruta(u"vendaro.ini"_s);
    ResumenEnvio r;
    r.leidos = 7;
    HistorialEnvios historial(ini);
    ASSERT_TRUE(historial.agregar(r, QDateTime::currentDateTime()));
    disco.llenar(0);
    r.leidos = 8;
    for (int i = 0; i < 30; ++i)
        r.productosFallidos.append({u"P%1"_s.arg(i), QString(200, u'x')});
    EXPECT_FALSE(historial.agregar(r, QDateTime::currentDateTime()));
    HistorialEnvios leido(ini);
    leido.leer();
    ASSERT_EQ(leido.envios().size(), 1);
    EXPECT_EQ(leido.envios().first().leidos, 7);
}

// "Vista previa" runs the dry run: a price changed in the point of sale shows as the shop's value
// now and the one the next send would write, and the shop is left as it was.
TEST_F(Ventana, VistaPreviaMuestraElCambioSinEscribir) {
    cargar();
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    ASSERT_EQ(esperarEnvio().creados, 3);
    e.pos.ejecutar(u"UPDATE productos SET Precio = 99.99 WHERE Clave = 'P03';"_s);
    const QStringList antes =
        e.tienda.filas(u"SELECT model, price FROM oc_product ORDER BY model"_s);
    const int enHistorial = v->principal->tblEnvios->rowCount();

    QTest::mouseClick(v->principal->cmdVistaPrevia, Qt::LeftButton);
    esperarEnvio();
    ASSERT_NE(v->vistaPrevia(), nullptr);
    EXPECT_EQ(e.tienda.filas(u"SELECT model, price FROM oc_product ORDER BY model"_s), antes)
        << "the preview writes nothing";
    QTableWidget* tabla = v->vistaPrevia()->tabla(u"oc_product"_s);
    ASSERT_NE(tabla, nullptr);
    ASSERT_EQ(tabla->rowCount(), 1) << "only the changed column of the changed product";
    EXPECT_EQ(tabla->item(0, 0)->text(), u"P03"_s);
    EXPECT_EQ(tabla->item(0, 1)->text(), u"price"_s);
    EXPECT_EQ(tabla->item(0, 2)->text(), u"3.5000"_s);
    EXPECT_EQ(tabla->item(0, 3)->text(), u"99.9900"_s) << "the point of sale's exact decimal";
    EXPECT_EQ(v->principal->tblEnvios->rowCount(), enHistorial) << "a preview is not a run";
}

// A preview is logged as one, stops without the send's question when its window closes, and opens
// inside the screen (the offscreen screen is 800 × 600).
TEST_F(Ventana, VistaPreviaSeDetieneAlCerrarSuVentana) {
    e.ajustar(u"Modo de envío"_s, u"por producto"_s);
    for (int i = 1; i <= 40; ++i)
        e.pos.ejecutar(
            u"INSERT INTO productos (Clave) VALUES ('Q%1');"_s.arg(i, 2, 10, QChar(u'0')));
    cargar();
    CapturaBitacora bitacora;
    QTest::mouseClick(v->principal->cmdVistaPrevia, Qt::LeftButton);
    ASSERT_EQ(esperarEnvio().estado, ResumenEnvio::Estado::Terminado);
    EXPECT_TRUE(bitacora.contiene(u"Vista previa terminada"_s));
    EXPECT_FALSE(bitacora.contiene(u"Envío terminado"_s))
        << qPrintable(bitacora.lineas().join(u'\n'));
    ASSERT_NE(v->vistaPrevia(), nullptr);
    const QRect libre = v->vistaPrevia()->screen()->availableGeometry();
    EXPECT_TRUE(libre.contains(v->vistaPrevia()->frameGeometry()))
        << v->vistaPrevia()->frameGeometry().height() << " of " << libre.height();
    QTest::mouseClick(v->principal->cmdBitacora, Qt::LeftButton);
    ASSERT_NE(v->bitacora(), nullptr);
    EXPECT_TRUE(libre.contains(v->bitacora()->frameGeometry()));

    bool cerrada = false;
    QObject::connect(v->envio(), &EnvioEnSegundoPlano::producto, v.get(),
                     [&](const QString&, const QString&, qint64 n, qint64) {
                         if (n != 2 || cerrada || !v->vistaPrevia())
                             return;
                         cerrada = true;
                         v->vistaPrevia()->close();
                     });
    e.dialogos.cajas.clear();
    QTest::mouseClick(v->principal->cmdVistaPrevia, Qt::LeftButton);
    const ResumenEnvio r = esperarEnvio();
    ASSERT_TRUE(cerrada);
    EXPECT_EQ(r.estado, ResumenEnvio::Estado::Interrumpido);
    EXPECT_LT(r.actualizados + r.creados + r.sinCambios, 43);
    EXPECT_EQ(leyenda(v->principal->cmdLeerAhora), u"Enviar ahora"_s);

    // "Interrumpir" stops a preview without asking: it writes nothing, nothing is lost.
    bool parada = false;
    QObject::connect(v->envio(), &EnvioEnSegundoPlano::producto, v.get(),
                     [&](const QString&, const QString&, qint64 n, qint64) {
                         if (n != 2 || parada || !cerrada)
                             return;
                         parada = true;
                         QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
                     });
    QTest::mouseClick(v->principal->cmdVistaPrevia, Qt::LeftButton);
    EXPECT_EQ(esperarEnvio().estado, ResumenEnvio::Estado::Interrumpido);
    EXPECT_TRUE(parada);
    EXPECT_TRUE(e.dialogos.cajas.isEmpty()) << qPrintable(e.dialogos.cajas.value(0).texto);
}

// Both send modes show a progress a person can follow: the previous result goes at the start, the
// phases come in order with counts that grow to the run's products, the bar shows them, and the
// page's tables stay where they are while the run's lines come and go.
TEST_F(Ventana, ElAvanceSeVeEnAmbosModos) {
    e.pos.ejecutar(u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ('P04', 'Producto 4', "_s
                   u"4), ('P05', 'Producto 5', 5), ('P06', 'Producto 6', 6);"_s);
    const QString remota = u"avance-"_s + QFileInfo(e.carpeta.raiz()).fileName();
    QDir(entorno::ftpRaiz()).mkpath(remota);
    e.imagenesPorFtp(e.carpeta.ruta(u"fotos"_s), remota + u'/');
    e.carpeta.escribir(u"fotos/P01.jpg"_s, "x");
    e.carpeta.escribir(u"fotos/P05.jpg"_s, "y");
    for (const QString& modo : {u"por lotes"_s, u"por producto"_s}) {
        SCOPED_TRACE(qPrintable(modo));
        e.ajustar(u"Modo de envío"_s, modo);
        cargar();
        PrincipalPage* p = v->principal;
        // A first run leaves its line; the second changes every price and sends the pictures.
        QTest::mouseClick(p->cmdLeerAhora, Qt::LeftButton);
        ASSERT_TRUE(esperarEnvio().completo());
        ASSERT_FALSE(p->lblUltimoEnvio->text().isEmpty());
        e.pos.ejecutar(u"UPDATE productos SET Precio = Precio + 1;"_s);
        // The place things settle in: a layout asked for by the first run's end may still be
        // queued (seen under Wine on a loaded machine).
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        const QRect tabla = p->tblEnvios->geometry();
        struct Visto {
            AvanceEnvio a;
            QString linea;
            int valor, maximo;
            bool barraVisible;
            QString anterior;
            QRect tabla;
        };
        QList<Visto> vistos;
        // After the window's own slot: what the page shows for each step the run tells.
        QObject::connect(v->envio(), &EnvioEnSegundoPlano::avance, v.get(),
                         [&](const AvanceEnvio& a) {
                             vistos.append({a, p->lblFase->text(), p->barEnvio->value(),
                                            p->barEnvio->maximum(), p->barEnvio->isVisible(),
                                            p->lblUltimoEnvio->text(), p->tblEnvios->geometry()});
                         });
        QFile::remove(ManifiestoImagenes::rutaPara(e.ajustes.RutaIni)); // both are sent again
        ASSERT_TRUE(p->chkImagenes->isVisible());
        p->chkImagenes->setChecked(true);
        QTest::mouseClick(p->cmdLeerAhora, Qt::LeftButton);
        const ResumenEnvio r = esperarEnvio();
        ASSERT_TRUE(r.completo()) << qPrintable(r.texto() + r.motivoImagenes);
        EXPECT_EQ(r.actualizados, 6);
        EXPECT_EQ(r.imagenesSubidas, 2);

        ASSERT_FALSE(vistos.isEmpty());
        QList<FaseEnvio> fases;
        for (const Visto& x : std::as_const(vistos)) {
            if (fases.isEmpty() || fases.last() != x.a.fase)
                fases.append(x.a.fase);
            EXPECT_TRUE(x.anterior.isEmpty()) << "the last run's line, while a new one works";
            EXPECT_TRUE(x.barraVisible);
            EXPECT_FALSE(x.linea.isEmpty());
            EXPECT_EQ(x.tabla, tabla) << "nothing moves";
            if (x.a.fase != FaseEnvio::Leyendo && x.a.total > 0) {
                EXPECT_EQ(x.maximo, x.a.total);
                EXPECT_EQ(x.valor, x.a.hechos);
                EXPECT_TRUE(x.linea.contains(u"%1 de %2"_s.arg(x.a.hechos).arg(x.a.total)))
                    << qPrintable(x.linea);
            }
        }
        const QList<FaseEnvio> esperadas =
            modo == u"por lotes"_s
                ? QList<FaseEnvio>{FaseEnvio::Leyendo, FaseEnvio::Comparando,
                                   FaseEnvio::Escribiendo, FaseEnvio::Imagenes}
                // One product at a time, each is compared and written before the next.
                : QList<FaseEnvio>{FaseEnvio::Leyendo, FaseEnvio::Escribiendo, FaseEnvio::Imagenes};
        EXPECT_EQ(fases, esperadas);
        // In each counted phase the count grows, step by step, to the run's six products.
        for (FaseEnvio f : {FaseEnvio::Comparando, FaseEnvio::Escribiendo, FaseEnvio::Imagenes}) {
            QList<qint64> cuentas;
            for (const Visto& x : std::as_const(vistos))
                if (x.a.fase == f) {
                    EXPECT_EQ(x.a.total, 6);
                    if (cuentas.isEmpty() || cuentas.last() != x.a.hechos)
                        cuentas.append(x.a.hechos);
                }
            if (f == FaseEnvio::Comparando && modo != u"por lotes"_s)
                continue;
            ASSERT_FALSE(cuentas.isEmpty()) << int(f);
            EXPECT_TRUE(std::is_sorted(cuentas.cbegin(), cuentas.cend())) << int(f);
            EXPECT_EQ(cuentas.last(), 6) << int(f);
            EXPECT_GE(cuentas.size(), f == FaseEnvio::Escribiendo && modo == u"por lotes"_s ? 2 : 6)
                << int(f);
        }
        EXPECT_FALSE(p->barEnvio->isVisible());
        EXPECT_FALSE(p->lblFase->isVisible());
        EXPECT_FALSE(p->lblUltimoEnvio->text().isEmpty());
        EXPECT_EQ(p->tblEnvios->geometry(), tabla);
        v->Descargar();
        v.reset();
        reloj = new RelojDePrueba;
    }
}

// Pictures that could not go (a refused FTP login) make the run's result an error, with the
// server's reason in the window and the failed count in the runs table.
TEST_F(Ventana, ImagenesQueFallanSonUnError) {
    e.imagenesPorFtp(e.carpeta.ruta(u"fotos"_s));
    e.ajustar(u"Password del FTP"_s, u"no-es-la-contraseña"_s);
    e.carpeta.escribir(u"fotos/P01.jpg"_s, "x");
    e.carpeta.escribir(u"fotos/P02.jpg"_s, "y");
    cargar();
    ASSERT_TRUE(v->principal->chkImagenes->isVisible());
    v->principal->chkImagenes->setChecked(true);
    QTest::mouseClick(v->principal->cmdLeerAhora, Qt::LeftButton);
    const ResumenEnvio r = esperarEnvio();
    EXPECT_EQ(r.imagenesFallidas, 2);
    EXPECT_FALSE(r.completo());
    EXPECT_FALSE(r.motivoImagenes.isEmpty());
    EXPECT_TRUE(r.textoProblemas().startsWith(u"2 imágenes no se enviaron ("_s))
        << qPrintable(r.textoProblemas());
    QTableWidget* envios = v->principal->tblEnvios;
    ASSERT_EQ(envios->rowCount(), 1);
    EXPECT_EQ(envios->item(0, 7)->text(), u"0, 2 con error"_s);
    EXPECT_EQ(envios->item(0, 8)->text(), u"Con errores"_s);
    EXPECT_TRUE(v->principal->lblUltimoEnvio->text().contains(r.motivoImagenes))
        << qPrintable(v->principal->lblUltimoEnvio->text());
    EXPECT_EQ(ResumenEnvio::textoNoEnviados(1), u"1 producto no se envió"_s);
    EXPECT_EQ(ResumenEnvio::textoNoEnviados(2), u"2 productos no se enviaron"_s);
}

// Keyboard use: every text button has a mnemonic and Alt+letter presses it; Tab runs in screen
// order on both pages; F2 edits the current mapping cell. And "Editar archivo INI" says where the
// file is when no program can open it.
TEST_F(Ventana, TecladoYArchivoDeConfiguracion) {
    cargar();
    for (QAbstractButton* b : v->findChildren<QAbstractButton*>()) {
        if (b->text().isEmpty() || qobject_cast<QTabBar*>(b->parentWidget()))
            continue;
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_TRUE(b->text().contains(u'&')) << b->text().toStdString();
    }
    // On the main page no two captions share a letter, "Interrumpir" (the send button during a run)
    // included: a shared one only moves the focus between them.
    QStringList letras{u"i"_s};
    for (QAbstractButton* b : v->principal->findChildren<QAbstractButton*>()) {
        const qsizetype marca = b->text().indexOf(u'&');
        if (marca < 0 || b == v->principal->cmdLeerAhora)
            continue;
        const QString letra = b->text().mid(marca + 1, 1).toLower();
        EXPECT_FALSE(letras.contains(letra)) << b->text().toStdString();
        letras.append(letra);
    }
    auto ordenDe = [](QWidget* desde, const QStringList& nombres) {
        QStringList orden;
        QWidget* w = desde;
        do {
            if (nombres.contains(w->objectName()) && !orden.contains(w->objectName()))
                orden.append(w->objectName());
            w = w->nextInFocusChain();
        } while (w != desde);
        return orden;
    };
    const QStringList principal = {u"chkImagenes"_s,    u"tblEnvios"_s,     u"tblFallidos"_s,
                                   u"tblAvisos"_s,      u"cmdConfigurar"_s, u"cmdLeerAhora"_s,
                                   u"cmdVistaPrevia"_s, u"cmdBitacora"_s,   u"cmdMinimizar"_s,
                                   u"cmdTerminar"_s};
    EXPECT_EQ(ordenDe(v->principal->chkImagenes, principal), principal);
    // The boxes as they stand on the page: group by group, and in each row by row.
    QTest::mouseClick(v->principal->cmdConfigurar, Qt::LeftButton);
    QList<QWidget*> cajas;
    for (int i = 0; i < 18; ++i)
        cajas.append(v->configuracion->txtDato(i));
    QTabWidget* grupos = v->configuracion->tabGrupos;
    auto grupo = [&](QWidget* w) {
        for (int g = 0; g < grupos->count(); ++g)
            if (grupos->widget(g)->isAncestorOf(w))
                return g;
        return -1;
    };
    auto lugar = [&](QWidget* w) {
        grupos->setCurrentIndex(grupo(w));
        return std::tuple(grupo(w), w->mapTo(grupos->widget(grupo(w)), QPoint(0, 0)).y());
    };
    std::sort(cajas.begin(), cajas.end(),
              [&](QWidget* a, QWidget* b) { return lugar(a) < lugar(b); });
    QStringList configuracion = {u"chkVerPass"_s};
    for (QWidget* caja : cajas)
        configuracion.append(caja->objectName());
    configuracion << u"cmdProbar"_s << u"cmdGrabar"_s << u"cmdCancelar"_s;
    EXPECT_EQ(ordenDe(v->configuracion->chkVerPass, configuracion), configuracion);
    QTest::mouseClick(v->configuracion->cmdCancelar, Qt::LeftButton);

    v->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    // Through the window, as the platform delivers keys (mnemonics are matched there).
    QTest::keyClick(v->windowHandle(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(esperarEnvio().leidos, 3) << "Alt+E sends now";

    QTest::keyClick(v->windowHandle(), Qt::Key_C, Qt::AltModifier);
    // A mnemonic clicks its button a moment later, as the button shows itself pressed.
    EXPECT_TRUE(QTest::qWaitFor([&] { return v->stbTabs->currentIndex() == 1; }, 2000))
        << "Alt+C opens the configuration";
    v->stbTabs->setCurrentIndex(2);
    QTableWidget* reja = v->relacion->mhgReja;
    reja->setFocus();
    reja->setCurrentCell(3, 2); // Precio
    QTest::keyClick(reja, Qt::Key_F2);
    QApplication::processEvents();
    auto* editor = v->findChild<QComboBox*>(u"dcmCelda"_s);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->currentText(), u"price"_s);
    QTest::keyClick(editor, Qt::Key_Return);

    // No program to open documents: the box says where the file is.
    if (QDir::separator() == u'\\')
        GTEST_SKIP() << "En Windows el shell abre los documentos: un PATH vacío no lo impide";
    QTemporaryDir vacia;
    const QByteArray ruta = qgetenv("PATH");
    qputenv("PATH", vacia.path().toLocal8Bit());
    e.dialogos.cajas.clear();
    frmDescripcion::EditarINI(*e.c.archivos, e.ajustes.RutaIni);
    qputenv("PATH", ruta);
    ASSERT_EQ(e.dialogos.cajas.size(), 1);
    EXPECT_TRUE(e.dialogos.cajas[0].texto.contains(e.ajustes.RutaIni));
    EXPECT_EQ(e.dialogos.cajas[0].botones, Botones::Informacion);
}

// Every kind of box shows the program's own icon for its kind.
TEST(Cajas, IconosPropios) {
    DialogosQt dialogos;
    QImage vistos[4];
    const int tipos[] = {Botones::Pregunta, Botones::Informacion, Botones::Exclamacion,
                         Botones::Critico};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(tipos[i]);
        QTimer::singleShot(0, [&, i] {
            auto* cuadro = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(cuadro, nullptr);
            vistos[i] = cuadro->iconPixmap().toImage();
            cuadro->buttons().first()->click();
        });
        dialogos.mostrar(Caja{u"texto"_s, tipos[i] | Botones::SiNo, u"título"_s});
        const QImage propio = QIcon(DialogosQt::icono(tipos[i])).pixmap(QSize(48, 48)).toImage();
        ASSERT_FALSE(vistos[i].isNull());
        EXPECT_EQ(vistos[i].convertToFormat(QImage::Format_ARGB32),
                  propio.convertToFormat(QImage::Format_ARGB32));
    }
    EXPECT_NE(vistos[0], vistos[1]);
    EXPECT_NE(vistos[2], vistos[3]);
}

// The description is reflowed: lines of a paragraph joined, blank lines, headings and list items
// (with their continuation lines) kept apart.
TEST(Descripcion, ReflujoDelTexto) {
    const QString archivo = u"Título\n"
                            u"\n"
                            u"Una frase cortada\n"
                            u"en dos líneas.\n"
                            u"\n"
                            u"Encabezado\n"
                            u"  • Primero: sigue\n"
                            u"    aquí.\n"
                            u"  • Segundo.\n"
                            u"Otro\n"
                            u"  Texto sangrado\n"
                            u"  que sigue.\n"_s;
    EXPECT_EQ(frmDescripcion::Reflujo(archivo), u"Título\n"
                                                u"\n"
                                                u"Una frase cortada en dos líneas.\n"
                                                u"\n"
                                                u"Encabezado\n"
                                                u"• Primero: sigue aquí.\n"
                                                u"• Segundo.\n"
                                                u"Otro\n"
                                                u"Texto sangrado que sigue.\n"_s);
}

TEST(ProgresoFTP, TextosYRedondeo) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QString texto;
    int porcentaje = -1;
    ASSERT_TRUE(PrincipalPage::ProgresoFTP(1500, 3000, &texto, &porcentaje));
    EXPECT_EQ(texto, u"Bytes copiados 1,500 de 3,000"_s);
    EXPECT_EQ(porcentaje, 50);
    PrincipalPage::ProgresoFTP(999, 1000, &texto, &porcentaje);
    EXPECT_EQ(porcentaje, 100);
    PrincipalPage::ProgresoFTP(1, 8, &texto, &porcentaje);
    EXPECT_EQ(porcentaje, 12) << "halves go to the even neighbour";
    PrincipalPage::ProgresoFTP(3, 8, &texto, &porcentaje);
    EXPECT_EQ(porcentaje, 38);
    PrincipalPage::ProgresoFTP(0, 0, &texto, &porcentaje);
    EXPECT_EQ(porcentaje, 100) << "an empty file is all sent";
    EXPECT_EQ(texto, u"Bytes copiados 0 de 0"_s);
    // Five gigabytes: no overflow in the product.
    PrincipalPage::ProgresoFTP(qint64(5) << 30, qint64(10) << 30, &texto, &porcentaje);
    EXPECT_EQ(porcentaje, 50);
    texto = u"sin cambio"_s;
    EXPECT_FALSE(PrincipalPage::ProgresoFTP(2000, 1000, &texto, &porcentaje));
    EXPECT_EQ(texto, u"sin cambio"_s);
    QLocale::setDefault(QLocale::system());
}
