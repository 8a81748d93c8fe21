#include "nombres_relacionados.h"

#include "bitacora_envio.h"
#include "services/basesdd.h"

#include <cmath>

using namespace Qt::StringLiterals;

std::optional<TablaRelacionada> TablaRelacionadaDe(const QString& deVM) {
    const QString columna = deVM.toLower();
    if (columna == u"linea"_s)
        return TablaRelacionada{u"lineas"_s, u"Linea"_s};
    if (columna == u"sublinea"_s)
        return TablaRelacionada{u"sublineas"_s, u"SubLinea"_s};
    if (columna == u"marca"_s)
        return TablaRelacionada{u"marcas"_s, u"Marca"_s};
    if (columna == u"unidadmedida"_s)
        return TablaRelacionada{u"medidas"_s, u"Medida"_s};
    return std::nullopt;
}

bool BuscadorNombres::cargar(const TablaRelacionada& relacion, QString* error) {
    const QString clave = relacion.tabla.toLower();
    if (m_tablas.contains(clave))
        return true;
    // The tables are small catalogues: one read per run instead of one lookup per product.
    Recordset rs;
    m_bases.AbrirTabla(rs, m_pos, Consulta(relacion.tabla).con({u"Id"_s, relacion.columna}));
    if (!rs.abierto()) {
        *error = rs.ultimoError();
        return false;
    }
    QHash<qint64, QString> nombres;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        bool ok = false;
        const qint64 id = rs.valor(0).texto().toLongLong(&ok);
        if (ok && !nombres.contains(id))
            nombres.insert(id, rs.valor(1).texto());
    }
    m_tablas.insert(clave, nombres);
    return true;
}

bool BuscadorNombres::BuscarNombrePorId(const Valor& id, const TablaRelacionada& relacion,
                                        QString* nombre, QString* error) {
    nombre->clear();
    bool ok = false;
    const double numero = id.texto().trimmed().toDouble(&ok);
    if (id.esNulo() || !ok || !std::isfinite(numero) || std::trunc(numero) != numero) {
        qCInfo(lcNombres).noquote()
            << u"El id «%1» de %2 no es un número; se envía el nombre vacío"_s.arg(
                   id.esNulo() ? u"NULL"_s : id.texto(), relacion.tabla);
        return true;
    }
    if (!cargar(relacion, error))
        return false;
    *nombre = m_tablas.value(relacion.tabla.toLower()).value(qint64(numero));
    return true;
}

bool BuscadorNombres::reemplazar(const QString& deVM, const Valor& valor, Valor* resultado,
                                 QString* error) {
    const auto relacion = TablaRelacionadaDe(deVM);
    if (!relacion) {
        *resultado = valor;
        return true;
    }
    QString nombre;
    if (!BuscarNombrePorId(valor, *relacion, &nombre, error))
        return false;
    *resultado = Valor(nombre);
    return true;
}
