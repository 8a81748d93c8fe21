// The catalogue around each product (its categories, its manufacturer, its keywords), the record of
// what Vendaro made, and the products that left the point of sale.
#include "escritor_web.h"

#include "bitacora_envio.h"
#include "escritor_web_modelo.h"
#include "texto_tienda.h"
#include "ventana_envio.h"

using namespace Qt::StringLiterals;
using namespace escritor;

namespace {
QString claveDeEnlace(const EscritorWeb::Fila& f) {
    return f.valor(u"product_id"_s).texto() + u'|' + f.valor(u"category_id"_s).texto();
}

// What a product had before Vendaro took it out of sale, to give it back: "mode|status|stock
// status|quantity", the mode "s" (out of stock, with the status Vendaro set after it) or "d"
// (disabled).
struct Baja {
    QString modo;
    QString estado;
    QString estadoExistencias;
    QString cantidad;
    QString estadoPuesto;
    static Baja de(const QString& dato) {
        const QStringList p = dato.split(u'|');
        return {p.value(0), p.value(1), p.value(2), p.value(3), p.value(4)};
    }
    QString texto() const {
        return QStringList{modo, estado, estadoExistencias, cantidad, estadoPuesto}.join(u'|');
    }
};
} // namespace

bool EscritorWeb::prepararCatalogo(const QList<Pertenencia>& pertenencias, QString* error) {
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    m_registro = std::make_unique<RegistroTienda>(m_prefijo);
    // Read with the send's tables from the second send on; the first one makes it.
    const bool leida = tabla(m_registro->tabla()).existe();
    // Kept from the first send on, so that what later features act on is known.
    if (!m_registro->preparar(m_cn, tp.transaccional ? u"InnoDB"_s : u"MyISAM"_s,
                              m_config.simulacro, leida, m_registroProbado, &m_sinRegistro)) {
        if (!m_cn.abierta()) {
            *error = m_sinRegistro;
            return false;
        }
        // A warning only when a feature the settings ask for needs it.
        if (m_config.categorias || m_config.fabricantes || m_config.palabras || m_config.bajas)
            qCWarning(lcNombres).noquote() << m_sinRegistro;
        else
            qCInfo(lcNombres).noquote() << m_sinRegistro;
        m_config.categorias = m_config.fabricantes = m_config.palabras = m_config.bajas = false;
        return true;
    }
    m_viajes += (leida ? 0 : 1) + (leida && m_registroProbado ? 0 : 1);
    // Its columns, for the checksums of what the record says of each product.
    if (!leida && !m_config.simulacro) {
        if (!LeerEsquemaTienda(m_cn, {m_registro->tabla()}, &m_esquema, error))
            return false;
        ++m_viajes;
    }
    if (!m_config.categorias && !m_config.fabricantes && !m_config.palabras)
        return true;
    CatalogoTienda::Configuracion c;
    c.prefijo = m_prefijo;
    c.tiendas = m_config.tiendas;
    c.idiomas = m_idiomas;
    c.codificar = m_config.codificar;
    c.categorias = m_config.categorias;
    c.sublineas = m_config.sublineas;
    c.fabricantes = m_config.fabricantes;
    c.palabras = m_config.palabras;
    c.simulacro = m_config.simulacro;
    c.porLotes = m_config.porLotes;
    c.bytesPorViaje = m_bytesPorViaje;
    m_catalogo = std::make_unique<CatalogoTienda>(m_cn, m_esquema, *m_registro, c, m_ventana);
    const bool bien = m_catalogo->preparar(pertenencias, error);
    m_viajes += m_catalogo->viajes();
    return bien;
}

