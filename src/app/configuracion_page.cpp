#include "configuracion_page.h"

#include "grid/codigotecla.h"
#include "services/libqvtx.h"
#include "services/numeros.h"
#include "sync/comprobacion.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// One line of a group: a box of the original page (indice >= 0), a key without a box (clave), or
// a heading (neither).
enum class Tipo { Caja, Oculta, Lista, Marca, Titulo };
struct Fila {
    int indice;
    const char16_t* clave;
    const char16_t* etiqueta;
    Tipo tipo;
    const char16_t* ayuda;
    const char16_t* opciones = nullptr; // a list's values, "|"-separated
    const char16_t* clase = u"X";       // a box's input class
};
const QString AccesoSshClave = u"#acceso SSH"_s;
struct Grupo {
    const char16_t* titulo;
    QList<Fila> filas;
};
// In tab order, which is also their order from top to bottom in each group.
const QList<Grupo>& grupos() {
    static const QList<Grupo> g{
        {u"Punto de venta",
         {{0, nullptr, u"Base de datos VMP:", Tipo::Caja,
           u"La base de datos de Velmora Premium en su servidor MySQL, tal como se escribe.",
           nullptr, u"N"},
          {1, nullptr, u"Intervalo (minutos):", Tipo::Caja,
           u"Cada cuántos minutos se envían los productos; 0: solo con «Enviar ahora».", nullptr,
           u"9"},
          {-1, u"Ruta de Velmora Premium", u"Carpeta de Velmora Premium:", Tipo::Caja,
           u"La carpeta con velmora.ini, donde Velmora Premium guarda su servidor MySQL."}}},
        {u"Tienda",
         {{4, nullptr, u"IP de la base de datos WEB:", Tipo::Caja,
           u"Nombre o dirección del servidor MySQL de la tienda."},
          {7, nullptr, u"Puerto:", Tipo::Caja, u"El puerto de ese servidor; normalmente 3306.",
           nullptr, u"9"},
          {2, nullptr, u"Base de datos WEB:", Tipo::Caja,
           u"La base de datos de OpenCart; las mayúsculas cuentan.", nullptr, u"N"},
          {6, nullptr, u"Nombre de la tabla de productos:", Tipo::Caja,
           u"Con el prefijo de la tienda, por ejemplo oc_product.", nullptr, u"N"},
          {3, nullptr, u"Usuario:", Tipo::Oculta, u"La cuenta MySQL con que escribe Vendaro."},
          {5, nullptr, u"Contraseña:", Tipo::Oculta, u"La contraseña de esa cuenta."},
          {-1, nullptr, u"Seguridad de la conexión", Tipo::Titulo, nullptr},
          {-1, u"Conexión segura WEB", u"Conexión cifrada:", Tipo::Lista,
           u"preferida: cifrada si el servidor lo ofrece; exigida: cifrada o ninguna; "
           u"verificada: además comprueba el certificado y el nombre del servidor.",
           u"preferida|exigida|verificada"},
          {-1, u"Certificado CA WEB", u"Certificado de la autoridad:", Tipo::Caja,
           u"Archivo PEM de quien firmó el certificado del servidor, para «verificada» "
           u"(vacío: las autoridades del sistema)."},
          {-1, u"Comprimir conexión WEB", u"Comprimir la c&onexión", Tipo::Marca,
           u"Menos datos por la línea cuando el servidor lo admite; desmárquelo si falla."}}},
        {u"Túnel SSH",
         {{-1, u"Túnel SSH", u"Servidor SSH:", Tipo::Caja,
           u"servidor[:puerto] por el que se llega a la base de datos; vacío: directo. Con túnel, "
           u"la IP y el puerto de la tienda son los de la base vista desde ese servidor."},
          {-1, u"Usuario SSH", u"Usuario SSH:", Tipo::Oculta, u"La cuenta en el servidor SSH."},
          {-1, u"#acceso SSH", u"Identificarse con:", Tipo::Lista,
           u"Una contraseña, un archivo de llave privada, o el agente SSH de su sesión.",
           u"contraseña|archivo de llave|agente SSH"},
          {-1, u"Password SSH", u"Contraseña SSH:", Tipo::Oculta,
           u"La contraseña de la cuenta SSH."},
          {-1, u"Llave SSH", u"Archivo de llave:", Tipo::Caja,
           u"La llave privada, por ejemplo ~/.ssh/id_ed25519."},
          {-1, u"Frase de la llave SSH", u"Frase de la llave:", Tipo::Oculta,
           u"Solo si la llave está protegida con una frase."}}},
        {u"Qué se envía",
         {{-1, u"Modo de envío", u"Modo de envío:", Tipo::Lista,
           u"por lotes: lee la tienda de una vez y escribe solo lo que cambió; por producto: "
           u"sentencia por sentencia (lento; para buscar un problema).",
           u"por lotes|por producto"},
          {-1, u"Tiendas", u"Tiendas:", Tipo::Caja,
           u"Números de tienda, separados por comas, que reciben cada producto nuevo (0: la "
           u"principal)."},
          {-1, u"Codificar texto como la tienda", u"Codificar el &texto como la tienda",
           Tipo::Marca,
           u"Guarda &, \", < y > como el administrador de OpenCart; desmárquelo solo si su tema "
           u"los codifica al mostrar."},
          {-1, u"Categorías", u"Categorías:", Tipo::Lista,
           u"Une cada producto a la categoría de su línea (y sublínea), creándola si falta.",
           u"no|línea|línea y sublínea"},
          {-1, u"Marcas como fabricantes", u"&Marcas como fabricantes", Tipo::Marca,
           u"La marca del punto de venta es el fabricante del producto en la tienda."},
          {-1, u"Direcciones SEO", u"&Direcciones SEO", Tipo::Marca,
           u"Da palabra clave SEO a productos, categorías y fabricantes que no la tienen."},
          {-1, u"Productos que ya no están", u"Productos que ya no están:", Tipo::Lista,
           u"Qué pasa con los productos que creó Vendaro cuando salen del punto de venta.",
           u"dejar|sin existencias|desactivar"},
          {-1, u"Límite de bajas", u"Límite de bajas:", Tipo::Caja,
           u"Si de una vez saldría más que este porcentaje, no sale ninguno (por ejemplo 10 %)."},
          {-1, u"Estado sin existencias", u"Estado sin existencias:", Tipo::Caja,
           u"Número de estado de existencias (stock_status) de esos productos; vacío: «Out Of "
           u"Stock»."},
          {-1, nullptr, u"Para tallas o colores:", Tipo::Titulo, nullptr},
          {8, nullptr, u"Campo llave en tabla de prods. web:", Tipo::Caja,
           u"La columna de productos que une sus tallas o colores (normalmente product_id)."}}},
        {u"Imágenes",
         {{-1, nullptr, u"Para los archivos de imágenes", Tipo::Titulo, nullptr},
          {9, nullptr, u"Tabla externa:", Tipo::Caja,
           u"La tabla de la tienda que lista las imágenes de cada producto (oc_product_image).",
           nullptr, u"N"},
          {10, nullptr, u"Campo llave en tabla de prods. web:", Tipo::Caja,
           u"La columna de productos que la une (product_id)."},
          {11, nullptr, u"Campo llave en tabla externa:", Tipo::Caja,
           u"La columna de esa tabla con el mismo valor (product_id)."},
          {16, nullptr, u"Campo en tabla externa:", Tipo::Caja,
           u"La columna que recibe el nombre de la imagen (image)."},
          {17, nullptr, u"Prefijo a concatenar en el campo:", Tipo::Caja,
           u"Se antepone al nombre guardado, por ejemplo catalog/."},
          {-1, u"Carpeta de caché de la tienda", u"Carpeta de caché:", Tipo::Caja,
           u"system/storage/cache/ de la tienda vista por FTP: se vacía tras un envío; vacía: las "
           u"listas se ponen al día en una hora."}}},
        {u"FTP",
         {{12, nullptr, u"Ruta FTP:", Tipo::Caja,
           u"Servidor, o dirección ftp://, ftpes://, ftps:// o sftp:// con puerto opcional."},
          {13, nullptr, u"Carpeta:", Tipo::Caja,
           u"Se antepone al nombre de cada imagen; termínela en / para una carpeta."},
          {14, nullptr, u"Usuario:", Tipo::Oculta, u"La cuenta del servidor FTP."},
          {15, nullptr, u"Contraseña:", Tipo::Oculta, u"La contraseña de esa cuenta."},
          {-1, u"Aceptar certificado FTP de", u"Certificado aceptado:", Tipo::Caja,
           u"Solo para un servidor cuyo certificado no se puede verificar: «Aceptar "
           u"certificado…» muestra su huella y pregunta."}}},
    };
    return g;
}

