#include "campos_page.h"

#include "grid/clscolumnasgrid.h"
#include "grid/ediciongrid.h"
#include "grid/zonafija.h"
#include "services/decontroles_gui.h"
#include "services/dialogos.h"
#include "services/libqvtx.h"
#include "services/mensajes.h"
#include "services/ventanas_gui.h"
#include "sync/comprobacion.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QToolTip>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// A cell too narrow for its text shows the whole text as its tool tip.
class TextoCompleto : public QObject {
public:
    explicit TextoCompleto(QTableView* vista)
        : QObject(vista)
        , m_vista(vista) {
        setObjectName(u"textoCompleto"_s);
    }

    bool eventFilter(QObject*, QEvent* evento) override {
        if (evento->type() != QEvent::ToolTip)
            return false;
        const auto* ayuda = static_cast<QHelpEvent*>(evento);
        const QModelIndex celda = m_vista->indexAt(ayuda->pos());
        const QString texto = celda.data().toString();
        // The style's text margins on both sides of a cell.
        const int margen = 2 * (m_vista->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        if (!texto.isEmpty() && m_vista->fontMetrics().horizontalAdvance(texto) + margen >
                                    m_vista->columnWidth(celda.column()))
            QToolTip::showText(ayuda->globalPos(), texto, m_vista->viewport());
        else
            QToolTip::hideText();
        return true;
    }

private:
    QTableView* m_vista;
};

// What each web column takes, shown below the grid while it is the current column.
QString ayudaDe(int columna) {
    switch (columna) {
    case 2:
        return u"<b>Equivalente en web</b>: la columna de la tienda que recibe este campo; vacía, "
               u"el campo no se envía. Si el renglón tiene tabla externa, es una columna de esa "
               u"tabla; si no, de la tabla de productos."_s;
    case 3:
        return u"<b>Tabla externa</b>: vacía cuando la columna está en la tabla de productos; si "
               u"no, la tabla de la tienda que la guarda (el nombre y la descripción de OpenCart "
               u"están en <i>oc_product_description</i>, una fila por idioma)."_s;
    case 4:
        return u"<b>Llave en tabla principal</b>: la columna de la tabla de productos cuyo valor "
               u"identifica al producto en la tabla externa (en OpenCart, <i>product_id</i>)."_s;
    case 5:
        return u"<b>Llave en tabla externa</b>: la columna de la tabla externa que guarda ese "
               u"identificador, p. ej. <i>product_id</i> (una fila por producto). Para escribir "
               u"en filas elegidas, agregue condiciones <i>,columna=valor</i>: "
               u"<i>product_id,language_id=1</i> escribe la fila del idioma 1; "
               u"<i>product_id,language_id=1,language_id=2</i> escribe el mismo valor en las "
               u"filas de los idiomas 1 y 2. Cada condición es una fila, no se combinan. Sin "
               u"espacios: un espacio junto a la coma forma parte del nombre."_s;
    default:
        return u"Elija una celda de las columnas de la web. Tab pasa a la siguiente, Supr la "
               u"vacía, Ctrl+Tab sale de la relación."_s;
    }
}

// The shop's connection as the settings give it: lists read for another one are of no use.
QString firmaDe(const Ajustes& a) {
    return QStringList{a.DireccionIP,      QString::number(a.PuertoWeb),
                       a.UsuarioWeb,       a.ContrasenaWeb,
                       a.BaseDatosWeb,     a.ConexionSeguraWeb,
                       a.CertificadoCaWeb, a.TunelSsh,
                       a.UsuarioSsh,       a.PasswordSsh,
                       a.LlaveSsh,         a.FraseLlaveSsh}
        .join(QChar(0x1f));
}
} // namespace

