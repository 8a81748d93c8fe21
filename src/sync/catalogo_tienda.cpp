#include "catalogo_tienda.h"

#include "lote_sql.h"
#include "palabras_clave.h"
#include "services/conexion.h"
#include "texto_tienda.h"
#include "ventana_envio.h"

#include <QDateTime>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace escritor;

namespace {
constexpr int LargoPalabra = 64;
// Candidates asked of the shop at once for each keyword: the name, the name and the key, then
// numbers.
constexpr int NumerosPorRonda = 8;

QString id(const QString& nombre) {
    return Conexion::identificador(nombre);
}

QString ahora() {
    return QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}
} // namespace

CatalogoTienda::CatalogoTienda(Conexion& cn, const QHash<QString, TablaTienda>& esquema,
                               RegistroTienda& registro, const Configuracion& configuracion,
                               VentanaEnvio* ventana)
    : m_cn(cn)
    , m_esquema(esquema)
    , m_registro(registro)
    , m_config(configuracion)
    , m_ventana(ventana) {
    m_oc4 = tabla(u"seo_url"_s).columna(u"key"_s) != nullptr;
}

const TablaTienda& CatalogoTienda::tabla(const QString& sufijo) const {
    static const TablaTienda ninguna;
    const auto it = m_esquema.constFind(m_config.prefijo + sufijo);
    return it == m_esquema.constEnd() ? ninguna : *it;
}

QString CatalogoTienda::nombre(const QString& texto) const {
    const QString t = texto.trimmed();
    return m_config.codificar ? CodificarComoTienda(t) : t;
}

QString CatalogoTienda::claveLinea(const Pertenencia& p) {
    return u"L:"_s + QString::number(p.linea.id);
}

QString CatalogoTienda::claveSublinea(const Pertenencia& p) {
    return claveLinea(p) + u"/S:"_s + QString::number(p.sublinea.id);
}

QString CatalogoTienda::objeto(const QString& tipo, const QString& id) const {
    return tipo + u'=' + id;
}

bool CatalogoTienda::leerExistentes(QString* error) {
    const int idioma = m_config.idiomas.value(0, 1);
    LoteSql lote(m_cn, m_config.porLotes, m_config.bytesPorViaje);
    if (m_config.categorias)
        lote.consulta(u"SELECT c.category_id, c.parent_id, d.name, (SELECT GROUP_CONCAT(p.path_id "
                      u"ORDER BY p.level SEPARATOR '_') FROM "_s +
                          id(m_config.prefijo + u"category_path"_s) +
                          u" p WHERE p.category_id = c.category_id) FROM "_s +
                          id(m_config.prefijo + u"category"_s) + u" c LEFT JOIN "_s +
                          id(m_config.prefijo + u"category_description"_s) +
                          u" d ON d.category_id = c.category_id AND d.language_id = "_s +
                          QString::number(idioma),
                      [this](const ResultadoConsulta& r) {
                          for (const QList<Valor>& f : r.filas) {
                              CategoriaTienda c{f[0].texto().toLongLong(),
                                                f[1].texto().toLongLong(),
                                                f[2].texto().trimmed(),
                                                f[3].texto(),
                                                {}};
                              if (c.ruta.isEmpty())
                                  c.ruta = f[0].texto();
                              m_categoriasTienda.insert(c.id, c);
                          }
                      });
    if (m_config.fabricantes)
        lote.consulta(u"SELECT manufacturer_id, name FROM "_s +
                          id(m_config.prefijo + u"manufacturer"_s) + u" ORDER BY manufacturer_id"_s,
                      [this](const ResultadoConsulta& r) {
                          for (const QList<Valor>& f : r.filas) {
                              const qint64 fabricante = f[0].texto().toLongLong();
                              m_idsFabricantes.insert(fabricante);
                              if (!m_fabricantesTienda.contains(f[1].texto().trimmed()))
                                  m_fabricantesTienda.insert(f[1].texto().trimmed(), fabricante);
                          }
                      });
    if (m_registro.disponible())
        lote.consulta(
            m_registro.consulta(m_cn, {RegistroTienda::Categoria, RegistroTienda::Fabricante}, {}),
            [this](const ResultadoConsulta& r) {
                for (const RegistroTienda::Fila& f : RegistroTienda::filasDe(r))
                    m_anotados.insert(f.tipo + u'|' + f.clave, f);
            });
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    return bien;
}

qint64 CatalogoTienda::insertar(const QString& t, const QStringList& columnas,
                                const QList<Valor>& valores, QString* error) {
    ++m_viajes;
    if (!m_cn.Execute(Sql::insert(m_cn, t, columnas, valores))) {
        *error = m_cn.ultimoError();
        return 0;
    }
    return qint64(m_cn.ultimoIdInsertado());
}