void EscritorWeb::leerCatalogo(
    Bloque& b, LoteSql& lote, const QStringList& claves,
    const std::function<QString(const QString&, const QString&)>& deLosProductos) {
    Q_UNUSED(claves)
    if (m_config.categorias)
        lote.consulta(
            u"SELECT t.product_id, t.category_id FROM "_s +
                id(tablaOpcion(u"product_to_category"_s)) + u" AS t WHERE "_s +
                deLosProductos(u"product_id"_s, u"product_id"_s),
            [&b](const ResultadoConsulta& r) { b.enCategorias.poner(filasDe(r), claveDeEnlace); });
    // What the record says of the block's keys matters to the features that take back or keep
    // what Vendaro wrote; without them, a product made is noted and nothing read.
    if (m_registro && m_registro->disponible() &&
        (m_config.categorias || m_config.fabricantes || m_config.bajas)) {
        QStringList delPuntoDeVenta;
        for (const PlanProducto& p : *b.planes)
            delPuntoDeVenta.append(p.clave);
        lote.consulta(
            m_registro->consulta(m_cn,
                                 {RegistroTienda::Producto, RegistroTienda::EnlaceCategoria,
                                  RegistroTienda::FabricanteDe, RegistroTienda::Baja},
                                 delPuntoDeVenta),
            [&b](const ResultadoConsulta& r) { b.registro.poner(RegistroTienda::filasDe(r)); });
    }
    if (m_config.palabras && m_catalogo) {
        const QString seo = id(tablaOpcion(u"seo_url"_s));
        const QString productos = deLosProductos(u"product_id"_s, u"product_id"_s);
        // The keyword rows of the block's products, however the shop names them (CONCAT: a text
        // that takes the column's collation, whatever the session's).
        const QString sql =
            m_catalogo->oc4()
                ? u"SELECT s.store_id, s.language_id, CONCAT('product_id=', s.`value`) FROM "_s +
                      seo +
                      u" s WHERE s.`key` = 'product_id' AND s.`value` IN (SELECT "
                      u"CONCAT(t.product_id) FROM "_s +
                      id(m_config.tablaProductos) + u" AS t WHERE "_s + productos + u')'
                : u"SELECT s.store_id, s.language_id, s.query FROM "_s + seo +
                      u" s WHERE s.query IN (SELECT CONCAT('product_id=', t.product_id) FROM "_s +
                      id(m_config.tablaProductos) + u" AS t WHERE "_s + productos + u')';
        lote.consulta(sql, [&b](const ResultadoConsulta& r) {
            b.palabras.clear();
            for (const QList<Valor>& f : r.filas)
                b.palabras.insert(f[0].texto() + u'|' + f[1].texto() + u'|' + f[2].texto());
        });
    }
}