CamposPage::CamposPage(QWidget* padre)
    : QWidget(padre) {
    setObjectName(u"RelacionCampos"_s);
    lblListas = new QLabel(this);
    lblListas->setObjectName(u"lblListas"_s);
    lblListas->setWordWrap(true);
    cmdLeerListas = new QPushButton(u"&Leer tablas de la tienda"_s, this);
    cmdLeerListas->setObjectName(u"cmdLeerListas"_s);
    mhgReja = new QTableWidget(2, Columnas, this);
    mhgReja->setObjectName(u"mhgReja"_s);
    mhgReja->viewport()->installEventFilter(new TextoCompleto(mhgReja));
    lblAyuda = new QLabel(this);
    lblAyuda->setObjectName(u"lblAyuda"_s);
    lblAyuda->setWordWrap(true);
    lblAyuda->setTextFormat(Qt::RichText);
    // Room for the longest explanation, so the grid does not jump as the column changes.
    lblAyuda->setMinimumHeight(4 * lblAyuda->fontMetrics().lineSpacing());
    lblAyuda->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdGrabar = new QPushButton(u"&Grabar"_s, this);
    cmdGrabar->setObjectName(u"cmdGrabarRelacion"_s);

    auto* arriba = new QHBoxLayout;
    arriba->addWidget(lblListas, 1);
    arriba->addWidget(cmdLeerListas);
    auto* abajo = new QHBoxLayout;
    abajo->addWidget(lblAyuda, 1);
    abajo->addWidget(cmdGrabar, 0, Qt::AlignBottom);
    auto* pagina = new QVBoxLayout(this);
    pagina->addLayout(arriba);
    pagina->addWidget(mhgReja, 1);
    pagina->addLayout(abajo);
    setTabOrder(cmdLeerListas, mhgReja);
    setTabOrder(mhgReja, cmdGrabar);

    connect(cmdLeerListas, &QPushButton::clicked, this, [this] { leerListas(true); });
    connect(mhgReja, &QTableWidget::currentCellChanged, this,
            [this](int, int columna, int, int) { mostrarAyuda(columna); });
    mostrarAyuda(-1);
    mostrarListas();
}

CamposPage::~CamposPage() {
    for (const QPointer<QThread>& hilo : std::as_const(m_hilos))
        if (hilo) {
            hilo->wait();
            delete hilo.data();
        }
}

void CamposPage::configurarEdicion(QWidget* ventana) {
    if (!mGrid)
        mGrid = new EdicionGrid(this);
    mGrid->setFrmVentana(ventana);
    mGrid->setFlexGrid(mhgReja);
    mGrid->setFactorVertical(500);
    mGrid->setFactorHorizontal(80);
    mGrid->setAgregarRenglones(false);
    mGrid->setObjetoDeMetodos(this);
    // Delete empties the current cell: a row stands for a point-of-sale column and stays.
    mGrid->setSuprimeLinea(u"LimpiarCelda"_s);
    // Lists that choose nothing by themselves: an empty cell stays empty until a name is picked or
    // typed.
    for (quint8 columna = 2; columna <= 5; ++columna)
        mGrid->AgregaColumna(columna, TipoEditor::DataCombo, u"X"_s, 0, {}, {}, {}, {},
                             u"LlenarListas"_s);
}

void CamposPage::encabezados() {
    static const QString Titulos[Columnas] = {
        QString(),          u"Campo de Velmora"_s,         u"Equivalente en web"_s,
        u"Tabla externa"_s, u"Llave en tabla principal"_s, u"Llave en tabla externa"_s};
    for (int c = 0; c < Columnas; ++c) {
        mhgReja->setItem(0, c, new QTableWidgetItem(Titulos[c]));
        auto* titulo = new QTableWidgetItem(Titulos[c]);
        titulo->setToolTip(c >= 2 ? ayudaDe(c) : Titulos[c]);
        mhgReja->setHorizontalHeaderItem(c, titulo);
    }
}

