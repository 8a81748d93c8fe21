#pragma once

#include "services/conexion.h"

#include <QList>
#include <QString>

#include <functional>

// A warning or note of the server about one write: "Data truncated for column 'name' at row 3".
struct AvisoServidor {
    QString nivel;
    unsigned codigo = 0;
    QString mensaje;
};

// How statements reach the shop: one round trip each (the per-product run), or queued and sent
// several per round trip under the server's packet limit (the batched run). Both give every
// statement's result to its callback in order, and each write its warnings.
// Error convention: enviar() false with the server's message in *error; the statements before the
// failing one have run.
class LoteSql {
public:
    using AlLeer = std::function<void(const ResultadoConsulta&)>;
    using AlAvisar = std::function<void(const QList<AvisoServidor>&)>;

    LoteSql(Conexion& cn, bool variasPorViaje, qint64 bytesPorViaje);

    // A query; its rows go to the callback.
    void consulta(const QString& sql, AlLeer alLeer);
    // A write; its warnings, if any, go to the callback, and its result to the other.
    void escritura(const QString& sql, AlAvisar alAvisar = {}, AlLeer alLeer = {});
    bool enviar(QString* error);
    bool vacio() const { return m_pendientes.isEmpty(); }
    qint64 viajes() const { return m_viajes; }

private:
    struct Pendiente {
        QString sql;
        AlLeer alLeer;
        AlAvisar alAvisar;
        bool escritura = false;
    };
    bool enviarUnoAUno(QString* error);
    bool enviarJuntos(QString* error);

    Conexion& m_cn;
    bool m_juntos;
    qint64 m_bytes;
    QList<Pendiente> m_pendientes;
    qint64 m_viajes = 0;
};
