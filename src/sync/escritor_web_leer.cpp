#include "escritor_web.h"

#include "escritor_web_modelo.h"
#include "texto_tienda.h"

using namespace Qt::StringLiterals;
using namespace escritor;

namespace {
QString listaLiterales(const Conexion& cn, const QStringList& textos) {
    QStringList l;
    for (const QString& t : textos)
        l.append(cn.literal(Valor(t)));
    return l.join(u',');
}

} // namespace

QList<EscritorWeb::Fila> escritor::filasDe(const ResultadoConsulta& r) {
    QList<EscritorWeb::Fila> filas;
    filas.reserve(r.filas.size());
    QStringList columnas;
    for (const CampoRecordset& c : r.campos)
        columnas.append(c.Name);
    const auto forma = EscritorWeb::Fila::formaDe(columnas);
    const qsizetype peso = columnas.indexOf(ColumnaPeso);
    for (const QList<Valor>& f : r.filas) {
        EscritorWeb::Fila fila;
        fila.forma = forma;
        fila.valores = f;
        if (peso >= 0)
            fila.peso = f[peso].texto();
        filas.append(std::move(fila));
    }
    return filas;
}

namespace {
QString claveDeExistencia(const EscritorWeb::Fila& f) {
    return f.valor(u"product_option_id"_s).texto() + u'|' + f.valor(u"product_id"_s).texto() +
           u'|' + f.valor(u"option_value_id"_s).texto();
}

QString claveDeTienda(const EscritorWeb::Fila& f) {
    return f.valor(u"product_id"_s).texto() + u'|' +
           QString::number(f.valor(u"store_id"_s).texto().toInt());
}

QString orden(const TablaTienda& t) {
    QStringList columnas = t.autoIncremento.isEmpty() ? t.primaria : QStringList{t.autoIncremento};
    for (QString& c : columnas)
        c = u"t."_s + id(c);
    return columnas.isEmpty() ? QString() : u" ORDER BY "_s + columnas.join(u',');
}

// The columns of `t` a block decides on, those the table has: a row's other columns (a product's
// long description) would only cost bytes on the link.
QString columnasDe(const TablaTienda& t, const QStringList& columnas) {
    QStringList lista;
    for (const QString& c : columnas)
        if (const ColumnaTienda* columna = t.columna(c)) {
            const QString nombre = u"t."_s + id(columna->nombre);
            if (!lista.contains(nombre))
                lista.append(nombre);
        }
    return lista.isEmpty() ? u"t.*"_s : lista.join(u',');
}
} // namespace

// Reads the shop's rows of the block's products: product rows with the weight of their key, and
// the external, option, stock and store rows that hang on them.
bool EscritorWeb::leer(Bloque& b, const QStringList& claves, bool soloFilas, QString* error) {
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);
    pedirFilas(b, lote, claves, soloFilas);
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    if (bien)
        hallarFilas(b);
    return bien;
}