const QString Asterisco = u"QLineEdit[echoMode=\"2\"] { lineedit-password-character: 42; }"_s;
} // namespace

QString ConfiguracionPage::clase(int indice) {
    for (const Grupo& g : grupos())
        for (const Fila& f : g.filas)
            if (f.indice == indice && f.tipo != Tipo::Titulo)
                return QString::fromUtf16(f.clase);
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
    tabGrupos = new QTabWidget(Picture1);
    tabGrupos->setObjectName(u"tabGrupos"_s);
    cboAccesoSsh = nullptr;
    cmdAceptarCertificado = new QPushButton(u"Aceptar ce&rtificado…"_s);
    cmdAceptarCertificado->setObjectName(u"cmdAceptarCertificado"_s);

    QWidget* anterior = chkVerPass;
    for (const Grupo& g : grupos()) {
        auto* hoja = new QWidget;
        auto* rejilla = new QGridLayout(hoja);
        rejilla->setColumnStretch(1, 2);
        rejilla->setColumnStretch(2, 3);
        rejilla->setVerticalSpacing(4);
        int fila = 0;
        for (const Fila& f : g.filas) {
            const QString etiqueta = QString::fromUtf16(f.etiqueta);
            if (f.tipo == Tipo::Titulo) {
                auto* l = new QLabel(etiqueta, hoja);
                QFont letra = l->font();
                letra.setBold(true);
                l->setFont(letra);
                rejilla->addWidget(l, fila++, 0, 1, 3);
                continue;
            }
            QWidget* control = nullptr;
            QLabel* rotulo = nullptr;
            const QString clave = f.clave ? QString::fromUtf16(f.clave) : QString();
            if (f.tipo == Tipo::Marca) {
                auto* marca = new QCheckBox(etiqueta, hoja);
                control = marca;
            } else if (f.tipo == Tipo::Lista) {
                auto* lista = new QComboBox(hoja);
                lista->addItems(QString::fromUtf16(f.opciones).split(u'|'));
                control = lista;
                if (clave == AccesoSshClave) {
                    cboAccesoSsh = lista;
                    lista->setObjectName(u"cboAccesoSsh"_s);
                    connect(lista, &QComboBox::currentIndexChanged, this,
                            &ConfiguracionPage::mostrarAccesoSsh);
                }
            } else {
                auto* caja = new QLineEdit(hoja);
                if (f.tipo == Tipo::Oculta) {
                    caja->setEchoMode(QLineEdit::Password);
                    m_ocultas.append(caja);
                }
                control = caja;
                if (f.indice >= 0) {
                    caja->setObjectName(u"txtDato_"_s + QString::number(f.indice));
                    caja->installEventFilter(this);
                    m_txtDato[size_t(f.indice)] = caja;
                    if (f.indice == 1) {
                        caja->setAlignment(Qt::AlignRight);
                        caja->setMaxLength(4);
                    }
                }
            }
            if (!clave.isEmpty() && clave != AccesoSshClave) {
                m_controles.insert(clave, control);
                if (control->objectName().isEmpty())
                    control->setObjectName(u"ctl_"_s + clave);
            }
            if (f.tipo != Tipo::Marca) {
                rotulo = new QLabel(etiqueta, hoja);
                rotulo->setBuddy(control);
                if (f.indice >= 0)
                    rotulo->setObjectName(u"lblDato_"_s + QString::number(f.indice));
                rejilla->addWidget(rotulo, fila, 0, Qt::AlignRight);
            }
            if (clave == ClaveAceptarCertificadoFTP) {
                auto* linea = new QHBoxLayout;
                linea->addWidget(control, 1);
                linea->addWidget(cmdAceptarCertificado);
                rejilla->addLayout(linea, fila, 1);
            } else {
                rejilla->addWidget(control, fila, f.tipo == Tipo::Marca ? 0 : 1, 1,
                                   f.tipo == Tipo::Marca ? 2 : 1);
            }
            auto* ayuda = new QLabel(QString::fromUtf16(f.ayuda), hoja);
            ayuda->setWordWrap(true);
            ayuda->setObjectName(u"ayuda"_s);
            ayuda->setStyleSheet(u"color: #4a5a66;"_s);
            QFont chica = ayuda->font();
            chica.setPointSizeF(chica.pointSizeF() * 0.9);
            ayuda->setFont(chica);
            rejilla->addWidget(ayuda, fila, 2);
            ++fila;
            setTabOrder(anterior, control);
            anterior = control;
            if (clave == ClaveAceptarCertificadoFTP) {
                setTabOrder(control, cmdAceptarCertificado);
                anterior = cmdAceptarCertificado;
            }
        }
        rejilla->setRowStretch(fila, 1);
        auto* desplazable = new QScrollArea;
        desplazable->setWidget(hoja);
        desplazable->setWidgetResizable(true);
        desplazable->setFrameShape(QFrame::NoFrame);
        tabGrupos->addTab(desplazable, QString::fromUtf16(g.titulo));
    }

    lblPrueba = new QLabel(u"«Probar conex.» prueba lo que un envío necesita: el punto de venta, "
                           u"la base y la tabla de la tienda, y el FTP."_s,
                           Picture1);
    lblPrueba->setObjectName(u"lblPrueba"_s);
    lblPrueba->setWordWrap(true);
    lstPrueba = new QListWidget(Picture1);
    lstPrueba->setObjectName(u"lstPrueba"_s);
    lstPrueba->setWordWrap(true);
    lstPrueba->setFixedHeight(lstPrueba->fontMetrics().lineSpacing() * 6 + 8);
    auto* marco = new QVBoxLayout(Picture1);
    marco->addWidget(chkVerPass, 0, Qt::AlignRight);
    marco->addWidget(tabGrupos, 1);
    marco->addWidget(lblPrueba);
    marco->addWidget(lstPrueba);

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
    // Tab follows the screen: the check box, the boxes of each group, then the buttons from left
    // to right.
    setTabOrder(anterior, cmdProbar);
    setTabOrder(cmdProbar, cmdGrabar);
    setTabOrder(cmdGrabar, cmdCancelar);

    connect(chkVerPass, &QCheckBox::toggled, this, &ConfiguracionPage::chkVerPass_Click);
    mostrarAccesoSsh();
}

