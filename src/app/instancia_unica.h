#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running tray program per settings file: the first copy listens on a local socket named after
// the settings file; a later start on the same file asks it to show its window and ends, so two
// schedulers never send into one shop. Other settings files are other copies.
class InstanciaUnica : public QObject {
    Q_OBJECT
public:
    explicit InstanciaUnica(const QString& rutaIni, QObject* padre = nullptr);

    // The socket's name: the same for every spelling of the file's path, per user.
    static QString nombrePara(const QString& rutaIni);

    // True when another copy is running on this settings file and has been asked to show itself.
    // Otherwise this copy takes the name (a socket left by a copy that crashed is replaced).
    bool avisarOTomar();

Q_SIGNALS:
    // A later start asked for the window.
    void mostrarPedido();

private:
    bool avisar();
    QString m_nombre;
    QLocalServer* m_servidor = nullptr;
};
