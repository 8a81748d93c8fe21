#include "bitacora.h"

#include "plataforma.h"
#include "texto_seguro.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace bitacora {
namespace {
QMutex g_mutex;
QFile g_archivo;
Opciones g_opciones;
bool g_instalado = false;

const char* nivel(QtMsgType tipo) {
    switch (tipo) {
    case QtDebugMsg:
        return "depuración";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "aviso";
    case QtCriticalMsg:
        return "error";
    case QtFatalMsg:
        return "fatal";
    }
    return "";
}

void rotarSiHaceFalta() {
    if (!g_archivo.isOpen() || g_archivo.size() < g_opciones.tamanoMaximo)
        return;
    const QString ruta = g_archivo.fileName();
    g_archivo.close();
    QFile::remove(ruta + u'.' + QString::number(g_opciones.copias));
    for (int i = g_opciones.copias - 1; i >= 1; --i)
        QFile::rename(ruta + u'.' + QString::number(i), ruta + u'.' + QString::number(i + 1));
    QFile::rename(ruta, ruta + u".1"_s);
    g_archivo.setFileName(ruta);
    if (g_archivo.open(QIODevice::WriteOnly | QIODevice::Append))
        plataforma::restringirAlDueno(ruta);
}

void manejador(QtMsgType tipo, const QMessageLogContext& contexto, const QString& mensaje) {
    if (tipo == QtDebugMsg && !g_opciones.depuracion)
        return;
    const QString categoria = QString::fromLatin1(contexto.category ? contexto.category : "");
    const QString linea =
        QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s) + u' ' +
        QString::fromLatin1(nivel(tipo)) +
        (categoria.isEmpty() || categoria == u"default"_s ? QString()
                                                          : u" ["_s + categoria + u']') +
        u": "_s + textoSeguro::paraMostrar(mensaje) + u'\n';
    const QByteArray bytes = linea.toUtf8();
    QMutexLocker bloqueo(&g_mutex);
    if (g_archivo.isOpen()) {
        rotarSiHaceFalta();
        g_archivo.write(bytes);
        g_archivo.flush();
    }
    if (g_opciones.terminal) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }
}
} // namespace

QString rutaPara(const QString& rutaIni) {
    const QFileInfo info(rutaIni);
    return info.path() + u'/' + info.completeBaseName() + u".log"_s;
}

bool iniciar(const QString& rutaArchivo, const Opciones& opciones) {
    QMutexLocker bloqueo(&g_mutex);
    g_opciones = opciones;
    if (g_archivo.isOpen())
        g_archivo.close();
    g_archivo.setFileName(rutaArchivo);
    const bool abierto = g_archivo.open(QIODevice::WriteOnly | QIODevice::Append);
    if (abierto)
        plataforma::restringirAlDueno(rutaArchivo);
    if (!g_instalado) {
        qInstallMessageHandler(manejador);
        g_instalado = true;
    }
    return abierto;
}

void soloTerminal(const Opciones& opciones) {
    QMutexLocker bloqueo(&g_mutex);
    g_opciones = opciones;
    if (!g_instalado) {
        qInstallMessageHandler(manejador);
        g_instalado = true;
    }
}

void terminar() {
    QMutexLocker bloqueo(&g_mutex);
    if (g_instalado) {
        qInstallMessageHandler(nullptr);
        g_instalado = false;
    }
    g_archivo.close();
}

} // namespace bitacora
