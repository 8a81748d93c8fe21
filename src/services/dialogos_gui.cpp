#include "dialogos_gui.h"

#include "texto_seguro.h"
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

using namespace Qt::StringLiterals;

QString DialogosQt::icono(int botones) {
    switch (botones & 0x70) {
    case Botones::Critico:
        return u":/vendaro/caja_error.svg"_s;
    case Botones::Pregunta:
        return u":/vendaro/caja_pregunta.svg"_s;
    case Botones::Exclamacion:
        return u":/vendaro/caja_aviso.svg"_s;
    case Botones::Informacion:
        return u":/vendaro/caja_informacion.svg"_s;
    default:
        return {};
    }
}

int DialogosQt::mostrar(const Caja& caja) {
    if (QThread::currentThread() == qApp->thread())
        return mostrarAqui(caja);
    int respuesta = Respuesta::Ninguna;
    QMetaObject::invokeMethod(
        qApp, [&] { respuesta = mostrarAqui(caja); }, Qt::BlockingQueuedConnection);
    return respuesta;
}

int DialogosQt::mostrarAqui(const Caja& caja) {
    QString texto = caja.texto;
    texto.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    texto = textoSeguro::paraMostrar(texto, true);
    QMessageBox cuadro(m_ventana);
    cuadro.setWindowTitle(caja.titulo);
    cuadro.setText(texto);
    // One icon set of the program's own for every box, drawn at the screen's resolution.
    if (const QString icono = DialogosQt::icono(caja.botones); !icono.isEmpty()) {
        const qreal escala = cuadro.devicePixelRatioF();
        QPixmap dibujo = QIcon(icono).pixmap(QSize(48, 48), escala);
        cuadro.setIconPixmap(dibujo);
    }
    const bool segundo = caja.botones & Botones::SegundoPorDefecto;
    QPushButton* primero = nullptr;
    QPushButton* otro = nullptr;
    switch (caja.botones & 7) {
    case Botones::SiNo:
        primero = cuadro.addButton(u"&Sí"_s, QMessageBox::YesRole);
        otro = cuadro.addButton(u"&No"_s, QMessageBox::NoRole);
        cuadro.setEscapeButton(otro);
        break;
    case Botones::AceptarCancelar:
        primero = cuadro.addButton(u"Aceptar"_s, QMessageBox::AcceptRole);
        otro = cuadro.addButton(u"Cancelar"_s, QMessageBox::RejectRole);
        cuadro.setEscapeButton(otro);
        break;
    default:
        primero = cuadro.addButton(u"Aceptar"_s, QMessageBox::AcceptRole);
        break;
    }
    cuadro.setDefaultButton(segundo && otro ? otro : primero);
    cuadro.exec();
    const bool esPrimero = cuadro.clickedButton() == primero;
    switch (caja.botones & 7) {
    case Botones::SiNo:
        return esPrimero ? Respuesta::Si : Respuesta::No;
    case Botones::AceptarCancelar:
        return esPrimero ? Respuesta::Aceptar : Respuesta::Cancelar;
    default:
        return Respuesta::Aceptar;
    }
}
