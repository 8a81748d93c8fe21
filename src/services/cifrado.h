#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Authenticated encryption (AES-256-GCM) of stored settings. A cipher text is marked text: a fixed
// prefix, then base64 of nonce, cipher text and tag. The 256-bit key lives in a file of its own in
// the user's configuration folder, readable by the owner only, created on first use. A key file
// that is damaged is never replaced; one that is missing is not created while impedirLlaveNueva
// holds (the settings still hold values encrypted under the lost key).
class Cifrador {
public:
    static inline const QString Prefijo = QStringLiteral("VND1:");

    // rutaLlave empty: the key file in the user's configuration folder.
    explicit Cifrador(const QString& rutaLlave = QString());

    static QString rutaLlavePredeterminada();

    // Empty text on failure (the key could not be read or created), with an error in the log.
    QString cifrar(const QString& texto) const;
    // Text without the prefix comes back unchanged: a value typed by hand in plain still works. A
    // marked text that does not decrypt (another key, tampering) gives the empty text, a logged
    // warning and *bien false: that empty text is no value and must never be used as one.
    QString descifrar(const QString& texto, bool* bien = nullptr) const;

    static bool estaCifrado(const QString& texto) { return texto.startsWith(Prefijo); }

    const QString& rutaLlave() const { return m_rutaLlave; }
    // Why the key cannot be used ("falta la llave …", "la llave … está dañada"), or the empty text.
    QString problemaLlave() const;
    // Of the values given, the positions of those that are encrypted but do not decrypt with the
    // key (another installation's key, or one made anew).
    QList<qsizetype> ilegibles(const QStringList& valores) const;
    // Process-wide: while true, a missing key file is not created.
    static void impedirLlaveNueva(bool impedir);
    // After the user agreed to lose what the old key encrypted: a damaged key file is set aside as
    // "<key>.dañada" and a new key is created. False when it could not be.
    bool reemplazarLlave() const;

private:
    QByteArray llave() const;
    QString m_rutaLlave;
};
