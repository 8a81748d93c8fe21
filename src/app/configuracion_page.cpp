#include "configuracion_page.h"

#include "grid/codigotecla.h"
#include "services/libqvtx.h"
#include "services/numeros.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
struct Campo {
    int indice;
    const char16_t* etiqueta;
    const char16_t* clase;
    bool oculto;
};
// In tab order, which is also their order from top to bottom.
const Campo Campos[] = {
    {0, u"Base de datos VMP:", u"¡", false},
    {1, u"Intervalo (minutos):", u"9", false},
    {4, u"IP de la base de datos WEB:", u"X", false},
    {2, u"Base de datos WEB:", u"¡", false},
    {7, u"Puerto:", u"9", false},
    {6, u"Nombre de la tabla de productos:", u"¡", false},
    {3, u"Usuario:", u"X", true},
    {5, u"Contraseña:", u"X", true},
    {9, u"Tabla externa:", u"¡", false},
    {10, u"Campo llave en tabla de prods. web:", u"X", false},
    {11, u"Campo llave en tabla externa:", u"X", false},
    {16, u"Campo en tabla externa:", u"X", false},
    {17, u"Prefijo a concatenar en el campo:", u"X", false},
    {12, u"Ruta FTP:", u"X", false},
    {13, u"Carpeta:", u"X", false},
    {14, u"Usuario:", u"X", true},
    {15, u"Contraseña:", u"X", true},
    {8, u"Campo llave en tabla de prods. web:", u"X", false},
};
// Boxes that share the line of the box before them.
bool mismaLinea(int indice) {
    return indice == 1 || indice == 5 || indice == 15;
}
const QString Asterisco = u"QLineEdit[echoMode=\"2\"] { lineedit-password-character: 42; }"_s;
} // namespace

QString ConfiguracionPage::clase(int indice) {
    for (const Campo& c : Campos)
        if (c.indice == indice)
            return QString::fromUtf16(c.clase);
    return u"X"_s;
}

ConfiguracionPage::ConfiguracionPage(const libQVTX& qvtx, QWidget* padre)
    : QWidget(padre)
    , m_qvtx(qvtx) {
    setObjectName(u"Configuracion"_s);
    Picture1 = new QFrame(this);
    Picture1->setObjectName(u"Picture1"_s);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->setStyleSheet(Asterisco);
    chkVerPass = new QCheckBox(u"&Ver encriptados"_s, Picture1);
    chkVerPass->setObjectName(u"chkVerPass"_s);

    auto* rejilla = new QGridLayout(Picture1);
    rejilla->setColumnStretch(1, 1);
    rejilla->setColumnStretch(3, 1);
    rejilla->addWidget(chkVerPass, 0, 3, Qt::AlignRight);
    int fila = 1;
    auto encabezado = [&](const QString& texto, const QString& nombre) {
        auto* l = new QLabel(texto, Picture1);
        l->setObjectName(nombre);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        rejilla->addWidget(l, fila++, 0, 1, 4);
    };
    QWidget* anterior = nullptr;
    for (const Campo& c : Campos) {
        if (c.indice == 9)
            encabezado(u"Para los archivos de imágenes"_s, u"lblImagenes"_s);
        if (c.indice == 8)
            encabezado(u"Para tallas o colores:"_s, u"lblTallas"_s);
        auto* caja = new QLineEdit(Picture1);
        caja->setObjectName(u"txtDato_"_s + QString::number(c.indice));
        caja->installEventFilter(this);
        if (c.oculto)
            caja->setEchoMode(QLineEdit::Password);
        auto* etiqueta = new QLabel(QString::fromUtf16(c.etiqueta), Picture1);
        etiqueta->setObjectName(u"lblDato_"_s + QString::number(c.indice));
        etiqueta->setBuddy(caja);
        if (c.indice == 1) {
            caja->setAlignment(Qt::AlignRight);
            caja->setMaxLength(4);
            caja->setMaximumWidth(caja->fontMetrics().horizontalAdvance(u"00000000"_s));
        }
        const int columna = mismaLinea(c.indice) ? 2 : 0;
        if (columna == 0 && !mismaLinea(c.indice))
            ++fila;
        rejilla->addWidget(etiqueta, fila - 1, columna, Qt::AlignRight);
        rejilla->addWidget(caja, fila - 1, columna + 1);
        m_txtDato[size_t(c.indice)] = caja;
        if (anterior)
            setTabOrder(anterior, caja);
        anterior = caja;
    }
    rejilla->setRowStretch(fila, 1);

    cmdGrabar = new QPushButton(u"&Grabar"_s, this);
    cmdGrabar->setObjectName(u"cmdGrabar"_s);
    cmdCancelar = new QPushButton(u"&Cancelar"_s, this);
    cmdCancelar->setObjectName(u"cmdCancelar"_s);
    cmdProbar = new QPushButton(u"&Probar conex."_s, this);
    cmdProbar->setObjectName(u"cmdProbar"_s);
    auto* botones = new QHBoxLayout;
    botones->addStretch(1);
    botones->addWidget(cmdProbar);
    botones->addWidget(cmdGrabar);
    botones->addWidget(cmdCancelar);
    auto* pagina = new QVBoxLayout(this);
    pagina->addWidget(Picture1, 1);
    pagina->addLayout(botones);
    // Tab follows the screen: the check box above the boxes, the boxes, then the buttons from
    // left to right.
    setTabOrder(chkVerPass, m_txtDato[0]);
    setTabOrder(anterior, cmdProbar);
    setTabOrder(cmdProbar, cmdGrabar);
    setTabOrder(cmdGrabar, cmdCancelar);

    connect(chkVerPass, &QCheckBox::toggled, this, &ConfiguracionPage::chkVerPass_Click);
}

