// What a batched send keeps of the shop between sends (see estado_tienda.h): the server's checksums
// of the rows the run decides on, so that products unchanged on both sides cost nothing.
#include "escritor_web.h"

#include "bitacora_envio.h"
#include "escritor_web_modelo.h"

#include <QCryptographicHash>
#include <QFile>

using namespace Qt::StringLiterals;
using namespace escritor;

namespace {
// The cube of a product id, as the server computes it.
QString cubeta(const QString& expresion) {
    return u"("_s + expresion + u") DIV "_s + QString::number(EstadoTienda::TamanoCubeta);
}
} // namespace

QString EscritorWeb::textoDeFila(const TablaTienda& t, const QStringList& columnas) const {
    // Text as its bytes (HEX: case, accents and trailing blanks count), numbers and dates as the
    // server writes them, NULL apart from any text.
    QStringList partes;
    QStringList vistas;
    for (const QString& nombre : columnas) {
        const ColumnaTienda* c = t.columna(nombre);
        if (!c || vistas.contains(c->nombre, Qt::CaseInsensitive))
            continue;
        vistas.append(c->nombre);
        const QString col = u"t."_s + id(c->nombre);
        partes.append(u"IF("_s + col + u" IS NULL, 'N', CONCAT('V', "_s +
                      (c->texto ? u"HEX("_s + col + u')' : u"CAST("_s + col + u" AS CHAR)"_s) +
                      u"))"_s);
    }
    return u"CONCAT_WS(',',"_s + partes.join(u',') + u')';
}

bool EscritorWeb::filtroPosible() const {
    if (!m_config.porLotes || m_config.simulacro || m_config.estado.isEmpty() ||
        m_primaria.isEmpty())
        return false;
    // Rows of other tables are bucketed by the product id they hang on.
    for (const EscrituraExterna& e : m_modelo.externas)
        if (e.llaveEnProds.compare(m_primaria, Qt::CaseInsensitive) != 0)
            return false;
    return !m_config.usaTallasOColores || m_config.campoTallaColor.isEmpty() ||
           m_config.campoTallaColor.compare(m_primaria, Qt::CaseInsensitive) == 0;
}

