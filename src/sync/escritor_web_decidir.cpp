#include "escritor_web.h"

#include "escritor_web_modelo.h"
#include "texto_tienda.h"
#include "ventana_envio.h"

#include <QSet>

using namespace Qt::StringLiterals;
using namespace escritor;

void EscritorWeb::refusarGemelas(Bloque& b) {
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        ResultadoProducto& res = (*b.resultados)[i];
        const QString peso = b.pesos.value(b.llaves[i]);
        if (res.fallido || peso.isEmpty())
            continue;
        const QString& clave = (*b.planes)[i].clave;
        const auto it = m_clavePorPeso.constFind(peso);
        if (it == m_clavePorPeso.constEnd()) {
            m_clavePorPeso.insert(peso, clave);
        } else if (*it != clave) {
            // Merged, one key's values would overwrite the other's at every send.
            res.fallido = true;
            res.gemela = true;
            res.error = u"la clave «%1» equivale en la tienda a «%2»: la columna «%3» de %4 no "
                        u"las distingue (mayúsculas, acentos o blancos al final), así que se envía "
                        u"solo «%2»"_s.arg(clave, *it, m_columnaLlave, m_config.tablaProductos);
        }
    }
}

void EscritorWeb::validar(Bloque& b) {
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    const ColumnaTienda* cantidad =
        tabla(tablaOpcion(u"product_option_value"_s)).columna(u"quantity"_s);
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        const PlanProducto& plan = (*b.planes)[i];
        ResultadoProducto& res = (*b.resultados)[i];
        // A number the column cannot hold would publish the column's limit, or 0, as the price.
        auto revisar = [&](const ColumnaTienda* columna, const Valor& valor, const QString& de) {
            if (res.fallido || !columna || valor.esNulo())
                return;
            const QString motivo =
                numeroNoCabe(*columna, valorParaTienda(columna, valor, false).texto());
            if (motivo.isEmpty())
                return;
            res.fallido = true;
            res.error = u"No se envía: el valor %1 (%2)"_s.arg(motivo, de);
        };
        for (qsizetype c = 1; c < plan.columnas.size(); ++c)
            revisar(tp.columna(plan.columnas[c]), plan.valores.value(c), m_config.tablaProductos);
        for (const EscrituraExterna& e : plan.externas)
            revisar(tabla(e.tabla).columna(e.columna), e.valor, e.tabla);
        if (m_config.usaTallasOColores)
            for (const Existencia& ex : plan.existencias)
                revisar(cantidad, ex.cantidad, u"existencia de «%1»"_s.arg(ex.referencia));
    }
}

void EscritorWeb::decidirProductos(Bloque& b) {
    const QString& t = m_config.tablaProductos;
    const TablaTienda& tp = tabla(t);
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        const PlanProducto& plan = (*b.planes)[i];
        ResultadoProducto& res = (*b.resultados)[i];
        if (res.fallido)
            continue;
        QList<Valor> valores;
        for (qsizetype c = 0; c < plan.columnas.size(); ++c)
            valores.append(c == 0 ? Valor(b.llaves[i])
                                  : valorParaTienda(tp.columna(plan.columnas[c]),
                                                    plan.valores.value(c), m_config.codificar));
        // Said once, when the cleaned value is written.
        auto limpiado = [&](qsizetype c) {
            if (c > 0 &&
                tieneControles(tp.columna(plan.columnas[c]), plan.valores.value(c).texto()))
                res.avisos.append(u"%1: se quitaron de «%2» caracteres de control que venían del "
                                  u"punto de venta"_s.arg(t, plan.columnas[c]));
        };
        int f = b.filaDe[i];
        if (f < 0)
            m_creadas.insert(b.llaves[i]);
        res.creado = m_creadas.contains(b.llaves[i]);
        if (f < 0) {
            // One statement carries the defaults and the mapped values: a product appears
            // complete or not at all.
            Escritura e{t, {}, {}, {}, -1, int(i), true};
            for (const auto& [columna, valor] : defectosDe(t))
                fijar(e, columna, valor);
            for (qsizetype c = 0; c < plan.columnas.size(); ++c) {
                fijar(e, plan.columnas[c], valores[c]);
                limpiado(c);
            }
            completarTextos(e, tp);
            Fila fila = filaNueva(e, int(b.escrituras.size()));
            fila.peso = b.pesos.value(b.llaves[i]);
            if (m_config.simulacro)
                for (qsizetype c = 0; c < e.columnas.size(); ++c)
                    m_ventana->cambioPrevisto(
                        {t, plan.clave, true, e.columnas[c], Valor::nulo(), e.valores[c]});
            b.escrituras.append(e);
            b.filaDe[i] = b.productos.agregar(fila, fila.peso);
            b.hayInserciones = true;
            res.cambiado = true;
            continue;
        }
        Fila& fila = b.productos.filas[f];
        Escritura e{t, {}, {}, {}, -1, int(i), false};
        for (qsizetype c = 0; c < plan.columnas.size(); ++c) {
            const ColumnaTienda* col = tp.columna(plan.columnas[c]);
            if (fila.tiene(plan.columnas[c]) &&
                mismoValor(col, fila.valor(plan.columnas[c]), valores[c]))
                continue;
            if (m_config.simulacro)
                m_ventana->cambioPrevisto({t, plan.clave, false, plan.columnas[c],
                                           fila.valor(plan.columnas[c]), valores[c]});
            fijar(e, plan.columnas[c], valores[c]);
            fila.poner(plan.columnas[c], valores[c]);
            limpiado(c);
        }
        if (e.columnas.isEmpty())
            continue;
        res.cambiado = true;
        if (fila.insercion >= 0) {
            for (qsizetype c = 0; c < e.columnas.size(); ++c)
                fijar(b.escrituras[fila.insercion], e.columnas[c], e.valores[c]);
            continue;
        }
        // The row found is the one written: by its primary key (the key column has no index), or
        // else by the key that found it (as stored or, for an old row, as it comes).
        if (!m_primaria.isEmpty() && fila.tiene(m_primaria)) {
            e.condicion = {{m_primaria, fila.valor(m_primaria)}};
        } else {
            const QString encontrada =
                b.pesos.value(b.llaves[i]) == fila.peso ? b.llaves[i] : b.crudas[i];
            e.condicion = {{plan.columnas.first(), Valor(encontrada)}};
        }
        b.escrituras.append(e);
    }
}

