#include "escritor_web.h"

#include "services/basesdd.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
Valor numero(qint64 n) {
    return Valor::numero(n);
}
} // namespace

EscritorWeb::EscritorWeb(BasesDD& web, Conexion& cn, const Configuracion& configuracion)
    : m_web(web)
    , m_cn(cn)
    , m_config(configuracion) {}

bool EscritorWeb::fallo(const QString& texto, QString* error) const {
    *error = texto.isEmpty() ? m_cn.ultimoError() : texto;
    return false;
}

bool EscritorWeb::insertar(Recordset& rs, const QString& tabla,
                           const QList<std::pair<QString, Valor>>& fijos, bool conDefectos,
                           QString* error) {
    rs.AddNew();
    for (const auto& [columna, valor] : fijos)
        rs.fijar(columna, valor);
    if (conDefectos) {
        auto it = m_defectos.find(tabla);
        if (it == m_defectos.end())
            it = m_defectos.insert(
                tabla, LeerValoresIniciales(rutaValoresIniciales(m_config.carpetaPrograma, tabla)));
        AsignarValoresIniciales(*it, rs, QDateTime::currentDateTime());
    }
    if (!rs.Update())
        return fallo(rs.ultimoError(), error);
    return true;
}

bool EscritorWeb::EnviarProducto(const PlanProducto& plan, bool* creado, QString* error) {
    *creado = false;
    const bool bien = escribirProducto(plan, creado, error);
    if (m_config.transaccional) {
        if (bien && !m_cn.Execute(u"COMMIT"_s))
            return fallo(QString(), error);
        if (!bien && m_cn.abierta())
            m_cn.Execute(u"ROLLBACK"_s);
    }
    return bien;
}

bool EscritorWeb::escribirProducto(const PlanProducto& plan, bool* creado, QString* error) {
    const QString& tabla = m_config.tablaProductos;
    const QString& llave = plan.columnas.first();
    const Condicion condicion{{llave, plan.clave}};
    const Consulta busqueda = Consulta(tabla).donde_(llave, plan.clave).limitar(1);

    Recordset fila;
    bool hay = m_web.AbrirTabla(fila, m_cn, busqueda);
    if (!fila.abierto())
        return fallo(fila.ultimoError(), error);
    if (!hay) {
        if (!insertar(fila, tabla, {{llave, plan.valores.first()}}, true, error))
            return false;
        *creado = true;
    }
    if (!m_web.ActualizaRegistro(m_cn, fila, tabla, plan.columnas, plan.valores, condicion))
        return fallo(QString(), error);

    hay = m_web.AbrirTabla(fila, m_cn, busqueda);
    if (!fila.abierto())
        return fallo(fila.ultimoError(), error);
    if (!hay)
        return fallo(
            u"La fila no se volvió a encontrar por «%1» = «%2» después de escribirla "
            u"(¿el archivo de valores iniciales cambia la columna llave?)"_s.arg(llave, plan.clave),
            error);

    qint64 idWeb = 0;
    if (!m_config.campoTallaColor.isEmpty()) {
        bool existe = false;
        const Valor id = fila.valor(m_config.campoTallaColor, &existe);
        if (!existe)
            return fallo(u"La tabla %1 no tiene la columna «%2» (campo en productos para talla o "
                         u"color)"_s.arg(tabla, m_config.campoTallaColor),
                         error);
        idWeb = id.texto().toLongLong();
    }
    if (!EnviarTablasExternas(plan, fila, error))
        return false;
    if (m_config.usaTallasOColores && idWeb != 0)
        return EnviarTallasYColores(idWeb, plan, error);
    return true;
}

bool EscritorWeb::EnviarTablasExternas(const PlanProducto& plan, const Recordset& filaWeb,
                                       QString* error) {
    for (const EscrituraExterna& e : plan.externas) {
        bool existe = false;
        const Valor identificador = filaWeb.valor(e.llaveEnProds, &existe);
        if (!existe)
            return fallo(
                u"La tabla %1 no tiene la columna «%2» (llave de la tabla externa %3)"_s.arg(
                    m_config.tablaProductos, e.llaveEnProds, e.tabla),
                error);
        for (const auto& [columnaCondicion, valorCondicion] : e.filas) {
            Condicion condicion{{e.llave, identificador}};
            QList<std::pair<QString, Valor>> fijos{{e.llave, identificador}};
            if (!columnaCondicion.isEmpty()) {
                condicion.append({columnaCondicion, Valor(valorCondicion)});
                fijos.append({columnaCondicion, Valor(valorCondicion)});
            }
            Consulta busqueda(e.tabla);
            busqueda.donde = condicion;
            busqueda.limite = 1;
            Recordset aux;
            const bool hay = m_web.AbrirTabla(aux, m_cn, busqueda);
            if (!aux.abierto())
                return fallo(aux.ultimoError(), error);
            if (!hay && !insertar(aux, e.tabla, fijos, true, error))
                return false;
            const int i = aux.indice(e.columna);
            const Valor valor = valorParaColumna(i >= 0 ? &aux.campo(i) : nullptr, e.valor);
            if (!m_cn.Execute(Sql::update(m_cn, e.tabla, {e.columna}, {valor}, condicion, 1)))
                return fallo(QString(), error);
        }
    }
    return true;
}

