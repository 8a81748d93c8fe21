#include "frmvistaprevia_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
QString mostrar(const Valor& v) {
    return v.esNulo() ? u"(nulo)"_s : v.texto();
}
} // namespace

frmVistaPrevia::frmVistaPrevia(QWidget* padre)
    : QWidget(padre, Qt::Window) {
    setObjectName(u"frmVistaPrevia"_s);
    setWindowTitle(u"Vista previa del próximo envío"_s);
    lblEstado = new QLabel(this);
    lblEstado->setObjectName(u"lblEstado"_s);
    lblEstado->setWordWrap(true);
    tabTablas = new QTabWidget(this);
    tabTablas->setObjectName(u"tabTablas"_s);
    auto* cmdCerrar = new QPushButton(u"&Cerrar"_s, this);
    connect(cmdCerrar, &QPushButton::clicked, this, &QWidget::close);
    auto* distribucion = new QVBoxLayout(this);
    distribucion->addWidget(lblEstado);
    distribucion->addWidget(tabTablas, 1);
    distribucion->addWidget(cmdCerrar, 0, Qt::AlignRight);
    resize(860, 540);
}

void frmVistaPrevia::empezar() {
    while (tabTablas->count() > 0) {
        QWidget* pagina = tabTablas->widget(0);
        tabTablas->removeTab(0);
        delete pagina;
    }
    lblEstado->setText(u"Leyendo el punto de venta y la tienda; no se escribe nada…"_s);
}

QTableWidget* frmVistaPrevia::tabla(const QString& nombre) const {
    for (int i = 0; i < tabTablas->count(); ++i)
        if (tabTablas->tabText(i) == nombre)
            return qobject_cast<QTableWidget*>(tabTablas->widget(i));
    return nullptr;
}

void frmVistaPrevia::agregar(const CambioPrevisto& cambio) {
    QTableWidget* t = tabla(cambio.tabla);
    if (!t) {
        t = new QTableWidget(0, 4, tabTablas);
        t->setObjectName(u"tbl_"_s + cambio.tabla);
        t->setHorizontalHeaderLabels(
            {u"Clave"_s, u"Columna"_s, u"Ahora"_s, u"Después del envío"_s});
        t->verticalHeader()->hide();
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        t->horizontalHeader()->setStretchLastSection(true);
        tabTablas->addTab(t, cambio.tabla);
    }
    const int r = t->rowCount();
    t->insertRow(r);
    const QString textos[] = {cambio.clave, cambio.columna,
                              cambio.insercion ? u"(fila nueva)"_s : mostrar(cambio.anterior),
                              mostrar(cambio.posterior)};
    for (int c = 0; c < 4; ++c) {
        auto* celda = new QTableWidgetItem(textos[c]);
        celda->setToolTip(textos[c]);
        t->setItem(r, c, celda);
    }
}

void frmVistaPrevia::terminar(const ResumenEnvio& resumen) {
    for (int i = 0; i < tabTablas->count(); ++i)
        if (auto* t = qobject_cast<QTableWidget*>(tabTablas->widget(i)))
            t->resizeColumnsToContents();
    QString texto;
    if (resumen.estado != ResumenEnvio::Estado::Terminado)
        texto = u"La vista previa no terminó: "_s +
                (resumen.mensaje.isEmpty() ? u"interrumpida"_s : resumen.mensaje) + u". "_s;
    else if (tabTablas->count() == 0)
        texto = u"El próximo envío no cambiaría nada en la tienda. "_s;
    else
        texto = u"El próximo envío escribiría estos cambios (no se escribió nada). "_s;
    lblEstado->setText(texto + u"Productos leídos: "_s + QString::number(resumen.leidos) + u'.');
}