void EscritorWeb::decidirRelacionadas(Bloque& b) {
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    const QString tTiendas = tablaOpcion(u"product_to_store"_s);
    const QString tOpcion = tablaOpcion(u"product_option"_s);
    const bool conTiendas = tabla(tTiendas).existe() && tp.columna(u"product_id"_s);
    // Products the shop has in some store: one that is in none is invisible everywhere, which is
    // what a creation cut off before its links leaves.
    QSet<QString> enAlgunaTienda;
    for (const Fila& f : std::as_const(b.tiendas.filas))
        enAlgunaTienda.insert(f.valor(u"product_id"_s).texto());
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        const PlanProducto& plan = (*b.planes)[i];
        ResultadoProducto& res = (*b.resultados)[i];
        if (res.fallido || b.filaDe[i] < 0)
            continue;
        const Fila& fila = b.productos.filas[b.filaDe[i]];
        auto valorDe = [&](const QString& columna) {
            if (!fila.tiene(columna) && fila.insercion >= 0)
                return Valor(Nuevo); // a dry run's new row has no id yet
            return fila.valor(columna);
        };

        const Valor producto = conTiendas ? valorDe(u"product_id"_s) : Valor();
        const bool sinTienda = conTiendas && !res.creado && fila.insercion < 0 &&
                               !enAlgunaTienda.contains(producto.texto());
        if (sinTienda)
            res.notas.append(u"no estaba en ninguna tienda (no se veía en la tienda en línea); se "
                             u"enlaza a las tiendas %1"_s.arg(tiendasTexto()));
        if ((res.creado || sinTienda) && conTiendas) {
            for (int tienda : m_config.tiendas) {
                const QString clave = producto.texto() + u'|' + QString::number(tienda);
                if (b.tiendas.primera(clave))
                    continue;
                if (m_config.simulacro)
                    m_ventana->cambioPrevisto({tTiendas, plan.clave, true, u"store_id"_s,
                                               Valor::nulo(), Valor::numero(tienda)});
                Fila enlace;
                enlace.poner(u"product_id"_s, producto);
                enlace.poner(u"store_id"_s, Valor::numero(tienda));
                b.tiendas.agregar(enlace, clave);
                res.cambiado = true;
                b.escrituras.append({tTiendas,
                                     {u"product_id"_s, u"store_id"_s},
                                     {producto, Valor::numero(tienda)},
                                     {},
                                     -1,
                                     int(i),
                                     true});
            }
        }

        for (const EscrituraExterna& e : plan.externas) {
            if (!fila.tiene(e.llaveEnProds) && fila.insercion < 0) {
                res.fallido = true;
                res.error =
                    u"La tabla %1 no tiene la columna «%2» (llave de la tabla externa %3)"_s.arg(
                        m_config.tablaProductos, e.llaveEnProds, e.tabla);
                break;
            }
            const TablaTienda& te = tabla(e.tabla);
            const Valor identificador = valorDe(e.llaveEnProds);
            const Valor valor = valorParaTienda(te.columna(e.columna), e.valor, m_config.codificar);
            const QString limpiado =
                tieneControles(te.columna(e.columna), e.valor.texto())
                    ? u"%1: se quitaron de «%2» caracteres de control que venían del punto de "
                      u"venta"_s.arg(e.tabla, e.columna)
                    : QString();
            Indice& filas = b.externas[e.tabla + u'|' + e.llave + u'|' + e.llaveEnProds];
            const QString porLlave = identidad(te.columna(e.llave), identificador);
            for (const auto& [columnaCondicion, textoCondicion] : e.filas) {
                const Valor condicion = valorParaTienda(te.columna(columnaCondicion),
                                                        Valor(textoCondicion), m_config.codificar);
                Fila* existente = nullptr;
                for (int j : filas.por.value(porLlave))
                    if (columnaCondicion.isEmpty() ||
                        mismoValor(te.columna(columnaCondicion),
                                   filas.filas[j].valor(columnaCondicion), condicion)) {
                        existente = &filas.filas[j];
                        break;
                    }
                if (!existente) {
                    Escritura alta{e.tabla, {}, {}, {}, -1, int(i), true};
                    for (const auto& [columna, v] : defectosDe(e.tabla))
                        fijar(alta, columna, v);
                    fijar(alta, e.llave, identificador);
                    if (!columnaCondicion.isEmpty())
                        fijar(alta, columnaCondicion, condicion);
                    fijar(alta, e.columna, valor);
                    completarTextos(alta, te);
                    Fila nueva = filaNueva(alta, int(b.escrituras.size()));
                    if (m_config.simulacro)
                        for (qsizetype c = 0; c < alta.columnas.size(); ++c)
                            m_ventana->cambioPrevisto({e.tabla, plan.clave, true, alta.columnas[c],
                                                       Valor::nulo(), alta.valores[c]});
                    b.escrituras.append(alta);
                    filas.agregar(nueva, porLlave);
                    res.cambiado = true;
                    if (!limpiado.isEmpty() && !res.avisos.contains(limpiado))
                        res.avisos.append(limpiado);
                    continue;
                }
                if (existente->tiene(e.columna) &&
                    mismoValor(te.columna(e.columna), existente->valor(e.columna), valor))
                    continue;
                if (m_config.simulacro)
                    m_ventana->cambioPrevisto({e.tabla, plan.clave, false, e.columna,
                                               existente->valor(e.columna), valor});
                existente->poner(e.columna, valor);
                res.cambiado = true;
                if (!limpiado.isEmpty() && !res.avisos.contains(limpiado))
                    res.avisos.append(limpiado);
                if (existente->insercion >= 0) {
                    fijar(b.escrituras[existente->insercion], e.columna, valor);
                    continue;
                }
                Condicion donde{{e.llave, identificador}};
                if (!columnaCondicion.isEmpty())
                    donde.append({columnaCondicion, condicion});
                b.escrituras.append({e.tabla, {e.columna}, {valor}, donde, 1, int(i), false});
            }
        }
        if (res.fallido)
            continue;

        if (!m_config.usaTallasOColores || plan.existencias.isEmpty() ||
            m_config.campoTallaColor.isEmpty())
            continue;
        if (!fila.tiene(m_config.campoTallaColor) && fila.insercion < 0) {
            res.fallido = true;
            res.error = u"La tabla %1 no tiene la columna «%2» (campo en productos para talla o "
                        u"color)"_s.arg(m_config.tablaProductos, m_config.campoTallaColor);
            continue;
        }
        const Valor idWeb = valorDe(m_config.campoTallaColor);
        if (idWeb.texto() != Nuevo && idWeb.texto().toLongLong() == 0)
            continue;
        if (b.opciones.primera(idWeb.texto()))
            continue;
        Escritura alta{tOpcion,
                       {u"product_id"_s, u"option_id"_s, u"value"_s, u"required"_s},
                       {idWeb, Valor::numero(m_opcion), Valor(QString()), Valor::numero(1)},
                       {},
                       -1,
                       int(i),
                       true};
        Fila nueva = filaNueva(alta, int(b.escrituras.size()));
        nueva.poner(m_config.campoTallaColor, idWeb);
        if (m_config.simulacro)
            m_ventana->cambioPrevisto(
                {tOpcion, plan.clave, true, u"option_id"_s, Valor::nulo(), alta.valores[1]});
        b.opciones.agregar(nueva, idWeb.texto());
        b.escrituras.append(alta);
        b.hayInserciones = true;
        res.cambiado = true;
    }
}