bool CatalogoTienda::enviar(QList<Escritura> escrituras, QString* error) {
    LoteSql lote(m_cn, m_config.porLotes, m_config.bytesPorViaje);
    for (const Escritura& e : escrituras) {
        QString sql = Sql::insert(m_cn, e.tabla, e.columnas, e.valores);
        if (e.reemplazo)
            sql.replace(0, 6, u"REPLACE"_s);
        lote.escritura(sql);
    }
    if (m_cn.opciones().autocommit == false)
        lote.escritura(u"COMMIT"_s);
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    return bien;
}

bool CatalogoTienda::preparar(const QList<Pertenencia>& pertenencias, QString* error) {
    if (!leerExistentes(error))
        return false;
    for (const Pertenencia& p : pertenencias) {
        if (m_config.categorias && p.linea.valida()) {
            if (!categoria(claveLinea(p), p.linea, 0, error))
                return false;
            if (m_config.sublineas && p.sublinea.valida() &&
                !categoria(claveSublinea(p), p.sublinea, m_categorias.value(claveLinea(p)), error))
                return false;
        }
        if (m_config.fabricantes && p.marca.valida() && !fabricante(p.marca, error))
            return false;
    }
    return !m_config.palabras || palabrasDelCatalogo(error);
}

bool CatalogoTienda::palabrasDelCatalogo(QString* error) {
    // Parents first: an OpenCart 4 sub-category's keyword starts with its parent's.
    // In a fixed order, so that two sends choose the same keywords for the same names.
    QList<qint64> categorias(m_categorias.cbegin(), m_categorias.cend());
    std::sort(categorias.begin(), categorias.end(), [this](qint64 a, qint64 b) {
        const bool hijaA = m_categoriasTienda.value(a).padre != 0;
        const bool hijaB = m_categoriasTienda.value(b).padre != 0;
        return hijaA != hijaB ? hijaB : a < b;
    });
    QList<qint64> fabricantes(m_fabricantes.cbegin(), m_fabricantes.cend());
    std::sort(fabricantes.begin(), fabricantes.end());
    QStringList objetos;
    QHash<QString, QString> nombres; // object → name
    QHash<QString, QString> padres;  // object → its parent's object
    for (qint64 c : std::as_const(categorias)) {
        const CategoriaTienda& ct = m_categoriasTienda.value(c);
        const QString o =
            m_oc4 ? objeto(u"path"_s, ct.ruta) : objeto(u"category_id"_s, QString::number(c));
        if (objetos.contains(o))
            continue;
        objetos.append(o);
        nombres.insert(o, ct.nombre);
        if (m_oc4 && ct.padre != 0)
            padres.insert(o, objeto(u"path"_s, m_categoriasTienda.value(ct.padre).ruta));
    }
    for (qint64 f : std::as_const(fabricantes)) {
        const QString o = objeto(u"manufacturer_id"_s, QString::number(f));
        if (objetos.contains(o))
            continue;
        objetos.append(o);
        nombres.insert(o, m_fabricantesTienda.key(f));
    }
    QStringList consultados = objetos;
    for (const QString& padre : std::as_const(padres))
        if (!consultados.contains(padre))
            consultados.append(padre);
    QHash<QString, QString> hay;
    if (!palabrasDe(consultados, &hay, error))
        return false;
    QList<Escritura> escrituras;
    for (const QString& o : std::as_const(objetos)) {
        QList<Pedido> pedidos;
        for (int tienda : m_config.tiendas)
            for (int idioma : m_config.idiomas) {
                const QString donde =
                    QString::number(tienda) + u'|' + QString::number(idioma) + u'|';
                if (hay.contains(donde + o))
                    continue;
                Pedido p{o, tienda, idioma, nombres.value(o), {}, {}, {}};
                if (padres.contains(o))
                    p.antes = hay.value(donde + padres.value(o));
                pedidos.append(p);
            }
        if (pedidos.isEmpty())
            continue;
        if (!elegirPalabras(pedidos, error))
            return false;
        for (const Pedido& p : std::as_const(pedidos)) {
            hay.insert(QString::number(p.tienda) + u'|' + QString::number(p.idioma) + u'|' + o,
                       p.palabra);
            if (m_config.simulacro) {
                m_ventana->cambioPrevisto(
                    {m_config.prefijo + u"seo_url"_s, QString(), true,
                     u"keyword (%1, tienda %2, idioma %3)"_s.arg(o).arg(p.tienda).arg(p.idioma),
                     Valor::nulo(), Valor(p.palabra)});
                continue;
            }
            escrituras.append(palabraNueva(p, -1));
            escrituras.append(m_registro.anotar(RegistroTienda::Palabra,
                                                o + u'|' + QString::number(p.idioma), p.tienda,
                                                p.palabra, -1));
        }
        m_palabrasCreadas += int(pedidos.size());
    }
    return escrituras.isEmpty() || enviar(escrituras, error);
}

