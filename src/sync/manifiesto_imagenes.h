#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// What the picture pass last uploaded successfully: for each server, folder and remote name, the
// content hash (SHA-256) and size of the file sent. Kept beside the settings file so that a later
// pass sends only the pictures whose content changed. A missing or damaged file is taken as
// empty: everything is sent again, which is always correct, only slower.
class ManifiestoImagenes {
public:
    // Reads the file (nothing when it is missing or unreadable; a warning in the log when damaged).
    explicit ManifiestoImagenes(const QString& ruta);

    // "<folder of the settings file>/<its base name>.imagenes".
    static QString rutaPara(const QString& rutaIni);
    // The SHA-256 of a local file in hexadecimal and its size; empty when it cannot be read.
    static QByteArray huellaDe(const QString& archivo, qint64* tamano);

    // True when exactly that content was uploaded under the key.
    bool subido(const QString& clave, const QByteArray& huella, qint64 tamano) const;
    void anotar(const QString& clave, const QByteArray& huella, qint64 tamano);
    // Writes the file atomically when something was noted since it was read.
    bool guardar(QString* error);

private:
    struct Entrada {
        QByteArray huella;
        qint64 tamano = -1;
    };
    QString m_ruta;
    QHash<QString, Entrada> m_entradas;
    bool m_cambiado = false;
};