void EscritorWeb::decidirExistencias(Bloque& b) {
    if (!m_config.usaTallasOColores || m_config.campoTallaColor.isEmpty())
        return;
    const QString tValor = tablaOpcion(u"product_option_value"_s);
    const TablaTienda& tv = tabla(tValor);
    const ColumnaTienda* cantidadCol = tv.columna(u"quantity"_s);
    const ColumnaTienda* descCol =
        tabla(tablaOpcion(u"option_value_description"_s)).columna(u"name"_s);
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        const PlanProducto& plan = (*b.planes)[i];
        ResultadoProducto& res = (*b.resultados)[i];
        if (res.fallido || b.filaDe[i] < 0 || plan.existencias.isEmpty())
            continue;
        const Fila& fila = b.productos.filas[b.filaDe[i]];
        const Valor idWeb = fila.tiene(m_config.campoTallaColor)
                                ? fila.valor(m_config.campoTallaColor)
                                : Valor(Nuevo);
        if (idWeb.texto() != Nuevo && idWeb.texto().toLongLong() == 0)
            continue;
        const Fila* opcion = b.opciones.primera(idWeb.texto());
        const Valor opcionProducto = opcion && opcion->tiene(u"product_option_id"_s)
                                         ? opcion->valor(u"product_option_id"_s)
                                         : Valor(Nuevo);
        for (const Existencia& ex : plan.existencias) {
            const QString nombre =
                valorParaTienda(descCol, Valor(ex.referencia), m_config.codificar).texto();
            if (const auto rechazo = m_nombresRechazados.constFind(nombre);
                rechazo != m_nombresRechazados.constEnd()) {
                res.omitidos.append(u"%1 «%2» no se envió: el nombre %3"_s.arg(
                    m_config.usaTallas ? u"la talla"_s : u"el color"_s, ex.referencia, *rechazo));
                continue;
            }
            const Valor valorOpcion =
                Valor::numero(m_valoresOpcion.value(m_pesosOpcion.value(nombre)));
            const Valor cantidad = valorParaTienda(cantidadCol, ex.cantidad, false);
            const QString clave =
                opcionProducto.texto() + u'|' + idWeb.texto() + u'|' + valorOpcion.texto();
            Fila* existente = b.valores.primera(clave);
            if (!existente) {
                Escritura alta{tValor,
                               {u"product_option_id"_s, u"product_id"_s, u"option_id"_s,
                                u"option_value_id"_s, u"quantity"_s, u"subtract"_s, u"price"_s,
                                u"price_prefix"_s, u"points"_s, u"points_prefix"_s, u"weight"_s,
                                u"weight_prefix"_s},
                               {opcionProducto, idWeb, Valor::numero(m_opcion), valorOpcion,
                                cantidad, Valor::numero(1), Valor::numero(0), Valor(u"+"_s),
                                Valor::numero(0), Valor(u"+"_s), Valor::numero(0), Valor(u"+"_s)},
                               {},
                               -1,
                               int(i),
                               true};
                Fila nueva = filaNueva(alta, int(b.escrituras.size()));
                if (m_config.simulacro)
                    m_ventana->cambioPrevisto({tValor, plan.clave, true,
                                               u"quantity (%1)"_s.arg(ex.referencia), Valor::nulo(),
                                               cantidad});
                b.valores.agregar(nueva, clave);
                b.escrituras.append(alta);
                res.cambiado = true;
                continue;
            }
            // Updated in place: orders and carts point at the row's id.
            if (mismoValor(cantidadCol, existente->valor(u"quantity"_s), cantidad))
                continue;
            if (m_config.simulacro)
                m_ventana->cambioPrevisto({tValor, plan.clave, false,
                                           u"quantity (%1)"_s.arg(ex.referencia),
                                           existente->valor(u"quantity"_s), cantidad});
            existente->poner(u"quantity"_s, cantidad);
            res.cambiado = true;
            if (existente->insercion >= 0) {
                fijar(b.escrituras[existente->insercion], u"quantity"_s, cantidad);
                continue;
            }
            b.escrituras.append(
                {tValor,
                 {u"quantity"_s},
                 {cantidad},
                 {{u"product_option_value_id"_s, existente->valor(u"product_option_value_id"_s)}},
                 -1,
                 int(i),
                 false});
        }
    }
}