QList<qint64> CatalogoTienda::categoriasDe(const Pertenencia& p) const {
    QList<qint64> ids;
    if (!m_config.categorias || !p.linea.valida())
        return ids;
    if (const qint64 linea = m_categorias.value(claveLinea(p)))
        ids.append(linea);
    if (m_config.sublineas && p.sublinea.valida())
        if (const qint64 sublinea = m_categorias.value(claveSublinea(p)))
            ids.append(sublinea);
    return ids;
}

qint64 CatalogoTienda::fabricanteDe(const Pertenencia& p) const {
    return m_config.fabricantes && p.marca.valida() ? m_fabricantes.value(p.marca.id) : 0;
}

bool CatalogoTienda::categoria(const QString& clave, const Relacion& r, qint64 padre,
                               QString* error) {
    if (m_categorias.contains(clave))
        return true;
    // The one noted before, whatever the owner renamed it to; else one of that name there.
    const auto anotada = m_anotados.constFind(RegistroTienda::Categoria + u'|' + clave);
    if (anotada != m_anotados.constEnd() && m_categoriasTienda.contains(anotada->fila)) {
        m_categorias.insert(clave, anotada->fila);
        return true;
    }
    const QString guardado = nombre(r.nombre);
    for (const CategoriaTienda& c : std::as_const(m_categoriasTienda))
        if (c.padre == padre && c.nombre == guardado) {
            m_categorias.insert(clave, c.id);
            if (m_config.simulacro)
                return true;
            return enviar({m_registro.anotar(RegistroTienda::Categoria, clave, c.id, u"0"_s, -1)},
                          error);
        }

    const TablaTienda& t = tabla(u"category"_s);
    const QString ruta = u"category"_s;
    if (m_config.simulacro) {
        const qint64 nueva = --m_simulado;
        m_categorias.insert(clave, nueva);
        m_categoriasTienda.insert(nueva, {nueva, padre, guardado, {}, {}});
        m_ventana->cambioPrevisto({m_config.prefijo + ruta, QString(), true,
                                   padre == 0 ? u"name (línea)"_s : u"name (sublínea)"_s,
                                   Valor::nulo(), Valor(guardado)});
        ++m_categoriasCreadas;
        return true;
    }
    // As the admin's form makes it: shown, in the menu when top-level, one column.
    QStringList columnas{u"parent_id"_s, u"sort_order"_s, u"status"_s};
    QList<Valor> valores{Valor::numero(padre), Valor::numero(0), Valor::numero(1)};
    const std::pair<const char16_t*, Valor> opcionales[] = {
        {u"top", Valor::numero(padre == 0 ? 1 : 0)},
        {u"column", Valor::numero(1)},
        {u"image", Valor(QString())},
        {u"date_added", Valor(ahora())},
        {u"date_modified", Valor(ahora())}};
    for (const auto& [columna, valor] : opcionales)
        if (t.columna(QString::fromUtf16(columna))) {
            columnas.append(QString::fromUtf16(columna));
            valores.append(valor);
        }
    const qint64 nueva = insertar(m_config.prefijo + ruta, columnas, valores, error);
    if (nueva == 0)
        return false;
    ++m_categoriasCreadas;
    QList<Escritura> escrituras;
    for (int idioma : m_config.idiomas)
        escrituras.append({m_config.prefijo + u"category_description"_s,
                           {u"category_id"_s, u"language_id"_s, u"name"_s, u"description"_s,
                            u"meta_title"_s, u"meta_description"_s, u"meta_keyword"_s},
                           {Valor::numero(nueva), Valor::numero(idioma), Valor(guardado),
                            Valor(QString()), Valor(guardado), Valor(QString()), Valor(QString())},
                           {},
                           -1,
                           -1,
                           true});
    // The closure table: every ancestor with its depth, then the category itself.
    QStringList camino;
    if (padre != 0)
        camino = m_categoriasTienda.value(padre).ruta.split(u'_', Qt::SkipEmptyParts);
    camino.append(QString::number(nueva));
    for (qsizetype nivel = 0; nivel < camino.size(); ++nivel)
        escrituras.append({m_config.prefijo + u"category_path"_s,
                           {u"category_id"_s, u"path_id"_s, u"level"_s},
                           {Valor::numero(nueva), Valor(camino[nivel]), Valor::numero(nivel)},
                           {},
                           -1,
                           -1,
                           true});
    // The admin of 3.0 and 4.0 stores a layout row (0, the default layout) for every store.
    const bool conDisposicion = t.columna(u"top"_s) && tabla(u"category_to_layout"_s).existe();
    for (int tienda : m_config.tiendas) {
        escrituras.append({m_config.prefijo + u"category_to_store"_s,
                           {u"category_id"_s, u"store_id"_s},
                           {Valor::numero(nueva), Valor::numero(tienda)},
                           {},
                           -1,
                           -1,
                           true});
        if (conDisposicion)
            escrituras.append({m_config.prefijo + u"category_to_layout"_s,
                               {u"category_id"_s, u"store_id"_s, u"layout_id"_s},
                               {Valor::numero(nueva), Valor::numero(tienda), Valor::numero(0)},
                               {},
                               -1,
                               -1,
                               true});
    }
    CategoriaTienda hecha{nueva, padre, guardado, camino.join(u'_'), {}};
    escrituras.append(m_registro.anotar(RegistroTienda::Categoria, clave, nueva, u"1"_s, -1));
    m_categoriasTienda.insert(nueva, hecha);
    m_categorias.insert(clave, nueva);
    return enviar(escrituras, error);
}