QList<std::pair<QString, QString>> EscritorWeb::consultasSuma(const QSet<qint64>* solo) const {
    QList<std::pair<QString, QString>> consultas;
    QString enCubetas;
    if (solo) {
        QList<qint64> lista(solo->begin(), solo->end());
        std::sort(lista.begin(), lista.end());
        QStringList numeros;
        for (qint64 c : lista)
            numeros.append(QString::number(c));
        enCubetas = numeros.join(u',');
    }
    auto agregar = [&](const QString& nombre, const QString& tabla, const QStringList& columnas,
                       const QString& cubetaDe, QString donde) {
        const TablaTienda& t = this->tabla(tabla);
        if (!t.existe() || (solo && cubetaDe.isEmpty()))
            return;
        if (solo)
            donde = (donde.isEmpty() ? QString() : u'(' + donde + u") AND "_s) + cubeta(cubetaDe) +
                    u" IN ("_s + enCubetas + u')';
        // Per row the product of two CRC-32 of its text, forwards and backwards: a third of the
        // server's time of an MD5 made a number, and unlike a XOR of CRCs (which are affine) it
        // does not cancel out when two rows of a bucket trade values of the same length.
        const QString texto = textoDeFila(t, columnas);
        consultas.append(
            {nombre, u"SELECT "_s + (cubetaDe.isEmpty() ? u"-1"_s : cubeta(cubetaDe)) +
                         u" AS c, COUNT(*), BIT_XOR(CRC32("_s + texto + u") * CRC32(REVERSE("_s +
                         texto + u"))) FROM "_s + id(tabla) + u" AS t"_s +
                         (donde.isEmpty() ? QString() : u" WHERE "_s + donde) + u" GROUP BY c"_s});
    };
    const QString pk = u"t."_s + id(m_primaria);
    QStringList producto = m_modelo.columnas;
    producto << m_primaria << m_config.campoTallaColor << u"product_id"_s;
    if (m_config.fabricantes)
        producto << u"manufacturer_id"_s;
    if (m_config.bajas)
        producto << u"status"_s << u"stock_status_id"_s << u"quantity"_s;
    agregar(m_config.tablaProductos, m_config.tablaProductos, producto, pk, {});
    QStringList grupos;
    for (const EscrituraExterna& e : m_modelo.externas) {
        const QString grupo = e.tabla + u'|' + e.llave;
        if (grupos.contains(grupo))
            continue;
        grupos.append(grupo);
        QStringList columnas{e.llave};
        for (const EscrituraExterna& otra : m_modelo.externas)
            if (otra.tabla + u'|' + otra.llave == grupo) {
                columnas.append(otra.columna);
                for (const auto& condicion : otra.filas)
                    columnas.append(condicion.first);
            }
        agregar(grupo, e.tabla, columnas, u"t."_s + id(e.llave), {});
    }
    const QString opcion = QString::number(m_opcion);
    if (m_config.usaTallasOColores && !m_config.campoTallaColor.isEmpty()) {
        agregar(u"opciones"_s, tablaOpcion(u"product_option"_s),
                {u"product_option_id"_s, m_config.campoTallaColor},
                u"t."_s + id(m_config.campoTallaColor), u"t.option_id="_s + opcion);
        agregar(u"existencias"_s, tablaOpcion(u"product_option_value"_s),
                {u"product_option_value_id"_s, u"product_option_id"_s, u"product_id"_s,
                 u"option_value_id"_s, u"quantity"_s},
                u"t.product_id"_s, u"t.option_id="_s + opcion);
        // Option values are shared by every product: a change there is read everywhere.
        agregar(u"valores"_s, tablaOpcion(u"option_value_description"_s),
                {u"option_value_id"_s, u"language_id"_s, u"name"_s}, {},
                u"t.option_id="_s + opcion);
    }
    agregar(u"tiendas"_s, tablaOpcion(u"product_to_store"_s), {u"product_id"_s, u"store_id"_s},
            u"t.product_id"_s, {});
    if (m_config.categorias) {
        agregar(u"categorias"_s, tablaOpcion(u"product_to_category"_s),
                {u"product_id"_s, u"category_id"_s}, u"t.product_id"_s, {});
        agregar(u"arbol"_s, tablaOpcion(u"category"_s), {u"category_id"_s, u"parent_id"_s}, {}, {});
    }
    if (m_config.fabricantes)
        agregar(u"fabricantes"_s, tablaOpcion(u"manufacturer"_s), {u"manufacturer_id"_s}, {}, {});
    if (m_config.palabras && m_catalogo)
        agregar(u"palabras"_s, tablaOpcion(u"seo_url"_s),
                {u"store_id"_s, u"language_id"_s, m_catalogo->oc4() ? u"value"_s : u"query"_s},
                m_catalogo->oc4() ? u"CAST(t.`value` AS UNSIGNED)"_s
                                  : u"CAST(SUBSTRING(t.query, 12) AS UNSIGNED)"_s,
                m_catalogo->oc4() ? u"t.`key` = 'product_id'"_s : u"t.query LIKE 'product_id=%'"_s);
    // The record decides only for the features that take back what Vendaro made.
    if (m_registro && m_registro->disponible() &&
        (m_config.categorias || m_config.fabricantes || m_config.bajas)) {
        const QString t = m_registro->tabla();
        if (tabla(t).existe()) {
            agregar(u"registro"_s, t, {u"tipo"_s, u"clave"_s, u"fila"_s, u"dato"_s}, u"t.fila"_s,
                    u"t.tipo IN ('producto', 'fabricante_de', 'baja')"_s);
            agregar(u"registro|enlaces"_s, t, {u"tipo"_s, u"clave"_s, u"fila"_s, u"dato"_s},
                    u"CAST(t.dato AS UNSIGNED)"_s, u"t.tipo = 'en_categoria'"_s);
        }
    }
    return consultas;
}

