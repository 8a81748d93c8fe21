#include "frmbitacora_window.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// Enough for many runs; an older start of a long log is cut at a line's beginning.
constexpr qint64 MaxBytes = 2 * 1024 * 1024;
} // namespace

frmBitacora::frmBitacora(const QString& rutaBitacora, QWidget* padre)
    : QWidget(padre, Qt::Window)
    , m_ruta(rutaBitacora) {
    setObjectName(u"frmBitacora"_s);
    setWindowTitle(u"Bitácora de envíos — "_s + rutaBitacora);
    txtBitacora = new QPlainTextEdit(this);
    txtBitacora->setObjectName(u"txtBitacora"_s);
    txtBitacora->setReadOnly(true);
    txtBitacora->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtBitacora->setFont(QFont(u"monospace"_s));
    auto* cmdActualizar = new QPushButton(u"&Actualizar"_s, this);
    cmdActualizar->setObjectName(u"cmdActualizar"_s);
    auto* cmdCerrar = new QPushButton(u"&Cerrar"_s, this);
    connect(cmdActualizar, &QPushButton::clicked, this, &frmBitacora::actualizar);
    connect(cmdCerrar, &QPushButton::clicked, this, &QWidget::close);
    auto* botones = new QHBoxLayout;
    botones->addStretch(1);
    botones->addWidget(cmdActualizar);
    botones->addWidget(cmdCerrar);
    auto* distribucion = new QVBoxLayout(this);
    distribucion->addWidget(txtBitacora, 1);
    distribucion->addLayout(botones);
    resize(820, 520);
    actualizar();
}

void frmBitacora::actualizar() {
    QFile f(m_ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        txtBitacora->setPlainText(u"Todavía no hay bitácora en "_s + m_ruta);
        return;
    }
    QByteArray datos;
    if (f.size() > MaxBytes) {
        f.seek(f.size() - MaxBytes);
        datos = f.readAll();
        datos = datos.mid(datos.indexOf('\n') + 1);
    } else {
        datos = f.readAll();
    }
    txtBitacora->setPlainText(QString::fromUtf8(datos));
    txtBitacora->moveCursor(QTextCursor::End);
    txtBitacora->verticalScrollBar()->setValue(txtBitacora->verticalScrollBar()->maximum());
}