bool EscritorWeb::valorDeOpcion(int opcion, const QString& nombre, qint64* id, QString* error) {
    const QString clave = QString::number(opcion) + u'|' + nombre.toLower();
    if (auto it = m_valoresOpcion.constFind(clave); it != m_valoresOpcion.constEnd()) {
        *id = *it;
        return true;
    }
    Recordset rs;
    bool hay = m_web.AbrirTabla(rs, m_cn,
                                Consulta(u"oc_option_value_description"_s)
                                    .donde_(u"option_id"_s, numero(opcion))
                                    .donde_(u"language_id"_s, numero(Idiomas[0]))
                                    .donde_(u"name"_s, nombre)
                                    .limitar(1));
    if (!rs.abierto())
        return fallo(rs.ultimoError(), error);
    if (hay) {
        *id = rs.valor(u"option_value_id"_s).texto().toLongLong();
    } else {
        Recordset valor;
        m_web.AbrirTabla(valor, m_cn, Consulta(u"oc_option_value"_s).limitar(0));
        if (!valor.abierto())
            return fallo(valor.ultimoError(), error);
        if (!insertar(valor, u"oc_option_value"_s,
                      {{u"option_id"_s, numero(opcion)},
                       {u"image"_s, Valor(QString())},
                       {u"sort_order"_s, numero(0)}},
                      false, error))
            return false;
        *id = qint64(valor.ultimoId());
    }
    // Every language gets the name, also for a value that so far lacked one.
    for (int idioma : Idiomas) {
        if (hay && idioma == Idiomas[0])
            continue;
        if (hay) {
            Recordset otro;
            const bool tiene = m_web.AbrirTabla(otro, m_cn,
                                                Consulta(u"oc_option_value_description"_s)
                                                    .donde_(u"option_value_id"_s, numero(*id))
                                                    .donde_(u"language_id"_s, numero(idioma))
                                                    .limitar(1));
            if (!otro.abierto())
                return fallo(otro.ultimoError(), error);
            if (tiene)
                continue;
        }
        const QString sql =
            Sql::insert(m_cn, u"oc_option_value_description"_s,
                        {u"option_value_id"_s, u"language_id"_s, u"option_id"_s, u"name"_s},
                        {numero(*id), numero(idioma), numero(opcion), Valor(nombre)});
        if (!m_cn.Execute(sql))
            return fallo(QString(), error);
    }
    m_valoresOpcion.insert(clave, *id);
    return true;
}

bool EscritorWeb::EnviarTallasYColores(qint64 idWeb, const PlanProducto& plan, QString* error) {
    if (plan.existencias.isEmpty())
        return true;
    const int opcion = m_config.usaTallas ? OpcionTallas : OpcionColores;

    // The product's option, found by the configured product-id column or created once.
    qint64 opcionProducto = 0;
    {
        Recordset rs;
        const bool hay = m_web.AbrirTabla(rs, m_cn,
                                          Consulta(u"oc_product_option"_s)
                                              .donde_(m_config.campoTallaColor, numero(idWeb))
                                              .donde_(u"option_id"_s, numero(opcion))
                                              .limitar(1));
        if (!rs.abierto())
            return fallo(rs.ultimoError(), error);
        if (hay) {
            opcionProducto = rs.valor(u"product_option_id"_s).texto().toLongLong();
        } else {
            if (!insertar(rs, u"oc_product_option"_s,
                          {{u"product_id"_s, numero(idWeb)},
                           {u"option_id"_s, numero(opcion)},
                           {u"value"_s, Valor(QString())},
                           {u"required"_s, numero(1)}},
                          false, error))
                return false;
            opcionProducto = qint64(rs.ultimoId());
        }
    }

    for (const Existencia& e : plan.existencias) {
        qint64 valorOpcion = 0;
        if (!valorDeOpcion(opcion, e.referencia, &valorOpcion, error))
            return false;
        // The stock row of this size: updated in place, since orders and carts point at its id.
        Recordset rs;
        const bool hay =
            m_web.AbrirTabla(rs, m_cn,
                             Consulta(u"oc_product_option_value"_s)
                                 .donde_(u"product_option_id"_s, numero(opcionProducto))
                                 .donde_(u"product_id"_s, numero(idWeb))
                                 .donde_(u"option_id"_s, numero(opcion))
                                 .donde_(u"option_value_id"_s, numero(valorOpcion))
                                 .limitar(1));
        if (!rs.abierto())
            return fallo(rs.ultimoError(), error);
        const int i = rs.indice(u"quantity"_s);
        const Valor cantidad = valorParaColumna(i >= 0 ? &rs.campo(i) : nullptr, e.cantidad);
        if (!hay) {
            if (!insertar(rs, u"oc_product_option_value"_s,
                          {{u"product_option_id"_s, numero(opcionProducto)},
                           {u"product_id"_s, numero(idWeb)},
                           {u"option_id"_s, numero(opcion)},
                           {u"option_value_id"_s, numero(valorOpcion)},
                           {u"quantity"_s, cantidad},
                           {u"subtract"_s, numero(1)},
                           {u"price"_s, numero(0)},
                           {u"price_prefix"_s, Valor(u"+"_s)},
                           {u"points"_s, numero(0)},
                           {u"points_prefix"_s, Valor(u"+"_s)},
                           {u"weight"_s, numero(0)},
                           {u"weight_prefix"_s, Valor(u"+"_s)}},
                          false, error))
                return false;
            continue;
        }
        // The column is whole; a fractional stock is stored rounded, so compare it rounded too.
        bool a = false;
        bool b = false;
        const double actual = rs.valor(u"quantity"_s).texto().toDouble(&a);
        const double nueva = cantidad.texto().toDouble(&b);
        if (a && b && std::llround(actual) == std::llround(nueva))
            continue;
        const Condicion id{{u"product_option_value_id"_s, rs.valor(u"product_option_value_id"_s)}};
        if (!m_cn.Execute(
                Sql::update(m_cn, u"oc_product_option_value"_s, {u"quantity"_s}, {cantidad}, id)))
            return fallo(QString(), error);
    }
    return true;
}