QHash<QString, QString> ConfiguracionPage::valores() const {
    QHash<QString, QString> v;
    for (auto i = m_controles.cbegin(); i != m_controles.cend(); ++i) {
        if (auto* caja = qobject_cast<QLineEdit*>(i.value()))
            v.insert(i.key(), caja->text());
        else if (auto* lista = qobject_cast<QComboBox*>(i.value()))
            v.insert(i.key(), lista->currentText());
        else if (auto* marca = qobject_cast<QCheckBox*>(i.value()))
            v.insert(i.key(), marca->isChecked() ? u"1"_s : u"0"_s);
    }
    const int acceso = cboAccesoSsh->currentIndex();
    if (acceso != ConContrasena)
        v[u"Password SSH"_s].clear();
    if (acceso != ConArchivoDeLlave) {
        v[u"Llave SSH"_s].clear();
        v[u"Frase de la llave SSH"_s].clear();
    }
    return v;
}

void ConfiguracionPage::ponerValores(const QHash<QString, QString>& valores) {
    for (auto i = m_controles.cbegin(); i != m_controles.cend(); ++i) {
        const QString valor = valores.value(i.key());
        if (auto* caja = qobject_cast<QLineEdit*>(i.value())) {
            caja->setText(valor);
        } else if (auto* lista = qobject_cast<QComboBox*>(i.value())) {
            // A value typed by hand that the list does not offer stays as it is.
            int n = lista->findText(valor.trimmed(), Qt::MatchFixedString);
            if (n < 0) {
                lista->addItem(valor);
                n = lista->count() - 1;
            }
            lista->setCurrentIndex(n);
        } else if (auto* marca = qobject_cast<QCheckBox*>(i.value())) {
            marca->setChecked(valor.trimmed() != u"0"_s && !valor.trimmed().isEmpty());
        }
    }
    cboAccesoSsh->setCurrentIndex(!valores.value(u"Password SSH"_s).isEmpty() ? ConContrasena
                                  : !valores.value(u"Llave SSH"_s).isEmpty()  ? ConArchivoDeLlave
                                                                              : ConAgente);
    mostrarAccesoSsh();
}

