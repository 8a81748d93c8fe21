#include "lote_sql.h"

using namespace Qt::StringLiterals;

namespace {
const QString MostrarAvisos = u"SHOW WARNINGS"_s;

QList<AvisoServidor> avisosDe(const ResultadoConsulta& r) {
    QList<AvisoServidor> avisos;
    for (const QList<Valor>& f : r.filas)
        avisos.append({f.value(0).texto(), f.value(1).texto().toUInt(), f.value(2).texto()});
    return avisos;
}
} // namespace

LoteSql::LoteSql(Conexion& cn, bool variasPorViaje, qint64 bytesPorViaje)
    : m_cn(cn)
    , m_juntos(variasPorViaje)
    , m_bytes(bytesPorViaje) {}

void LoteSql::consulta(const QString& sql, AlLeer alLeer) {
    m_pendientes.append({sql, std::move(alLeer), {}, false});
}

void LoteSql::escritura(const QString& sql, AlAvisar alAvisar, AlLeer alLeer) {
    m_pendientes.append({sql, std::move(alLeer), std::move(alAvisar), true});
}

bool LoteSql::enviar(QString* error) {
    const bool bien = m_juntos ? enviarJuntos(error) : enviarUnoAUno(error);
    m_pendientes.clear();
    return bien;
}

bool LoteSql::enviarUnoAUno(QString* error) {
    for (const Pendiente& p : m_pendientes) {
        ResultadoConsulta r;
        ++m_viajes;
        if (!m_cn.consultar(p.sql, r)) {
            *error = m_cn.ultimoError();
            return false;
        }
        if (p.alLeer)
            p.alLeer(r);
        // Warnings cost a round trip only when the server said it has some.
        if (p.escritura && r.avisos > 0) {
            ResultadoConsulta avisos;
            ++m_viajes;
            if (!m_cn.consultar(MostrarAvisos, avisos)) {
                *error = m_cn.ultimoError();
                return false;
            }
            if (p.alAvisar)
                p.alAvisar(avisosDe(avisos));
        }
    }
    return true;
}

bool LoteSql::enviarJuntos(QString* error) {
    qsizetype inicio = 0;
    while (inicio < m_pendientes.size()) {
        // Statements of one round trip, each write followed by its warnings (they are gone once
        // the next statement runs).
        QString texto;
        QList<int> resultadosDe; // per statement sent: index of the pending item, -1 for warnings
        qsizetype fin = inicio;
        while (fin < m_pendientes.size()) {
            const Pendiente& p = m_pendientes[fin];
            const qint64 largo = p.sql.size() + (p.escritura ? MostrarAvisos.size() + 2 : 0) + 1;
            if (fin > inicio && (texto.size() + largo) * 4 > m_bytes)
                break;
            if (!texto.isEmpty())
                texto += u';';
            texto += p.sql;
            resultadosDe.append(int(fin));
            if (p.escritura) {
                texto += u';' + MostrarAvisos;
                resultadosDe.append(-1);
            }
            ++fin;
        }
        QList<ResultadoConsulta> resultados;
        ++m_viajes;
        const bool bien = m_cn.consultarVarios(texto, resultados);
        for (qsizetype i = 0; i < resultados.size(); ++i) {
            const int j = resultadosDe[i];
            if (j >= 0) {
                if (m_pendientes[j].alLeer)
                    m_pendientes[j].alLeer(resultados[i]);
            } else if (i > 0 && resultados[i - 1].avisos > 0 &&
                       m_pendientes[resultadosDe[i - 1]].alAvisar) {
                m_pendientes[resultadosDe[i - 1]].alAvisar(avisosDe(resultados[i]));
            }
        }
        if (!bien) {
            *error = m_cn.ultimoError();
            return false;
        }
        inicio = fin;
    }
    return true;
}
