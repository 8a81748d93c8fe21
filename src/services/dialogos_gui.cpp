#include "dialogos_gui.h"

#include "texto_seguro.h"
#include <QApplication>

#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

using namespace Qt::StringLiterals;

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
    switch (caja.botones & 0x70) {
    case Botones::Critico:
        cuadro.setIcon(QMessageBox::Critical);
        break;
    case Botones::Pregunta:
        cuadro.setIcon(QMessageBox::Question);
        break;
    case Botones::Exclamacion:
        cuadro.setIcon(QMessageBox::Warning);
        break;
    case Botones::Informacion:
        cuadro.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    const bool segundo = caja.botones & Botones::SegundoPorDefecto;
    QPushButton* primero = nullptr;
    QPushButton* otro = nullptr;
    switch (caja.botones & 7) {
    case Botones::SiNo:
        primero = cuadro.addButton(u"Sí"_s, QMessageBox::YesRole);
        otro = cuadro.addButton(u"No"_s, QMessageBox::NoRole);
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
