#include "principal_page.h"

#include "historial_envios.h"
#include "services/decontroles_gui.h"
#include "sync/ventana_envio.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
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
    lblFase = new QLabel(Picture2);
    nombrar(lblFase, u"lblFase"_s);
    lblFase->hide();
    barEnvio = new QProgressBar(Picture2);
    nombrar(barEnvio, u"barEnvio"_s);
    barEnvio->setFormat(u"%v de %m"_s);
    barEnvio->hide();
    // The run's lines keep their place while hidden and two lines of product for any name: nothing
    // below them moves when a run starts, goes on or ends.
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label3, Label5, lblFase, barEnvio, pctPorcen}) {
        QSizePolicy politica = w->sizePolicy();
        politica.setRetainSizeWhenHidden(true);
        w->setSizePolicy(politica);
    }
    Label3->setMinimumHeight(Label3->fontMetrics().lineSpacing() * 2);
    // A line each, empty or not: where an empty label asks for less than a line (Windows), the
    // first text would push the page down.
    for (QLabel* l : {Label5, lblFase})
        l->setMinimumHeight(l->fontMetrics().lineSpacing());
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    chkImagenes = new QCheckBox(u"Enviar archivos de imá&genes"_s, Picture2);
    nombrar(chkImagenes, u"chkImagenes"_s);
    lblUltimoEnvio = new QLabel(Picture2);
    nombrar(lblUltimoEnvio, u"lblUltimoEnvio"_s);
    lblUltimoEnvio->setWordWrap(true);
    lblUltimoEnvio->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblUltimoEnvio->setMinimumHeight(lblUltimoEnvio->fontMetrics().lineSpacing() * 3);
    lblUltimoEnvio->setAlignment(Qt::AlignLeft | Qt::AlignTop);

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
    lblAvisos = new QLabel(u"Productos enviados con avisos en el último envío:"_s, Picture2);
    nombrar(lblAvisos, u"lblAvisos"_s);
    tblAvisos = tabla(Picture2, u"tblAvisos"_s, {u"Clave"_s, u"Nombre"_s, u"Aviso"_s});
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
    contenido->addWidget(lblFase);
    contenido->addWidget(barEnvio);
    contenido->addWidget(pctPorcen);
    contenido->addWidget(chkImagenes);
    contenido->addWidget(lblUltimoEnvio);
    contenido->addWidget(lblEnvios);
    contenido->addWidget(tblEnvios, 3);
    contenido->addWidget(lblFallidos);
    contenido->addWidget(tblFallidos, 2);
    contenido->addWidget(lblAvisos);
    contenido->addWidget(tblAvisos, 2);

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
    QWidget* orden[] = {chkImagenes,  tblEnvios,      tblFallidos, tblAvisos,    cmdConfigurar,
                        cmdLeerAhora, cmdVistaPrevia, cmdBitacora, cmdMinimizar, cmdTerminar};
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

QString PrincipalPage::textoAvance(const AvanceEnvio& a) {
    const QLocale local;
    const QString de = u"%1 de %2"_s.arg(local.toString(a.hechos), local.toString(a.total));
    switch (a.fase) {
    case FaseEnvio::Leyendo:
        return a.total > 0 ? u"Leyendo lo que la tienda tiene de %1 productos…"_s.arg(
                                 local.toString(a.total))
                           : u"Leyendo los productos del punto de venta…"_s;
    case FaseEnvio::Comparando:
        return u"Comparando con la tienda: %1 productos"_s.arg(de);
    case FaseEnvio::Escribiendo:
        return u"Escribiendo en la tienda: %1 productos"_s.arg(de);
    case FaseEnvio::Imagenes:
        return u"Imágenes: %1 productos"_s.arg(de);
    }
    return {};
}

void PrincipalPage::mostrarAvance(const AvanceEnvio& a) {
    lblFase->setText(textoAvance(a));
    lblFase->show();
    // Reading has no count yet: the bar moves without one.
    if (a.fase == FaseEnvio::Leyendo || a.total <= 0) {
        barEnvio->setRange(0, 0);
    } else {
        // The bar counts in int: a larger catalogue is drawn in proportion.
        const qint64 escala = a.total > 1000000000 ? a.total / 1000000 + 1 : 1;
        barEnvio->setRange(0, int(a.total / escala));
        barEnvio->setValue(int(std::min(a.hechos, a.total) / escala));
    }
    barEnvio->show();
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
        } else if (e.conAvisos > 0 && i == 0) {
            tblEnvios->item(i, 8)->setToolTip(
                u"Los productos con avisos y sus valores están en la lista de abajo"_s);
        }
    }
    // Failures and warnings alike: key, name, and what happened in a cell that shows it whole.
    auto listar = [&celda](QTableWidget* t, const QList<ResumenEnvio::Fallo>& productos) {
        t->setRowCount(int(productos.size()));
        for (int i = 0; i < productos.size(); ++i) {
            t->setItem(i, 0, celda(productos[i].clave, false));
            t->setItem(i, 1, celda(productos[i].descripcion, false));
            auto* mensaje = celda(productos[i].mensaje, false);
            mensaje->setToolTip(productos[i].mensaje);
            t->setItem(i, 2, mensaje);
        }
    };
    listar(tblFallidos, historial.fallidosUltimo());
    listar(tblAvisos, historial.avisosUltimo());
    lblAvisos->setText(
        u"Productos enviados con avisos en el último envío (lo enviado y lo que la tienda "_s
        u"guardó): %1"_s.arg(local.toString(historial.avisosUltimo().size())));
}
