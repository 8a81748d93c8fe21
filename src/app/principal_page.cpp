#include "principal_page.h"

#include "services/decontroles_gui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

PrincipalPage::PrincipalPage(QWidget* padre)
    : QWidget(padre) {
    setObjectName(u"Principal"_s);
    auto nombrar = [](QWidget* w, const QString& nombre) {
        w->setObjectName(nombre);
        return w;
    };
    cmdConfigurar = new QPushButton(u"Configurar"_s, this);
    nombrar(cmdConfigurar, u"cmdConfigurar"_s);
    cmdLeerAhora = new QPushButton(u"Enviar ahora"_s, this);
    nombrar(cmdLeerAhora, u"cmdLeerAhora"_s);
    // The picture buttons carry their caption as tool tip and accessible name.
    auto botonImagen = [this, &nombrar](const QString& nombre, const QString& icono,
                                        const QString& ayuda) {
        auto* boton = new QPushButton(this);
        nombrar(boton, nombre);
        boton->setIcon(QIcon(icono));
        boton->setIconSize(QSize(32, 32));
        boton->setToolTip(ayuda);
        boton->setAccessibleName(ayuda);
        return boton;
    };
    cmdTerminar =
        botonImagen(u"cmdTerminar"_s, u":/vendaro/terminar.svg"_s, u"Cerrar el programa"_s);
    cmdMinimizar = botonImagen(u"cmdMinimizar"_s, u":/vendaro/minimizar.svg"_s,
                               u"Ocultar ventana, enviándola a la barra de tareas"_s);

    Picture2 = new QFrame(this);
    nombrar(Picture2, u"Picture2"_s);
    auto* titulo = new QLabel(u"Actualización de productos"_s, Picture2);
    nombrar(titulo, u"lblTitulo"_s);
    QFont grande = titulo->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.4);
    grande.setBold(true);
    titulo->setFont(grande);
    auto* faltan = new QLabel(u"Para envío de información faltan:"_s, Picture2);
    nombrar(faltan, u"lblFaltan"_s);
    lblInfo = new QLabel(Picture2);
    nombrar(lblInfo, u"lblInfo"_s);
    QFont negrita = lblInfo->font();
    negrita.setBold(true);
    lblInfo->setFont(negrita);
    Label3 = new QLabel(Picture2);
    nombrar(Label3, u"Label3"_s);
    Label3->setWordWrap(true);
    Label3->hide();
    Label5 = new QLabel(Picture2);
    nombrar(Label5, u"Label5"_s);
    Label5->hide();
    pctPorcen = new CajaPorcentaje(Picture2);
    nombrar(pctPorcen, u"pctPorcen"_s);
    pctPorcen->hide();
    chkImagenes = new QCheckBox(u"Enviar archivos de imágenes"_s, Picture2);
    nombrar(chkImagenes, u"chkImagenes"_s);
    lblUltimoEnvio = new QLabel(Picture2);
    nombrar(lblUltimoEnvio, u"lblUltimoEnvio"_s);
    lblUltimoEnvio->setWordWrap(true);
    lblUltimoEnvio->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* contenido = new QVBoxLayout(Picture2);
    contenido->addWidget(titulo);
    auto* cuenta = new QHBoxLayout;
    cuenta->addWidget(faltan);
    cuenta->addWidget(lblInfo, 1);
    contenido->addLayout(cuenta);
    contenido->addWidget(Label3);
    contenido->addWidget(Label5);
    contenido->addWidget(pctPorcen);
    contenido->addWidget(chkImagenes);
    contenido->addWidget(lblUltimoEnvio);
    contenido->addStretch(1);

    auto* botones = new QHBoxLayout;
    botones->addWidget(cmdConfigurar);
    botones->addWidget(cmdLeerAhora);
    botones->addStretch(1);
    botones->addWidget(cmdMinimizar);
    botones->addWidget(cmdTerminar);
    auto* pagina = new QVBoxLayout(this);
    pagina->addWidget(Picture2, 1);
    pagina->addLayout(botones);
}

bool PrincipalPage::ProgresoFTP(qint64 lCurrentBytes, qint64 lTotalBytes, QString* texto,
                                int* porcentaje) {
    if (lTotalBytes < lCurrentBytes)
        return false;
    const double proporcion =
        lTotalBytes > 0 ? double(lCurrentBytes) * 100.0 / double(lTotalBytes) : 100.0;
    *porcentaje = int(std::min(100.0, std::nearbyint(proporcion)));
    const QLocale local;
    *texto = u"Bytes copiados "_s + local.toString(lCurrentBytes) + u" de "_s +
             local.toString(lTotalBytes);
    return true;
}