void EscritorWeb::pedirFilas(Bloque& b, LoteSql& lote, const QStringList& claves, bool soloFilas,
                             const QSet<QString>* soloDe) {
    // Within the block's transaction a table it did not write holds what was read, with the
    // block's own changes already applied to the rows kept here.
    auto leerTabla = [soloDe](const QString& t) {
        return !soloDe || soloDe->contains(t.trimmed().toLower());
    };
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    const QString llave = b.planes->first().columnas.first();
    ColumnaTienda columnaLlave;
    columnaLlave.nombre = llave;
    if (const ColumnaTienda* c = tp.columna(llave))
        columnaLlave = *c;
    // A block that wrote nothing left its reads in an open transaction: ended here, so that this
    // block reads what the shop holds now.
    if (m_soloLecturas && !soloFilas)
        lote.consulta(u"COMMIT"_s, {});
    m_soloLecturas = !soloFilas && m_config.transaccional && !m_config.simulacro;
    bool porPrimaria = !m_primaria.isEmpty();
    for (const QString& c : claves)
        porPrimaria = porPrimaria && m_pesoDeClave.contains(c);
    QString selector;
    QStringList filas; // the primary keys of the block's rows known to the run
    if (porPrimaria) {
        QSet<QString> vistas;
        for (const QString& c : claves) {
            const QString peso = m_pesoDeClave.value(c);
            b.pesos.insert(c, peso);
            const auto it = m_filaDePeso.constFind(peso);
            if (it != m_filaDePeso.constEnd() && !vistas.contains(*it)) {
                vistas.insert(*it);
                filas.append(*it);
            }
        }
        QStringList partes;
        if (!filas.isEmpty())
            partes.append(id(m_primaria) + u" IN ("_s + listaLiterales(m_cn, filas) + u')');
        // Rows newer than the run knows: made by this block, or by a block that failed halfway.
        partes.append(id(m_primaria) + u">"_s + QString::number(m_ultimaFila));
        selector = u'(' + partes.join(u" OR "_s) + u')';
    } else {
        selector = id(llave) + u" IN ("_s + listaLiterales(m_cn, claves) + u')';
        if (!soloFilas) {
            QStringList pesos;
            for (const QString& c : claves)
                pesos.append(pesoDeLiteral(columnaLlave, m_cn.literal(Valor(c))));
            lote.consulta(u"SELECT "_s + pesos.join(u','),
                          [&b, claves](const ResultadoConsulta& r) {
                              for (qsizetype i = 0; i < claves.size() && !r.filas.isEmpty(); ++i)
                                  b.pesos.insert(claves[i], r.filas[0].value(i).texto());
                          });
        }
    }
    const QString deProductos = u" FROM "_s + id(m_config.tablaProductos) + u" WHERE "_s + selector;
    const PlanProducto& modelo = b.planes->first();
    // Read again for their ids, product rows need none of the mapped columns: the block has
    // decided on those already.
    QStringList columnasProducto = soloFilas ? QStringList() : modelo.columnas;
    columnasProducto << m_primaria << m_config.campoTallaColor << u"product_id"_s;
    // What the catalogue's decisions look at, and what a product out of sale gets back.
    if (m_config.fabricantes)
        columnasProducto << u"manufacturer_id"_s;
    if (m_config.bajas)
        columnasProducto << u"status"_s << u"stock_status_id"_s << u"quantity"_s;
    for (const EscrituraExterna& e : modelo.externas)
        columnasProducto.append(e.llaveEnProds);
    // Rows of another table that hang on the block's products by a product column. By the primary
    // key itself, the ids go in the statement: a subquery would scan the whole table.
    auto deLosProductos = [&](const QString& columnaAjena, const QString& columnaProductos) {
        if (porPrimaria && columnaProductos.compare(m_primaria, Qt::CaseInsensitive) == 0)
            return QString(selector).replace(id(m_primaria), u"t."_s + id(columnaAjena));
        return u"t."_s + id(columnaAjena) + u" IN (SELECT "_s + id(columnaProductos) + deProductos +
               u')';
    };
    QString seleccion = columnasDe(tp, columnasProducto);
    if (seleccion == u"t.*"_s)
        seleccion = columnasDe(tp, modelo.columnas + columnasProducto);
    if (leerTabla(m_config.tablaProductos))
        lote.consulta(u"SELECT "_s + pesoDeColumna(columnaLlave, u"t."_s + id(llave)) + u" AS "_s +
                          ColumnaPeso + u", "_s + seleccion + u" FROM "_s +
                          id(m_config.tablaProductos) + u" AS t WHERE "_s + selector + orden(tp),
                      [&b, this, porPrimaria, claves](const ResultadoConsulta& r) {
                          b.productos.poner(filasDe(r), [](const Fila& f) { return f.peso; });
                          if (!porPrimaria)
                              return;
                          // What this read found is what the shop holds for these keys: rows of a
                          // rolled-back block are gone, rows of a failed one are there.
                          for (const QString& c : claves)
                              m_filaDePeso.remove(m_pesoDeClave.value(c));
                          for (const Fila& f : b.productos.filas) {
                              const QString fila = f.valor(m_primaria).texto();
                              m_ultimaFila = qMax(m_ultimaFila, fila.toLongLong());
                              if (!m_filaDePeso.contains(f.peso))
                                  m_filaDePeso.insert(f.peso, fila);
                          }
                      });
    if (!soloDe)
        b.externas.clear();
    QSet<QString> pedidas;
    for (const EscrituraExterna& e : b.planes->first().externas) {
        const QString clave = e.tabla + u'|' + e.llave + u'|' + e.llaveEnProds;
        if (pedidas.contains(clave) || !leerTabla(e.tabla))
            continue;
        pedidas.insert(clave);
        b.externas.insert(clave, {});
        QStringList columnas{e.llave};
        for (const EscrituraExterna& otra : modelo.externas)
            if (otra.tabla + u'|' + otra.llave + u'|' + otra.llaveEnProds == clave) {
                columnas.append(otra.columna);
                for (const auto& condicion : otra.filas)
                    columnas.append(condicion.first);
            }
        lote.consulta(u"SELECT "_s + columnasDe(tabla(e.tabla), columnas) + u" FROM "_s +
                          id(e.tabla) + u" AS t WHERE "_s +
                          deLosProductos(e.llave, e.llaveEnProds) + orden(tabla(e.tabla)),
                      [&b, clave, columna = tabla(e.tabla).columna(e.llave),
                       llaveExterna = e.llave](const ResultadoConsulta& r) {
                          b.externas[clave].poner(filasDe(r), [&](const Fila& f) {
                              return identidad(columna, f.valor(llaveExterna));
                          });
                      });
    }
    if (m_config.usaTallasOColores && !m_config.campoTallaColor.isEmpty()) {
        const QString opcion = QString::number(m_opcion);
        const bool conocidas = porPrimaria && m_opcionesDe.activo;
        auto anotar = [this, conocidas](FilasDeProducto& f, const QList<Fila>& leidas) {
            if (conocidas)
                for (const Fila& fila : leidas)
                    f.anotar(fila.valor(f.producto).texto().toLongLong(),
                             fila.valor(f.primaria).texto().toLongLong());
        };
        if (leerTabla(m_opcionesDe.tabla))
            lote.consulta(u"SELECT "_s +
                              columnasDe(tabla(m_opcionesDe.tabla),
                                         {u"product_option_id"_s, m_config.campoTallaColor}) +
                              u" FROM "_s + id(m_opcionesDe.tabla) + u" AS t WHERE t.option_id="_s +
                              opcion + u" AND "_s +
                              (conocidas ? selectorDe(m_opcionesDe, filas)
                                         : deLosProductos(m_config.campoTallaColor,
                                                          m_config.campoTallaColor)) +
                              u" ORDER BY t.product_option_id"_s,
                          [&b, this, anotar](const ResultadoConsulta& r) {
                              b.opciones.poner(filasDe(r), [this](const Fila& f) {
                                  return f.valor(m_config.campoTallaColor).texto();
                              });
                              anotar(m_opcionesDe, b.opciones.filas);
                          });
        if (leerTabla(m_existenciasDe.tabla))
            lote.consulta(u"SELECT "_s +
                              columnasDe(tabla(m_existenciasDe.tabla),
                                         {u"product_option_value_id"_s, u"product_option_id"_s,
                                          u"product_id"_s, u"option_value_id"_s, u"quantity"_s}) +
                              u" FROM "_s + id(m_existenciasDe.tabla) +
                              u" AS t WHERE t.option_id="_s + opcion + u" AND "_s +
                              (conocidas
                                   ? selectorDe(m_existenciasDe, filas)
                                   : deLosProductos(u"product_id"_s, m_config.campoTallaColor)) +
                              u" ORDER BY t.product_option_value_id"_s,
                          [&b, this, anotar](const ResultadoConsulta& r) {
                              b.valores.poner(filasDe(r), claveDeExistencia);
                              anotar(m_existenciasDe, b.valores.filas);
                          });
    }
    const QString tTiendas = tablaOpcion(u"product_to_store"_s);
    if (!m_config.tiendas.isEmpty() && tabla(tTiendas).existe() && tp.columna(u"product_id"_s) &&
        leerTabla(tTiendas))
        lote.consulta(
            u"SELECT t.* FROM "_s + id(tTiendas) + u" AS t WHERE "_s +
                deLosProductos(u"product_id"_s, u"product_id"_s),
            [&b](const ResultadoConsulta& r) { b.tiendas.poner(filasDe(r), claveDeTienda); });
    if (!soloDe || leerTabla(tablaOpcion(u"product_to_category"_s)) ||
        leerTabla(tablaOpcion(u"seo_url"_s)) || (m_registro && leerTabla(m_registro->tabla())))
        leerCatalogo(b, lote, claves, deLosProductos);
}

void EscritorWeb::hallarFilas(Bloque& b) {
    // Each product takes the first row (primary-key order) whose key its own key equals under the
    // column's collation; rows stored before text was encoded are found by the key as it comes.
    b.filaDe.fill(-1, b.planes->size());
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        if ((*b.resultados)[i].fallido)
            continue;
        for (const QString& c : {b.llaves[i], b.crudas[i]}) {
            if (c.isNull() || b.filaDe[i] >= 0)
                continue;
            const auto it = b.productos.por.constFind(b.pesos.value(c));
            if (it != b.productos.por.constEnd() && !it->isEmpty())
                b.filaDe[i] = it->first();
        }
    }
}