bool EscritorWeb::leerSumas(EstadoTienda::Sumas* sumas, QString* error, const QSet<qint64>* solo) {
    sumas->clear();
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);
    for (const auto& [nombre, sql] : consultasSuma(solo))
        lote.consulta(sql, [sumas, nombre](const ResultadoConsulta& r) {
            QHash<qint64, EstadoTienda::Suma>& t = (*sumas)[nombre];
            for (const QList<Valor>& f : r.filas)
                t.insert(f[0].texto().toLongLong(),
                         {f[1].texto().toLongLong(), f[2].texto().toULongLong()});
        });
    lote.consulta(u"SELECT MAX("_s + id(m_primaria) + u") FROM "_s + id(m_config.tablaProductos),
                  [this](const ResultadoConsulta& r) {
                      if (!r.filas.isEmpty())
                          m_maximaFila = r.filas[0][0].texto().toLongLong();
                  });
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    return bien;
}

QByteArray EscritorWeb::huellaConfiguracion() const {
    QCryptographicHash h(QCryptographicHash::Md5);
    QStringList partes{m_config.identidadTienda, m_config.tablaProductos,
                       m_config.campoTallaColor, m_primaria,
                       m_columnaLlave,           QString::number(m_opcion)};
    for (bool b : {m_config.usaTallasOColores, m_config.usaTallas, m_config.codificar,
                   m_config.categorias, m_config.sublineas, m_config.fabricantes, m_config.palabras,
                   m_config.bajas, m_config.bajasDesactivan})
        partes.append(b ? u"1"_s : u"0"_s);
    for (int t : m_config.tiendas)
        partes.append(QString::number(t));
    partes.append(u"|"_s);
    for (int i : m_idiomas)
        partes.append(QString::number(i));
    partes.append(u"|"_s);
    partes += m_modelo.columnas;
    for (const EscrituraExterna& e : m_modelo.externas)
        partes << e.tabla << e.columna << e.llave << e.llaveEnProds;
    h.addData(partes.join(QChar(0x1f)).toUtf8());
    return h.result();
}

QByteArray EscritorWeb::huellaCuenta(const QList<UsoDeTabla>& usos, bool registro) const {
    QCryptographicHash h(QCryptographicHash::Md5);
    QStringList partes{m_config.identidadTienda};
    for (const UsoDeTabla& u : usos)
        partes << u.tabla << u.columnas.join(u',') << (u.inserta ? u"i"_s : u"-"_s)
               << (u.actualiza ? u"u"_s : u"-"_s);
    if (registro)
        partes << RegistroTienda::tablaDe(m_prefijo) << u"i"_s;
    h.addData(partes.join(QChar(0x1f)).toUtf8());
    return h.result();
}

bool EscritorWeb::prepararEstado(const QStringList& claves, QString* error) {
    m_filtro = false;
    m_sumasInicio.reset();
    m_cubetasEscritas.clear();
    m_escrituraComun = false;
    EstadoTienda previo = std::move(m_previo);
    m_previo = EstadoTienda{};
    if (!filtroPosible() || previo.huella.isEmpty() || previo.huella != huellaConfiguracion())
        return true;
    EstadoTienda::Sumas ahora;
    if (!leerSumas(&ahora, error))
        return false;
    bool todas = false;
    m_cubetasSucias = EstadoTienda::cubetasDistintas(previo.sumas, ahora, &todas);
    m_sumasInicio = std::move(ahora);
    if (todas || m_cubetasSucias.contains(-1)) {
        qCInfo(lcNombres).noquote()
            << u"La tienda cambió en sus tablas comunes desde el último envío: se lee entera"_s;
        return true;
    }
    m_filtro = true;
    m_pesoDeClave = previo.pesos;
    m_filaDePeso = previo.filaDePeso;
    m_ultimaFila = qMax(previo.ultimaFila, m_maximaFila);
    m_anterior = std::move(previo.productos);
    m_opcionesDe.de = std::move(previo.opcionesDe);
    m_opcionesDe.ultima = previo.ultimaOpcion;
    m_existenciasDe.de = std::move(previo.existenciasDe);
    m_existenciasDe.ultima = previo.ultimaExistencia;
    // Keys the last send did not see: their weights, and the rows they find, asked for them alone.
    QStringList nuevas;
    for (const QString& c : claves)
        if (!m_anterior.contains(c))
            nuevas.append(c);
    qCInfo(lcNombres).noquote()
        << u"Desde el último envío cambiaron %1 grupos de productos en la tienda; claves nuevas: %2"_s
               .arg(m_cubetasSucias.size())
               .arg(nuevas.size());
    return nuevas.isEmpty() || conocerFilasDe(nuevas, error);
}

