#include "instancia_unica.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

using namespace Qt::StringLiterals;

namespace {
const QByteArray Mostrar = "mostrar\n";
}

InstanciaUnica::InstanciaUnica(const QString& rutaIni, QObject* padre)
    : QObject(padre)
    , m_nombre(nombrePara(rutaIni)) {}

QString InstanciaUnica::nombrePara(const QString& rutaIni) {
    const QFileInfo archivo(rutaIni);
    const QString canonica =
        archivo.exists() ? archivo.canonicalFilePath() : archivo.absoluteFilePath();
    // The user's home is part of the name: the sockets of all users share one folder.
    const QByteArray huella = QCryptographicHash::hash(
        (QDir::homePath() + u'\n' + canonica).toUtf8(), QCryptographicHash::Sha256);
    return u"vendaro-"_s + QString::fromLatin1(huella.toHex().left(24));
}

bool InstanciaUnica::avisar() {
    QLocalSocket otra;
    otra.connectToServer(m_nombre);
    if (!otra.waitForConnected(2000))
        return false;
    otra.write(Mostrar);
    otra.waitForBytesWritten(2000);
    otra.disconnectFromServer();
    if (otra.state() != QLocalSocket::UnconnectedState)
        otra.waitForDisconnected(2000);
    return true;
}

bool InstanciaUnica::avisarOTomar() {
    // Two starts at the same moment: the one that loses the name finds the winner listening.
    for (int intento = 0; intento < 2; ++intento) {
        if (avisar())
            return true;
        m_servidor = new QLocalServer(this);
        m_servidor->setSocketOptions(QLocalServer::UserAccessOption);
        if (m_servidor->listen(m_nombre))
            break;
        if (m_servidor->serverError() == QAbstractSocket::AddressInUseError && !avisar())
            QLocalServer::removeServer(m_nombre); // left by a copy that did not end cleanly
        delete m_servidor;
        m_servidor = nullptr;
    }
    if (!m_servidor) {
        m_servidor = new QLocalServer(this);
        m_servidor->setSocketOptions(QLocalServer::UserAccessOption);
        // Without the socket this copy still runs; only the hand-over is lost.
        m_servidor->listen(m_nombre);
    }
    connect(m_servidor, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_servidor->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains(Mostrar))
                    Q_EMIT mostrarPedido();
            });
        }
    });
    return false;
}