void EscritorWeb::decidirCatalogo(Bloque& b) {
    if (!m_registro || !m_registro->disponible() || m_primaria.isEmpty())
        return;
    const QString& tp = m_config.tablaProductos;
    const QString tCategorias = tablaOpcion(u"product_to_category"_s);
    QList<CatalogoTienda::Pedido> pedidos;
    QList<int> deQuien; // the product of each keyword asked for
    for (qsizetype i = 0; i < b.planes->size(); ++i) {
        const PlanProducto& plan = (*b.planes)[i];
        ResultadoProducto& res = (*b.resultados)[i];
        if (res.fallido || b.filaDe[i] < 0)
            continue;
        Fila& fila = b.productos.filas[b.filaDe[i]];
        if (!fila.tiene(m_primaria) && fila.insercion < 0)
            continue;
        const Valor producto = fila.tiene(m_primaria) ? fila.valor(m_primaria) : Valor(Nuevo);
        const QString pid = producto.texto();
        const bool nuevo = pid == Nuevo;
        auto previsto = [&](const QString& t, bool insercion, const QString& columna,
                            const Valor& antes, const Valor& despues) {
            if (m_config.simulacro)
                m_ventana->cambioPrevisto({t, plan.clave, insercion, columna, antes, despues});
        };
        auto escribirProducto = [&](const QString& columna, const Valor& valor) {
            previsto(tp, false, columna, fila.valor(columna), valor);
            fila.poner(columna, valor);
            b.escrituras.append(
                {tp, {columna}, {valor}, {{m_primaria, producto}}, -1, int(i), false});
            res.cambiado = true;
        };

        // Made by this run: from now on the record names it as Vendaro's.
        const auto hechos = b.registro.de(RegistroTienda::Producto, plan.clave);
        bool anotado = false;
        for (const RegistroTienda::Fila& f : hechos)
            anotado = anotado || QString::number(f.fila) == pid;
        if (res.creado && !anotado && !nuevo)
            b.escrituras.append(m_registro->anotar(RegistroTienda::Producto, plan.clave,
                                                   pid.toLongLong(), {}, int(i)));

        if (m_config.categorias && m_catalogo) {
            const QList<qint64> deseadas = m_catalogo->categoriasDe(plan.pertenencia);
            const auto anotadas = b.registro.de(RegistroTienda::EnlaceCategoria, plan.clave);
            for (qint64 c : deseadas) {
                const QString enlace = pid + u'|' + QString::number(c);
                if (b.enCategorias.primera(enlace))
                    continue;
                previsto(tCategorias, true, u"category_id"_s, Valor::nulo(), Valor::numero(c));
                Fila f;
                f.poner(u"product_id"_s, producto);
                f.poner(u"category_id"_s, Valor::numero(c));
                b.enCategorias.agregar(f, enlace);
                b.escrituras.append({tCategorias,
                                     {u"product_id"_s, u"category_id"_s},
                                     {producto, Valor::numero(c)},
                                     {},
                                     -1,
                                     int(i),
                                     true});
                if (!nuevo)
                    b.escrituras.append(m_registro->anotar(RegistroTienda::EnlaceCategoria,
                                                           plan.clave, c, pid, int(i)));
                ++res.enlacesNuevos;
                res.cambiado = true;
            }
            // Only a link Vendaro made moves when the line changes; the owner's stay.
            for (const RegistroTienda::Fila& a : anotadas) {
                if (deseadas.contains(a.fila) && a.dato == pid)
                    continue;
                const QString enlace = a.dato + u'|' + QString::number(a.fila);
                if (a.dato == pid && b.enCategorias.primera(enlace)) {
                    previsto(tCategorias, false, u"category_id (se quita)"_s, Valor::numero(a.fila),
                             Valor::nulo());
                    b.escrituras.append(
                        {tCategorias,
                         {},
                         {},
                         {{u"product_id"_s, producto}, {u"category_id"_s, Valor::numero(a.fila)}},
                         -1,
                         int(i),
                         false,
                         false,
                         true});
                    ++res.enlacesQuitados;
                    res.cambiado = true;
                }
                b.escrituras.append(m_registro->olvidar(RegistroTienda::EnlaceCategoria, plan.clave,
                                                        a.fila, int(i)));
            }
        }

        if (m_config.fabricantes && m_catalogo && fila.tiene(u"manufacturer_id"_s)) {
            const qint64 deseado = m_catalogo->fabricanteDe(plan.pertenencia);
            const qint64 actual = fila.valor(u"manufacturer_id"_s).texto().toLongLong();
            QString escrito;
            bool conRegistro = false;
            for (const RegistroTienda::Fila& f :
                 b.registro.de(RegistroTienda::FabricanteDe, plan.clave))
                if (QString::number(f.fila) == pid) {
                    escrito = f.dato;
                    conRegistro = true;
                }
            if (actual != deseado) {
                // Set while empty or still what Vendaro last wrote; an owner's choice stays.
                if (actual == 0 || (conRegistro && escrito.toLongLong() == actual)) {
                    escribirProducto(u"manufacturer_id"_s, Valor::numero(deseado));
                } else {
                    res.notas.append(
                        u"su fabricante (%1) se cambió en la tienda y se deja así"_s.arg(actual));
                }
            }
            const bool quedo = fila.valor(u"manufacturer_id"_s).texto().toLongLong() == deseado;
            if (quedo && deseado != 0 && escrito.toLongLong() != deseado && !nuevo)
                b.escrituras.append(m_registro->anotar(RegistroTienda::FabricanteDe, plan.clave,
                                                       pid.toLongLong(), QString::number(deseado),
                                                       int(i)));
        }

        // A product back in the point of sale gets what Vendaro took from it.
        for (const RegistroTienda::Fila& r : b.registro.de(RegistroTienda::Baja, plan.clave)) {
            if (QString::number(r.fila) != pid)
                continue;
            const Baja baja = Baja::de(r.dato);
            if (baja.modo == u"d"_s) {
                if (fila.valor(u"status"_s).texto() == u"0"_s)
                    escribirProducto(u"status"_s, Valor(baja.estado));
                else
                    res.notas.append(u"su estado se cambió en la tienda mientras estaba dado de "
                                     u"baja, y se deja así"_s);
            } else {
                if (!baja.estadoExistencias.isEmpty() &&
                    fila.valor(u"stock_status_id"_s).texto() == baja.estadoPuesto)
                    escribirProducto(u"stock_status_id"_s, Valor(baja.estadoExistencias));
                if (!plan.columnas.contains(u"quantity"_s, Qt::CaseInsensitive) &&
                    fila.valor(u"quantity"_s).texto() == u"0"_s && !baja.cantidad.isEmpty())
                    escribirProducto(u"quantity"_s, Valor(baja.cantidad));
            }
            b.escrituras.append(
                m_registro->olvidar(RegistroTienda::Baja, plan.clave, r.fila, int(i)));
            ++res.vuelven;
            res.notas.append(u"volvió al punto de venta y vuelve a la venta"_s);
        }

        if (m_config.palabras && m_catalogo)
            for (int tienda : std::as_const(m_config.tiendas))
                for (int idioma : std::as_const(m_idiomas)) {
                    const QString objeto = m_catalogo->objeto(u"product_id"_s, pid);
                    if (b.palabras.contains(QString::number(tienda) + u'|' +
                                            QString::number(idioma) + u'|' + objeto))
                        continue;
                    const QString nombre =
                        plan.descripcion.trimmed().isEmpty() ? plan.clave : plan.descripcion;
                    pedidos.append({objeto, tienda, idioma, nombre, plan.clave, {}, {}});
                    deQuien.append(int(i));
                }
    }
    if (pedidos.isEmpty())
        return;
    QString error;
    if (!m_catalogo->elegirPalabras(pedidos, &error)) {
        // Keywords wait for the next send; the products are written all the same.
        qCWarning(lcNombres).noquote()
            << u"No se pudieron elegir las direcciones SEO de un lote: "_s + error;
        return;
    }
    for (qsizetype k = 0; k < pedidos.size(); ++k) {
        const CatalogoTienda::Pedido& p = pedidos[k];
        const int i = deQuien[k];
        if (m_config.simulacro) {
            m_ventana->cambioPrevisto(
                {tablaOpcion(u"seo_url"_s), (*b.planes)[i].clave, true,
                 u"keyword (tienda %1, idioma %2)"_s.arg(p.tienda).arg(p.idioma), Valor::nulo(),
                 Valor(p.palabra)});
            continue;
        }
        b.escrituras.append(m_catalogo->palabraNueva(p, i));
        b.escrituras.append(m_registro->anotar(RegistroTienda::Palabra,
                                               p.objeto + u'|' + QString::number(p.idioma),
                                               p.tienda, p.palabra, i));
        b.palabras.insert(QString::number(p.tienda) + u'|' + QString::number(p.idioma) + u'|' +
                          p.objeto);
        ++(*b.resultados)[i].palabras;
        (*b.resultados)[i].cambiado = true;
    }
}