void CamposPage::reiniciar(const libQVTX& qvtx, const QString& rutaIni) {
    mhgReja->clearContents();
    mhgReja->setRowCount(2);
    mhgReja->setColumnCount(Columnas);
    ZonaFija::Fijar(mhgReja, 1, 2);
    // The point-of-sale names are shown by the fixed columns' own view, over the grid's.
    auto* fija = mhgReja->findChild<QTableView*>(u"vistaFija"_s);
    if (fija && !fija->findChild<QObject*>(u"textoCompleto"_s, Qt::FindDirectChildrenOnly))
        fija->viewport()->installEventFilter(new TextoCompleto(fija));
    encabezados();
    // The header row is drawn by a header whose borders the user drags to resize the columns;
    // row 0 keeps the titles (the grid's indices stay the program's) but is not shown.
    QHeaderView* cabecera = mhgReja->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::Interactive);
    cabecera->setStretchLastSection(false);
    cabecera->setMinimumSectionSize(12);
    cabecera->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    cabecera->show();
    mhgReja->setRowHidden(0, true);
    for (int c = 0; c < Columnas; ++c) {
        mhgReja->setColumnWidth(c, twips::aPixelesX(mhgReja, Anchos[c]));
        const double guardado = libQVTX::qvVal(qvtx.LeeIni(SeccionReja, claveReja(c), rutaIni));
        if (guardado > 0)
            mhgReja->setColumnWidth(c, twips::aPixelesX(mhgReja, int(guardado)));
    }
}

void CamposPage::llenar(const QList<Estrucs>& filas, const DeControles* controles) {
    mhgReja->setRowCount(1);
    for (const Estrucs& e : filas) {
        const int r = mhgReja->rowCount();
        mhgReja->setRowCount(r + 1);
        const QString textos[Columnas] = {
            QString::number(r), e.DeVM,         e.DeWeb,
            e.TablaExterna,     e.LlaveEnProds, e.LlaveEnTablaExterna};
        for (int c = 0; c < Columnas; ++c) {
            auto* celda = new QTableWidgetItem(textos[c]);
            if (c > 0)
                celda->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            mhgReja->setItem(r, c, celda);
        }
        if (controles)
            controles->PintarRenglon(mhgReja, r, r, 2);
    }
    ZonaFija::FijarFilas(mhgReja, 1);
    if (mhgReja->rowCount() > 1)
        mhgReja->setCurrentCell(1, 2);
}

QList<Estrucs> CamposPage::filas() const {
    auto texto = [this](int r, int c) {
        const QTableWidgetItem* celda = mhgReja->item(r, c);
        return celda ? celda->text().trimmed() : QString();
    };
    QList<Estrucs> resultado;
    for (int r = 1; r < mhgReja->rowCount(); ++r)
        resultado.append(Estrucs{texto(r, 1), texto(r, 2), texto(r, 3), texto(r, 4), texto(r, 5)});
    return resultado;
}

int CamposPage::renglones() const {
    return mhgReja->rowCount();
}

void CamposPage::guardarAnchos(const libQVTX& qvtx, const QString& rutaIni) const {
    QList<std::pair<QString, QString>> claves;
    for (int c = 0; c < mhgReja->columnCount(); ++c)
        claves.append(
            {claveReja(c), QString::number(twips::dePixelesX(mhgReja, mhgReja->columnWidth(c)))});
    qvtx.EscribeIniVarios(SeccionReja, claves, rutaIni);
}

// ---- The shop's lists ----

QString CamposPage::firmaActual() const {
    return m_ajustes ? firmaDe(m_ajustes()) : QString();
}

const ListasTienda* CamposPage::listas() const {
    if (!m_listas || !m_listas->leidas || m_firmaListas != firmaActual())
        return nullptr;
    return m_listas.get();
}

