#include "frmdescripcion_window.h"

#include "services/dearchivos.h"
#include "services/libqvtx.h"
#include "services/ventanas_gui.h"

#include <QCloseEvent>
#include <QFile>
#include <QMenuBar>
#include <QTextEdit>

using namespace Qt::StringLiterals;

frmDescripcion::frmDescripcion(const libQVTX& qvtx, const DeArchivos& archivos,
                               const QString& rutaIni, const QString& rutaTexto, QWidget* padre)
    : QMainWindow(padre, Qt::Window)
    , m_qvtx(qvtx)
    , m_archivos(archivos)
    , m_rutaIni(rutaIni) {
    setObjectName(u"frmDescripcion"_s);
    setWindowTitle(u"Descripción del programa"_s);
    setAttribute(Qt::WA_DeleteOnClose);

    QMenu* mnUno = menuBar()->addMenu(u"Uno"_s);
    mnUno->setObjectName(u"mnUno"_s);
    QAction* mnDescrip = mnUno->addAction(u"Descripción del programa"_s);
    mnDescrip->setObjectName(u"mnDescrip"_s);
    QAction* mnEditINI = mnUno->addAction(u"Editar archivo INI de configuración"_s);
    mnEditINI->setObjectName(u"mnEditINI"_s);
    connect(mnDescrip, &QAction::triggered, this, [this] {
        show();
        raise();
    });
    connect(mnEditINI, &QAction::triggered, this, [this] { m_archivos.AbreDocumento(m_rutaIni); });

    auto* centro = new QWidget(this);
    setCentralWidget(centro);
    rtbTexto = new QTextEdit(centro);
    rtbTexto->setObjectName(u"rtbTexto"_s);
    rtbTexto->setReadOnly(true);
    QFile texto(rutaTexto);
    if (texto.open(QIODevice::ReadOnly))
        rtbTexto->setPlainText(QString::fromUtf8(texto.readAll()));

    resize(twips::aPixelesX(this, 9180), twips::aPixelesY(this, 6330));
    Form_Load();
}

void frmDescripcion::Form_Load() {
    GeometriaVentana g = geometriaDe(this);
    RecuperarVentana(g, true, m_qvtx, m_rutaIni);
    aplicarGeometria(this, g, true);
}

void frmDescripcion::Form_Unload() {
    if (m_guardada)
        return;
    m_guardada = true;
    GuardarVentana(geometriaDe(this), true, m_qvtx, m_rutaIni);
}

void frmDescripcion::resizeEvent(QResizeEvent* evento) {
    QMainWindow::resizeEvent(evento);
    // The text box follows the window, keeping its designed margins; a window too small for them
    // (minimized, say) leaves the box as it is.
    const int ancho = width() - twips::aPixelesX(this, 260);
    const int alto = height() - twips::aPixelesY(this, 600);
    if (ancho > 0 && alto > 0)
        rtbTexto->setGeometry(twips::aPixelesX(this, 60), twips::aPixelesY(this, 60), ancho, alto);
}

void frmDescripcion::closeEvent(QCloseEvent* evento) {
    Form_Unload();
    QMainWindow::closeEvent(evento);
}