bool EscritorWeb::darDeBaja(const QSet<QString>& presentes, qint64 leidos, ResultadoBajas* r,
                            QString* error) {
    *r = ResultadoBajas{};
    if (!m_config.bajas || !m_registro || !m_registro->disponible() || m_primaria.isEmpty())
        return true;
    QList<RegistroTienda::Fila> hechos;
    QSet<QString> yaDeBaja; // "key|product"
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);
    if (m_soloLecturas && !m_config.simulacro)
        lote.consulta(u"COMMIT"_s, {});
    m_soloLecturas = false;
    lote.consulta(m_registro->consulta(m_cn, {RegistroTienda::Producto, RegistroTienda::Baja}, {}),
                  [&](const ResultadoConsulta& res) {
                      for (const RegistroTienda::Fila& f : RegistroTienda::filasDe(res)) {
                          if (f.tipo == RegistroTienda::Producto)
                              hechos.append(f);
                          else
                              yaDeBaja.insert(f.clave + u'|' + QString::number(f.fila));
                      }
                  });
    // The status "Out Of Stock" of the shop, unless the settings name one.
    int estado = m_config.estadoSinExistencias;
    const TablaTienda& estados = tabla(tablaOpcion(u"stock_status"_s));
    if (!m_config.bajasDesactivan && estado == 0 && estados.existe())
        lote.consulta(u"SELECT stock_status_id FROM "_s + id(estados.nombre) +
                          u" WHERE name = 'Out Of Stock' ORDER BY language_id LIMIT 1"_s,
                      [&estado](const ResultadoConsulta& res) {
                          if (!res.filas.isEmpty())
                              estado = res.filas[0][0].texto().toInt();
                      });
    if (!lote.enviar(error))
        return false;
    m_viajes += lote.viajes();

    r->deVendaro = hechos.size();
    QList<RegistroTienda::Fila> candidatos;
    for (const RegistroTienda::Fila& f : std::as_const(hechos))
        if (!presentes.contains(f.clave) &&
            !yaDeBaja.contains(f.clave + u'|' + QString::number(f.fila)))
            candidatos.append(f);
    r->candidatos = candidatos.size();
    if (candidatos.isEmpty())
        return true;
    // A point of sale read empty, or a large share gone at once, is more likely a failed read or
    // an old backup than a shop closing down its catalogue.
    if (leidos == 0 ||
        double(candidatos.size()) > m_config.limiteBajas / 100.0 * double(hechos.size())) {
        r->detenidas = true;
        r->mensaje =
            leidos == 0
                ? u"El punto de venta no tiene productos: no se retiró de la venta ninguno de los "
                  u"%1 productos que Vendaro creó"_s.arg(hechos.size())
                : u"%1 de los %2 productos que Vendaro creó ya no están en el punto de venta, más "
                  u"del límite de %3 %: no se retiró ninguno. Si es lo que quiere, suba «Límite de "
                  u"bajas» en la configuración"_s.arg(candidatos.size())
                      .arg(hechos.size())
                      .arg(m_config.limiteBajas);
        return true;
    }

    // What they have now, to take it out of sale and to give it back later.
    QHash<QString, QList<Valor>> actuales; // product id → status, stock status, quantity
    QStringList ids;
    for (const RegistroTienda::Fila& f : std::as_const(candidatos))
        ids.append(QString::number(f.fila));
    const QString tp = id(m_config.tablaProductos);
    for (qsizetype i = 0; i < ids.size(); i += 1000) {
        ResultadoConsulta res;
        ++m_viajes;
        if (!m_cn.consultar(u"SELECT "_s + id(m_primaria) +
                                u", status, stock_status_id, quantity FROM "_s + tp + u" WHERE "_s +
                                id(m_primaria) + u" IN ("_s + ids.mid(i, 1000).join(u',') + u')',
                            res)) {
            *error = m_cn.ultimoError();
            return false;
        }
        for (const QList<Valor>& f : res.filas)
            actuales.insert(f[0].texto(), f.mid(1));
    }
    const QString tValores = tablaOpcion(u"product_option_value"_s);
    const bool conOpciones = tabla(tValores).existe();
    LoteSql escrituras(m_cn, m_config.porLotes, m_bytesPorViaje);
    for (const RegistroTienda::Fila& f : std::as_const(candidatos)) {
        const QString pid = QString::number(f.fila);
        if (!m_config.simulacro)
            m_cubetasEscritas.insert(f.fila / EstadoTienda::TamanoCubeta);
        if (!actuales.contains(pid)) {
            // The owner deleted it: nothing to take out of sale any more.
            if (!m_config.simulacro)
                escrituras.escritura(Sql::borrar(m_cn, m_registro->tabla(),
                                                 {{u"tipo"_s, Valor(RegistroTienda::Producto)},
                                                  {u"clave"_s, Valor(f.clave)},
                                                  {u"fila"_s, Valor::numero(f.fila)}}));
            continue;
        }
        const QList<Valor>& a = actuales.value(pid);
        Baja baja{m_config.bajasDesactivan ? u"d"_s : u"s"_s, a[0].texto(), a[1].texto(),
                  a[2].texto(), QString::number(estado)};
        QStringList columnas;
        QList<Valor> valores;
        if (m_config.bajasDesactivan) {
            columnas = {u"status"_s};
            valores = {Valor::numero(0)};
        } else {
            columnas = {u"quantity"_s};
            valores = {Valor::numero(0)};
            if (estado > 0) {
                columnas.append(u"stock_status_id"_s);
                valores.append(Valor::numero(estado));
            } else {
                baja.estadoExistencias.clear();
            }
        }
        ++r->hechos;
        if (m_config.simulacro) {
            // What each column holds now: status, stock status, quantity.
            const QHash<QString, int> ahora{
                {u"status"_s, 0}, {u"stock_status_id"_s, 1}, {u"quantity"_s, 2}};
            for (qsizetype c = 0; c < columnas.size(); ++c)
                m_ventana->cambioPrevisto({m_config.tablaProductos, f.clave, false,
                                           columnas[c] + u" (ya no está en el punto de venta)"_s,
                                           a.value(ahora.value(columnas[c])), valores[c]});
            if (!m_config.bajasDesactivan && conOpciones)
                m_ventana->cambioPrevisto({tValores, f.clave, false,
                                           u"quantity (todas sus tallas o colores)"_s,
                                           Valor::nulo(), Valor::numero(0)});
            continue;
        }
        qCInfo(lcNombres).noquote() << u"Producto «%1»: ya no está en el punto de venta; %2"_s.arg(
            f.clave, m_config.bajasDesactivan ? u"se desactiva"_s : u"queda sin existencias"_s);
        escrituras.escritura(Sql::update(m_cn, m_config.tablaProductos, columnas, valores,
                                         {{m_primaria, Valor(pid)}}));
        if (!m_config.bajasDesactivan && conOpciones)
            escrituras.escritura(Sql::update(m_cn, tValores, {u"quantity"_s}, {Valor::numero(0)},
                                             {{u"product_id"_s, Valor(pid)}}));
        QString sql = Sql::insert(
            m_cn, m_registro->tabla(), {u"tipo"_s, u"clave"_s, u"fila"_s, u"dato"_s, u"fecha"_s},
            m_registro->anotar(RegistroTienda::Baja, f.clave, f.fila, baja.texto(), -1).valores);
        escrituras.escritura(sql.replace(0, 6, u"REPLACE"_s));
    }
    if (m_config.transaccional && !m_config.simulacro && !escrituras.vacio())
        escrituras.escritura(u"COMMIT"_s);
    const bool bien = escrituras.enviar(error);
    m_viajes += escrituras.viajes();
    return terminar(bien);
}
