#include "frmdescripcion_window.h"

#include "services/dearchivos.h"
#include "services/dialogos.h"
#include "services/libqvtx.h"
#include "services/ventanas_gui.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QRegularExpression>
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
    connect(mnEditINI, &QAction::triggered, this, [this] { EditarINI(m_archivos, m_rutaIni); });

    auto* centro = new QWidget(this);
    setCentralWidget(centro);
    rtbTexto = new QTextEdit(centro);
    rtbTexto->setObjectName(u"rtbTexto"_s);
    rtbTexto->setReadOnly(true);
    QFile texto(rutaTexto);
    if (texto.open(QIODevice::ReadOnly))
        rtbTexto->setPlainText(Reflujo(QString::fromUtf8(texto.readAll())));

    resize(twips::aPixelesX(this, 9180), twips::aPixelesY(this, 6330));
    Form_Load();
}

void frmDescripcion::EditarINI(const DeArchivos& archivos, const QString& rutaIni) {
    if (archivos.AbreDocumento(rutaIni))
        return;
    CajaMensaje(u"Ningún programa pudo abrir el archivo de configuración. Puede abrirlo con un "
                u"editor de texto; está en:\n"_s +
                    QDir::toNativeSeparators(rutaIni),
                Botones::Informacion, u"Archivo de configuración"_s);
}

QString frmDescripcion::Reflujo(const QString& texto) {
    // The file is written with line breaks for editors; the window wraps to its own width. A
    // line joins the one before it when both are indented alike, unless a blank line (a
    // paragraph) or a list item ("• ", "- ") comes between; a change of indentation (a heading
    // and its indented lines, or the end of a list) starts a new line.
    static const QRegularExpression vineta(u"^\\s*([•\\-*] )"_s);
    QStringList salida;
    bool unir = false;
    QString anterior;
    for (QString linea : QString(texto).replace(u"\r\n"_s, u"\n"_s).split(u'\n')) {
        const bool sangrada = linea.startsWith(u' ');
        if (linea.trimmed().isEmpty()) {
            salida.append(QString());
            unir = false;
        } else if (vineta.match(linea).hasMatch()) {
            salida.append(linea.trimmed());
            unir = true;
        } else if (unir && sangrada == anterior.startsWith(u' ')) {
            salida.last() += u' ' + linea.trimmed();
        } else {
            salida.append(sangrada ? linea.trimmed() : linea);
            unir = true;
        }
        anterior = linea;
    }
    return salida.join(u'\n');
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