bool EscritorWeb::sinCambios(const PlanProducto& plan) {
    if (!m_filtro)
        return false;
    const auto it = m_anterior.constFind(plan.clave);
    if (it == m_anterior.constEnd() || it->fila == 0 ||
        m_cubetasSucias.contains(it->fila / EstadoTienda::TamanoCubeta))
        return false;
    const QByteArray huella = EstadoTienda::huellaPlan(plan);
    if (huella != it->plan)
        return false;
    // Still the first of its weight, so a twin after it is refused as when it is sent.
    const QString peso = m_pesoDeClave.value(claveGuardada(plan.clave));
    if (!peso.isEmpty() && !m_clavePorPeso.contains(peso))
        m_clavePorPeso.insert(peso, plan.clave);
    m_vistos.insert(plan.clave, *it);
    return true;
}

void EscritorWeb::anotarEnviados(const QList<PlanProducto>& planes,
                                 const QList<ResultadoProducto>& resultados) {
    if (!filtroPosible())
        return;
    for (qsizetype i = 0; i < planes.size(); ++i) {
        const PlanProducto& p = planes[i];
        const ResultadoProducto& r = resultados.value(i);
        // The row its key finds now, by either form of the key.
        qint64 fila = 0;
        for (const QString& forma : {claveGuardada(p.clave), claveDeOtraForma(p.clave)})
            if (fila == 0 && !forma.isNull())
                fila = m_filaDePeso.value(m_pesoDeClave.value(forma)).toLongLong();
        const bool fallido = r.fallido || !r.omitidos.isEmpty();
        // A failed product may have been written in part.
        if (r.creado || r.cambiado || fallido) {
            if (fila > 0)
                m_cubetasEscritas.insert(fila / EstadoTienda::TamanoCubeta);
            else
                m_escrituraComun = true;
        }
        if (fallido)
            m_vistos.remove(p.clave);
        else
            m_vistos.insert(p.clave, {fila, EstadoTienda::huellaPlan(p)});
    }
}

bool EscritorWeb::guardarEstado(bool completo, QString* error) {
    if (!filtroPosible()) {
        // The per-product run stays plain; what it changed is read in full next time.
        if (!m_config.estado.isEmpty() && !m_config.simulacro)
            QFile::remove(m_config.estado);
        return true;
    }
    m_anterior = {};
    if (!completo)
        return true; // the last complete state stays: its checksums find what changed since
    EstadoTienda nuevo;
    nuevo.huella = huellaConfiguracion();
    nuevo.cuenta = m_registro && m_registro->disponible() ? m_huellaCuentaRegistro : m_huellaCuenta;
    if (m_sumasInicio && !m_escrituraComun) {
        // Only the buckets this run wrote are read again; the others keep the checksums they had
        // when it began, so that whatever changed in them during the run is read next time.
        nuevo.sumas = std::move(*m_sumasInicio);
        m_sumasInicio.reset();
        if (!m_cubetasEscritas.isEmpty()) {
            EstadoTienda::Sumas escritas;
            if (!leerSumas(&escritas, error, &m_cubetasEscritas))
                return false;
            for (auto t = nuevo.sumas.begin(); t != nuevo.sumas.end(); ++t) {
                for (qint64 c : std::as_const(m_cubetasEscritas))
                    t->remove(c);
                const QHash<qint64, EstadoTienda::Suma> leidas = escritas.value(t.key());
                for (auto c = leidas.begin(); c != leidas.end(); ++c)
                    t->insert(c.key(), c.value());
            }
        }
    } else if (!leerSumas(&nuevo.sumas, error)) {
        return false;
    }
    nuevo.productos = std::move(m_vistos);
    nuevo.pesos = m_pesoDeClave;
    nuevo.filaDePeso = m_filaDePeso;
    nuevo.ultimaFila = qMax(m_ultimaFila, m_maximaFila);
    nuevo.opcionesDe = m_opcionesDe.de;
    nuevo.ultimaOpcion = m_opcionesDe.ultima;
    nuevo.existenciasDe = m_existenciasDe.de;
    nuevo.ultimaExistencia = m_existenciasDe.ultima;
    return nuevo.guardar(m_config.estado, error);
}