void ConfiguracionPage::mostrarAccesoSsh() {
    if (!cboAccesoSsh)
        return;
    const int acceso = cboAccesoSsh->currentIndex();
    control(u"Password SSH"_s)->setEnabled(acceso == ConContrasena);
    control(u"Llave SSH"_s)->setEnabled(acceso == ConArchivoDeLlave);
    control(u"Frase de la llave SSH"_s)->setEnabled(acceso == ConArchivoDeLlave);
}

void ConfiguracionPage::empezarPrueba() {
    lstPrueba->clear();
    lblPrueba->setText(u"Probando las conexiones… (puede seguir usando la ventana)"_s);
    cmdProbar->setEnabled(false);
    cmdProbar->setText(u"Probando…"_s);
}

void ConfiguracionPage::agregarPaso(const PasoComprobacion& paso) {
    auto* linea = new QListWidgetItem(paso.texto, lstPrueba);
    const QStyle::StandardPixmap icono =
        paso.estado == PasoComprobacion::Estado::Bien    ? QStyle::SP_DialogApplyButton
        : paso.estado == PasoComprobacion::Estado::Aviso ? QStyle::SP_MessageBoxWarning
                                                         : QStyle::SP_MessageBoxCritical;
    linea->setIcon(style()->standardIcon(icono));
    lstPrueba->scrollToItem(linea);
}

void ConfiguracionPage::terminarPrueba(int fallos) {
    lblPrueba->setText(
        fallos == 0 ? u"Prueba terminada: todo lo que un envío necesita responde."_s
        : fallos == 1
            ? u"Prueba terminada: 1 parte falla (en rojo, con el motivo)."_s
            : u"Prueba terminada: %1 partes fallan (en rojo, con el motivo)."_s.arg(fallos));
    cmdProbar->setText(u"&Probar conex."_s);
    cmdProbar->setEnabled(true);
}

QStringList ConfiguracionPage::textos() const {
    QStringList t;
    for (QLineEdit* caja : m_txtDato)
        t.append(caja->text());
    return t;
}

void ConfiguracionPage::chkVerPass_Click() {
    const auto modo = chkVerPass->isChecked() ? QLineEdit::Normal : QLineEdit::Password;
    for (QLineEdit* caja : m_ocultas)
        caja->setEchoMode(modo);
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