bool CatalogoTienda::fabricante(const Relacion& marca, QString* error) {
    if (m_fabricantes.contains(marca.id))
        return true;
    const QString clave = u"M:"_s + QString::number(marca.id);
    const auto anotado = m_anotados.constFind(RegistroTienda::Fabricante + u'|' + clave);
    if (anotado != m_anotados.constEnd() && m_idsFabricantes.contains(anotado->fila)) {
        m_fabricantes.insert(marca.id, anotado->fila);
        return true;
    }
    const QString guardado = nombre(marca.nombre);
    if (const qint64 existente = m_fabricantesTienda.value(guardado)) {
        m_fabricantes.insert(marca.id, existente);
        if (m_config.simulacro)
            return true;
        return enviar({m_registro.anotar(RegistroTienda::Fabricante, clave, existente, u"0"_s, -1)},
                      error);
    }
    const QString t = m_config.prefijo + u"manufacturer"_s;
    if (m_config.simulacro) {
        m_fabricantes.insert(marca.id, --m_simulado);
        m_ventana->cambioPrevisto({t, QString(), true, u"name"_s, Valor::nulo(), Valor(guardado)});
        ++m_fabricantesCreados;
        return true;
    }
    QStringList columnas{u"name"_s, u"sort_order"_s};
    QList<Valor> valores{Valor(guardado), Valor::numero(0)};
    if (tabla(u"manufacturer"_s).columna(u"image"_s)) {
        columnas.append(u"image"_s);
        valores.append(Valor(QString()));
    }
    const qint64 nuevo = insertar(t, columnas, valores, error);
    if (nuevo == 0)
        return false;
    ++m_fabricantesCreados;
    QList<Escritura> escrituras;
    for (int tienda : m_config.tiendas)
        escrituras.append({t + u"_to_store"_s,
                           {u"manufacturer_id"_s, u"store_id"_s},
                           {Valor::numero(nuevo), Valor::numero(tienda)},
                           {},
                           -1,
                           -1,
                           true});
    escrituras.append(m_registro.anotar(RegistroTienda::Fabricante, clave, nuevo, u"1"_s, -1));
    m_fabricantes.insert(marca.id, nuevo);
    m_idsFabricantes.insert(nuevo);
    m_fabricantesTienda.insert(guardado, nuevo);
    return enviar(escrituras, error);
}