void CamposPage::leerListas(bool deNuevo) {
    if (!m_ajustes)
        return;
    const Ajustes ajustes = m_ajustes();
    const QString firma = firmaDe(ajustes);
    if (!deNuevo && firma == m_firmaListas && (m_leyendo || m_listas))
        return;
    m_firmaListas = firma;
    m_baseListas = ajustes.BaseDatosWeb;
    m_listas.reset();
    const quint64 numero = ++m_lectura;
    if (ajustes.BaseDatosWeb.trimmed().isEmpty()) {
        auto sinBase = std::make_shared<ListasTienda>();
        sinBase->motivo = u"falta el nombre de la base de datos de la tienda (página "
                          u"Configuración)"_s;
        m_listas = sinBase;
        m_leyendo = false;
        mostrarListas();
        Q_EMIT listasTerminadas();
        return;
    }
    m_leyendo = true;
    mostrarListas();
    // A slow or silent server takes its whole time-outs: the window goes on answering, and the
    // names can be typed meanwhile.
    auto leidas = std::make_shared<ListasTienda>();
    QThread* hilo = QThread::create([ajustes, leidas] { *leidas = LeerListasTienda(ajustes); });
    m_hilos.removeAll(nullptr);
    m_hilos.append(hilo);
    connect(hilo, &QThread::finished, hilo, &QObject::deleteLater);
    connect(hilo, &QThread::finished, this, [this, leidas, numero] {
        if (numero != m_lectura)
            return; // a later read (other settings, or "Leer" again) replaced this one
        m_listas = leidas;
        m_leyendo = false;
        mostrarListas();
        Q_EMIT listasTerminadas();
    });
    hilo->start();
}

void CamposPage::mostrarListas() {
    const QString base = u"«"_s + m_baseListas + u"»"_s;
    cmdLeerListas->setEnabled(!m_leyendo);
    if (m_leyendo)
        lblListas->setText(u"Leyendo las tablas de la base de datos %1 de la tienda…"_s.arg(base));
    else if (m_listas && m_listas->leidas)
        lblListas->setText(u"Listas de la tienda: %1 tablas de la base de datos %2. Elija de la "
                           u"lista de cada celda o escriba el nombre."_s.arg(
                               QString::number(m_listas->tablas.size()), base));
    else if (m_listas)
        lblListas->setText(
            u"Sin listas de la tienda: %1. Los nombres se pueden escribir a mano."_s.arg(
                m_listas->motivo));
    else
        lblListas->clear();
}

void CamposPage::LlenarListas(QComboBox* control, int renglon, int columna) {
    control->clear();
    const ListasTienda* l = listas();
    if (!l) {
        control->setToolTip(lblListas->text());
        return;
    }
    control->setToolTip(QString());
    const Ajustes ajustes = m_ajustes();
    auto celda = [this, renglon](int c) {
        const QTableWidgetItem* item = mhgReja->item(renglon, c);
        return item ? item->text().trimmed() : QString();
    };
    const QString externa = celda(3);
    const QString productos = ajustes.TablaProductosWeb.trimmed();
    QString tabla;
    switch (columna) {
    case 2:
        tabla = externa.isEmpty() ? productos : externa;
        break;
    case 3:
        control->addItems(l->tablas);
        return;
    case 4:
        tabla = productos;
        break;
    case 5:
        tabla = externa;
        break;
    default:
        return;
    }
    for (const ColumnaTienda& c : l->esquema.value(tabla).columnas)
        control->addItem(c.nombre);
}

void CamposPage::LimpiarCelda(int renglon) {
    const int columna = mhgReja->currentColumn();
    if (columna < 2 || renglon < 1)
        return;
    if (QTableWidgetItem* celda = mhgReja->item(renglon, columna))
        celda->setText(QString());
}

void CamposPage::mostrarAyuda(int columna) {
    lblAyuda->setText(ayudaDe(columna));
}

bool CamposPage::confirmarNombres(const QList<Estrucs>& filas) const {
    const ListasTienda* l = listas();
    if (!l)
        return true;
    const Ajustes ajustes = m_ajustes();
    clnCampos campos;
    for (const Estrucs& f : filas)
        if (!f.DeWeb.trimmed().isEmpty())
            campos.append(f);
    const QStringList faltan = NombresQueFaltan(campos, ajustes, *l);
    if (faltan.isEmpty())
        return true;
    const QChar cr(u'\r');
    return Pregunta(u"En la base de datos «%1» de la tienda faltan nombres que se usarían al "
                    u"enviar:"_s.arg(ajustes.BaseDatosWeb) +
                        cr + cr + u"• "_s + faltan.join(cr + u"• "_s) + cr + cr +
                        u"Corrija los nombres (las listas de la relación de campos muestran los "
                        u"que hay). ¿Grabar de todos modos?"_s,
                    u"Grabar"_s, true);
}
