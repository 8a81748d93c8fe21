#include "principal_page.h"

#include "historial_envios.h"
#include "services/decontroles_gui.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
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
    cmdConfigurar = new QPushButton(u"&Configurar"_s, this);
    nombrar(cmdConfigurar, u"cmdConfigurar"_s);
    cmdLeerAhora = new QPushButton(u"&Enviar ahora"_s, this);
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
    chkImagenes = new QCheckBox(u"Enviar archivos de imá&genes"_s, Picture2);
    nombrar(chkImagenes, u"chkImagenes"_s);
    lblUltimoEnvio = new QLabel(Picture2);
    nombrar(lblUltimoEnvio, u"lblUltimoEnvio"_s);
    lblUltimoEnvio->setWordWrap(true);
    lblUltimoEnvio->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The last runs and the last run's failures: read-only tables that fit their page.
    auto tabla = [&nombrar](QWidget* dueno, const QString& nombre, const QStringList& titulos) {
        auto* t = new QTableWidget(0, int(titulos.size()), dueno);
        nombrar(t, nombre);
        t->setHorizontalHeaderLabels(titulos);
        t->verticalHeader()->hide();
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        t->horizontalHeader()->setStretchLastSection(true);
        return t;
    };
    auto* lblEnvios = new QLabel(u"Últimos envíos:"_s, Picture2);
    tblEnvios = tabla(Picture2, u"tblEnvios"_s,
                      {u"Inicio"_s, u"Duración"_s, u"Leídos"_s, u"Creados"_s, u"Actualizados"_s,
                       u"Con error"_s, u"Con avisos"_s, u"Imágenes"_s, u"Resultado"_s});
    auto* lblFallidos = new QLabel(u"Productos no enviados en el último envío:"_s, Picture2);
    tblFallidos = tabla(Picture2, u"tblFallidos"_s, {u"Clave"_s, u"Nombre"_s, u"Motivo"_s});
    cmdBitacora = new QPushButton(u"Ver &bitácora"_s, this);
    nombrar(cmdBitacora, u"cmdBitacora"_s);
    cmdVistaPrevia = new QPushButton(u"&Vista previa"_s, this);
    nombrar(cmdVistaPrevia, u"cmdVistaPrevia"_s);
    cmdVistaPrevia->setToolTip(
        u"Muestra lo que el próximo envío cambiaría en la tienda, sin escribir nada"_s);

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
    contenido->addWidget(lblEnvios);
    contenido->addWidget(tblEnvios, 3);
    contenido->addWidget(lblFallidos);
    contenido->addWidget(tblFallidos, 2);

    auto* botones = new QHBoxLayout;
    botones->addWidget(cmdConfigurar);
    botones->addWidget(cmdLeerAhora);
    botones->addWidget(cmdVistaPrevia);
    botones->addWidget(cmdBitacora);
    botones->addStretch(1);
    botones->addWidget(cmdMinimizar);
    botones->addWidget(cmdTerminar);
    auto* pagina = new QVBoxLayout(this);
    pagina->addWidget(Picture2, 1);
    pagina->addLayout(botones);

    // Tab follows the screen: top to bottom, then the buttons from left to right.
    QWidget* orden[] = {chkImagenes,    tblEnvios,   tblFallidos,  cmdConfigurar, cmdLeerAhora,
                        cmdVistaPrevia, cmdBitacora, cmdMinimizar, cmdTerminar};
    for (size_t i = 1; i < std::size(orden); ++i)
        setTabOrder(orden[i - 1], orden[i]);
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

void PrincipalPage::mostrarHistorial(const HistorialEnvios& historial) {
    const QLocale local;
    auto celda = [](const QString& texto, bool numero) {
        auto* c = new QTableWidgetItem(texto);
        c->setTextAlignment(numero ? Qt::AlignRight | Qt::AlignVCenter
                                   : Qt::AlignLeft | Qt::AlignVCenter);
        return c;
    };
    const auto& envios = historial.envios();
    tblEnvios->setRowCount(int(envios.size()));
    for (int i = 0; i < envios.size(); ++i) {
        const HistorialEnvios::Envio& e = envios[envios.size() - 1 - i]; // newest first
        const QString resultado = e.resultado();
        QString imagenes = u"—"_s;
        if (e.conImagenes) {
            imagenes = local.toString(e.imagenesSubidas);
            if (e.imagenesFallidas > 0)
                imagenes += u", %1 con error"_s.arg(local.toString(e.imagenesFallidas));
        }
        const QString textos[] = {e.inicio.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s),
                                  local.toString(e.segundos, 'f', 1) + u" s"_s,
                                  local.toString(e.leidos),
                                  local.toString(e.creados),
                                  local.toString(e.actualizados),
                                  local.toString(e.fallidos),
                                  local.toString(e.conAvisos),
                                  imagenes,
                                  resultado};
        for (int c = 0; c < 9; ++c)
            tblEnvios->setItem(i, c, celda(textos[c], c > 0 && c < 8));
        if (!e.motivoImagenes.isEmpty()) {
            tblEnvios->item(i, 7)->setToolTip(e.motivoImagenes);
            tblEnvios->item(i, 8)->setToolTip(e.motivoImagenes);
        }
    }
    const auto& fallidos = historial.fallidosUltimo();
    tblFallidos->setRowCount(int(fallidos.size()));
    for (int i = 0; i < fallidos.size(); ++i) {
        tblFallidos->setItem(i, 0, celda(fallidos[i].clave, false));
        tblFallidos->setItem(i, 1, celda(fallidos[i].descripcion, false));
        auto* mensaje = celda(fallidos[i].mensaje, false);
        mensaje->setToolTip(fallidos[i].mensaje);
        tblFallidos->setItem(i, 2, mensaje);
    }
}
