#include "lector_productos.h"

#include "services/basesdd.h"

using namespace Qt::StringLiterals;

LectorProductos::LectorProductos(BasesDD& pos, Conexion& cn, Consulta consulta, qsizetype porPagina)
    : m_pos(pos)
    , m_cn(cn)
    , m_consulta(std::move(consulta))
    , m_porPagina(qMax<qsizetype>(1, porPagina)) {}

bool LectorProductos::leerClaves(QStringList* claves, QString* error) {
    Consulta soloClaves = m_consulta;
    soloClaves.columnas = {m_consulta.ordenarPor};
    claves->clear();
    m_limites = {Valor::nulo()};
    m_pagina = 0;
    m_leidas = 0;
    qsizetype n = 0;
    const bool bien =
        m_cn.consultarFilas(Sql::select(m_cn, soloClaves), [&](const QList<Valor>& f) {
            // NULL keys sort first: a limit is never one of them, so they all fall on the first
            // page.
            if (n > 0 && n % m_porPagina == 0 && !f[0].esNulo())
                m_limites.append(f[0]);
            m_ultima = f[0];
            claves->append(f[0].texto());
            ++n;
        });
    if (!bien) {
        *error = m_cn.ultimoError();
        return false;
    }
    m_total = n;
    if (n == 0)
        m_limites.clear();
    return true;
}

bool LectorProductos::siguiente(Recordset& rs, QString* error) {
    error->clear();
    rs.cerrar();
    if (m_pagina >= m_limites.size())
        return false;
    const bool ultima = m_pagina + 1 == m_limites.size();
    // Rows added after the keys were read are left to the next send, except those that fall
    // between two pages' limits.
    Consulta pagina = m_consulta;
    if (m_consulta.limite >= 0) {
        // Keys equal under the collation may bring more rows than keys: the limit is on rows.
        pagina.limite = m_consulta.limite - m_leidas;
        if (pagina.limite <= 0)
            return false;
    }
    pagina.entre({m_consulta.ordenarPor, m_limites[m_pagina],
                  ultima ? m_ultima : m_limites[m_pagina + 1], ultima});
    bool bien = rs.abrir(m_cn, pagina);
    if (!bien && m_cn.conexionPerdida() && m_pos.AbrirBdD(m_cn, m_pos.cMiBase))
        bien = rs.abrir(m_cn, pagina);
    if (!bien) {
        *error = rs.ultimoError();
        return false;
    }
    rs.setActiveConnection(nullptr);
    m_leidas += rs.RecordCount();
    ++m_pagina;
    return true;
}