QStringList ConfiguracionPage::textos() const {
    QStringList t;
    for (QLineEdit* caja : m_txtDato)
        t.append(caja->text());
    return t;
}

void ConfiguracionPage::chkVerPass_Click() {
    const auto modo = chkVerPass->isChecked() ? QLineEdit::Normal : QLineEdit::Password;
    for (int i : {3, 5, 14, 15})
        m_txtDato[size_t(i)]->setEchoMode(modo);
}

int ConfiguracionPage::indiceDe(const QObject* objeto) const {
    for (size_t i = 0; i < m_txtDato.size(); ++i)
        if (m_txtDato[i] == objeto)
            return int(i);
    return -1;
}

bool ConfiguracionPage::eventFilter(QObject* objeto, QEvent* evento) {
    const int i = indiceDe(objeto);
    if (i < 0)
        return QWidget::eventFilter(objeto, evento);
    auto* caja = m_txtDato[size_t(i)];
    switch (evento->type()) {
    case QEvent::FocusIn:
        // After the focus has settled, or the click that gave it would place the cursor.
        QTimer::singleShot(0, caja, [this, caja] { m_qvtx.Resalta(caja); });
        break;
    case QEvent::FocusOut: {
        // The interval must stay between 0 and 9999: the focus does not leave a wrong value.
        if (i != 1)
            break;
        const auto razon = static_cast<QFocusEvent*>(evento)->reason();
        const auto valor = entero16(libQVTX::qvVal(caja->text()));
        if (razon != Qt::ActiveWindowFocusReason && razon != Qt::PopupFocusReason &&
            (!valor || *valor < 0 || *valor > 9999)) {
            QApplication::beep();
            QTimer::singleShot(0, caja, [caja] { caja->setFocus(); });
        }
        break;
    }
    case QEvent::KeyPress: {
        auto* tecla = static_cast<QKeyEvent*>(evento);
        int codigo = CodigoTecla::DeQt(tecla->key());
        const AccionTecla navegacion =
            m_qvtx.Teclas(codigo, CodigoTecla::EstadoCambio(tecla->modifiers()));
        if (navegacion == AccionTecla::Siguiente || navegacion == AccionTecla::Anterior) {
            focusNextPrevChild(navegacion == AccionTecla::Siguiente);
            return true;
        }
        const int tecleado = CodigoTecla::Caracter(*tecla);
        if (tecleado == 0)
            return false;
        int caracter = tecleado;
        const AccionTecla accion = m_qvtx.Enter(caracter, clase(i));
        if (accion == AccionTecla::Siguiente) {
            focusNextPrevChild(true);
            return true;
        }
        if (caracter == 0) {
            if (accion == AccionTecla::Rechazo)
                QApplication::beep();
            return true;
        }
        if (caracter != tecleado) {
            caja->insert(QString(QChar(char16_t(caracter))));
            return true;
        }
        return false;
    }
    default:
        break;
    }
    return QWidget::eventFilter(objeto, evento);
}
