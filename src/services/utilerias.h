#pragma once

#include "cifrado.h"
#include "objetos.h"

#include <QPointer>
#include <QString>

class QObject;

// Encryption of stored values (Encripta gives the empty text when it fails) and the styled message
// box.
class Utilerias : public ObjetoComponente {
public:
    QString Encripta(const QString& texto) const { return m_cifrador.cifrar(texto); }
    // *bien false: the value is encrypted but the key does not open it (its empty result is no
    // value).
    QString DesEncripta(const QString& texto, bool* bien = nullptr) const {
        return m_cifrador.descifrar(texto, bien);
    }
    const Cifrador& cifrador() const { return m_cifrador; }

    // The window the styled boxes belong to.
    void setElMenu(QObject* ventana) { m_elMenu = ventana; }
    QObject* ElMenu() const { return m_elMenu; }

    // The styled box; returns the answer code (6 = Yes).
    int MsgBoxSkn(const QString& texto, int botones, const QString& titulo, int estilo) const;

private:
    Cifrador m_cifrador;
    QPointer<QObject> m_elMenu;
};