bool CatalogoTienda::elegirPalabras(QList<Pedido>& pedidos, QString* error) {
    auto completa = [](const Pedido& p, const QString& palabra) {
        return p.antes.isEmpty() ? palabra : p.antes + u'/' + palabra;
    };
    QList<QString> bases;
    QList<bool> conSufijo; // a name of its own, that the key can tell apart
    for (const Pedido& p : pedidos) {
        QString base = PalabraClave(DecodificarDeTienda(p.nombre), LargoPalabra);
        conSufijo.append(!base.isEmpty() && !p.sufijo.isEmpty());
        if (base.isEmpty())
            base = PalabraClave(p.sufijo, LargoPalabra);
        if (base.isEmpty())
            base = PalabraClave(p.objeto, LargoPalabra);
        bases.append(base);
    }
    QList<int> pendientes;
    for (int i = 0; i < pedidos.size(); ++i)
        pendientes.append(i);
    for (int ronda = 0; !pendientes.isEmpty(); ++ronda) {
        // What each still needs tried this round, asked of the shop in one query.
        QHash<int, QStringList> candidatas;
        QStringList todas;
        for (int i : std::as_const(pendientes)) {
            QStringList c;
            if (ronda == 0) {
                c.append(bases[i]);
                if (conSufijo[i])
                    c.append(PalabraConSufijo(bases[i], pedidos[i].sufijo, LargoPalabra));
            }
            for (int n = 0; n < NumerosPorRonda; ++n)
                c.append(PalabraConSufijo(
                    bases[i], QString::number(2 + ronda * NumerosPorRonda + n), LargoPalabra));
            candidatas.insert(i, c);
            for (const QString& palabra : c)
                todas.append(m_cn.literal(Valor(completa(pedidos[i], palabra))));
        }
        QSet<QString> ocupadas;
        ++m_viajes;
        if (!m_cn.consultarFilas(u"SELECT store_id, keyword FROM "_s +
                                     id(m_config.prefijo + u"seo_url"_s) +
                                     u" WHERE keyword IN ("_s + todas.join(u',') + u')',
                                 [&ocupadas](const QList<Valor>& f) {
                                     ocupadas.insert(f[0].texto() + u'|' + f[1].texto().toLower());
                                 })) {
            *error = m_cn.ultimoError();
            return false;
        }
        QList<int> siguen;
        for (int i : std::as_const(pendientes)) {
            Pedido& p = pedidos[i];
            for (const QString& palabra : candidatas.value(i)) {
                const QString llave =
                    QString::number(p.tienda) + u'|' + completa(p, palabra).toLower();
                if (ocupadas.contains(llave) || m_palabrasUsadas.contains(llave))
                    continue;
                m_palabrasUsadas.insert(llave);
                p.palabra = completa(p, palabra);
                break;
            }
            if (p.palabra.isEmpty())
                siguen.append(i);
        }
        pendientes = siguen;
    }
    return true;
}

Escritura CatalogoTienda::palabraNueva(const Pedido& p, int producto) const {
    const QString t = m_config.prefijo + u"seo_url"_s;
    if (!m_oc4)
        return {
            t,
            {u"store_id"_s, u"language_id"_s, u"query"_s, u"keyword"_s},
            {Valor::numero(p.tienda), Valor::numero(p.idioma), Valor(p.objeto), Valor(p.palabra)},
            {},
            -1,
            producto,
            true};
    const qsizetype igual = p.objeto.indexOf(u'=');
    return {t,
            {u"store_id"_s, u"language_id"_s, u"key"_s, u"value"_s, u"keyword"_s, u"sort_order"_s},
            {Valor::numero(p.tienda), Valor::numero(p.idioma), Valor(p.objeto.left(igual)),
             Valor(p.objeto.mid(igual + 1)), Valor(p.palabra), Valor::numero(0)},
            {},
            -1,
            producto,
            true};
}

bool CatalogoTienda::palabrasDe(const QStringList& objetos, QHash<QString, QString>* hay,
                                QString* error) {
    if (objetos.isEmpty())
        return true;
    const QString t = id(m_config.prefijo + u"seo_url"_s);
    QString sql;
    if (!m_oc4) {
        QStringList lista;
        for (const QString& o : objetos)
            lista.append(m_cn.literal(Valor(o)));
        sql = u"SELECT store_id, language_id, query, keyword FROM "_s + t + u" WHERE query IN ("_s +
              lista.join(u',') + u')';
    } else {
        // By key, so the value list can use the table's order.
        QHash<QString, QStringList> porClave;
        for (const QString& o : objetos) {
            const qsizetype igual = o.indexOf(u'=');
            porClave[o.left(igual)].append(m_cn.literal(Valor(o.mid(igual + 1))));
        }
        QStringList partes;
        for (auto it = porClave.cbegin(); it != porClave.cend(); ++it)
            partes.append(u"(`key` = "_s + m_cn.literal(Valor(it.key())) + u" AND `value` IN ("_s +
                          it.value().join(u',') + u"))"_s);
        sql = u"SELECT store_id, language_id, CONCAT(`key`, '=', `value`), keyword FROM "_s + t +
              u" WHERE "_s + partes.join(u" OR "_s);
    }
    ++m_viajes;
    if (!m_cn.consultarFilas(sql, [hay](const QList<Valor>& f) {
            hay->insert(f[0].texto() + u'|' + f[1].texto() + u'|' + f[2].texto(), f[3].texto());
        })) {
        *error = m_cn.ultimoError();
        return false;
    }
    return true;
}
