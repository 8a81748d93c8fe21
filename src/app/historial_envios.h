#pragma once

#include "sync/ventana_envio.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The last runs, kept beside the settings file (<base>.envios.json) so the main page shows them
// after a restart, with the failed products of the last run. A file of its own rather than the INI
// file: the settings are edited by hand and are rewritten only when the user saves them, while
// this changes after every run. Written atomically; at most MaxEnvios runs, newest last.
class HistorialEnvios {
public:
    static constexpr int MaxEnvios = 20;

    struct Envio {
        QDateTime inicio;
        double segundos = 0;
        QString estado; // empty for a run that ran to its end, else why it stopped
        qint64 leidos = 0;
        qint64 creados = 0;
        qint64 actualizados = 0;
        qint64 fallidos = 0;
        qint64 conAvisos = 0;
        bool conImagenes = false;
        qint64 imagenesSubidas = 0;
        qint64 imagenesFallidas = 0;
        QString motivoImagenes;
        // What the "Resultado" column says of the run.
        QString resultado() const;
    };

    explicit HistorialEnvios(const QString& rutaIni);
    const QString& ruta() const { return m_ruta; }

    // What the file holds; nothing when it is missing or unreadable.
    void leer();
    const QList<Envio>& envios() const { return m_envios; }
    const QList<ResumenEnvio::Fallo>& fallidosUltimo() const { return m_fallidos; }

    // Adds the run that ended now and writes the file; false when it could not be written (the
    // page still shows the run; the file keeps the runs it had), with *error saying why.
    bool agregar(const ResumenEnvio& resumen, const QDateTime& fin, QString* error = nullptr);

private:
    QString m_ruta;
    QList<Envio> m_envios;
    QList<ResumenEnvio::Fallo> m_fallidos;
};
