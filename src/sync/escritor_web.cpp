#include "escritor_web.h"

#include "bitacora_envio.h"
#include "escritor_web_modelo.h"
#include "services/conexion.h"
#include "services/recordset.h"
#include "texto_tienda.h"
#include "ventana_envio.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace escritor;

namespace {
constexpr unsigned SinValorPorDefecto = 1364; // "Field '%s' doesn't have a default value"
} // namespace

namespace escritor {
void fijar(Escritura& e, const QString& columna, const Valor& valor) {
    for (qsizetype i = 0; i < e.columnas.size(); ++i)
        if (e.columnas[i].compare(columna, Qt::CaseInsensitive) == 0) {
            e.valores[i] = valor;
            return;
        }
    e.columnas.append(columna);
    e.valores.append(valor);
}

QString identidad(const ColumnaTienda* columna, const Valor& valor) {
    if (valor.esNulo())
        return u"\u0001"_s;
    if (columna && columna->numerico) {
        const QString n = decimalCanonico(valor.texto(), columna->escala);
        if (!n.isNull())
            return n;
    }
    return valor.texto();
}

void completarTextos(Escritura& alta, const TablaTienda& tabla) {
    for (const ColumnaTienda& c : tabla.columnas)
        if (c.texto && c.sinDefecto && !c.generada && !c.autoIncremento &&
            !alta.columnas.contains(c.nombre, Qt::CaseInsensitive)) {
            alta.columnas.append(c.nombre);
            alta.valores.append(Valor(QString()));
        }
}

EscritorWeb::Fila filaNueva(const Escritura& alta, int insercion) {
    EscritorWeb::Fila fila;
    fila.insercion = insercion;
    // A block makes thousands of rows of a few shapes: one table of positions per shape.
    thread_local QHash<QStringList, std::shared_ptr<const EscritorWeb::Fila::Forma>> formas;
    auto& forma = formas[alta.columnas];
    if (!forma)
        forma = EscritorWeb::Fila::formaDe(alta.columnas);
    fila.forma = forma;
    fila.valores = alta.valores;
    return fila;
}
} // namespace escritor

EscritorWeb::EscritorWeb(Conexion& cn, const Configuracion& configuracion, VentanaEnvio* ventana)
    : m_cn(cn)
    , m_config(configuracion)
    , m_ventana(ventana)
    , m_prefijo(prefijoDe(configuracion.tablaProductos))
    , m_opcion(configuracion.usaTallas ? OpcionTallas : OpcionColores) {
    if (!m_config.ahora.isValid())
        m_config.ahora = QDateTime::currentDateTime();
}

QString EscritorWeb::prefijoDe(const QString& tablaProductos) {
    const QString t = tablaProductos.trimmed();
    if (t.endsWith(u"product"_s, Qt::CaseInsensitive))
        return t.left(t.size() - 7);
    return u"oc_"_s;
}

QString EscritorWeb::tiendasTexto() const {
    QStringList ids;
    for (int t : m_config.tiendas)
        ids.append(QString::number(t));
    return ids.join(u", "_s);
}

const TablaTienda& EscritorWeb::tabla(const QString& nombre) const {
    static const TablaTienda ninguna;
    const auto it = m_esquema.constFind(nombre.trimmed());
    return it == m_esquema.constEnd() ? ninguna : *it;
}

QList<std::pair<QString, Valor>> EscritorWeb::defectosDe(const QString& nombre) {
    auto it = m_defectos.find(nombre);
    if (it != m_defectos.end())
        return *it;
    QList<std::pair<QString, Valor>> valores;
    const TablaTienda& t = tabla(nombre);
    const QString archivo = rutaValoresIniciales(m_config.carpetaPrograma, nombre);
    for (const auto& [columna, texto] : LeerValoresIniciales(archivo)) {
        // A defaults file written for another version of the shop (OpenCart 4 moved "sku" out
        // of the product table) must not fail every new product.
        if (t.existe() && !t.columna(columna)) {
            qCWarning(lcNombres).noquote()
                << u"%1: la tabla «%2» no tiene la columna «%3»; esa línea no se usa"_s.arg(
                       archivo, nombre, columna);
            continue;
        }
        valores.append({columna, valorParaTienda(t.columna(columna),
                                                 Valor(resolverValorInicial(texto, m_config.ahora)),
                                                 m_config.codificar)});
    }
    return *m_defectos.insert(nombre, valores);
}

bool EscritorWeb::preparar(const QList<UsoDeTabla>& usos, const QStringList& nombresOpcion,
                           const QString& columnaLlave, const QStringList& claves,
                           const QList<Pertenencia>& pertenencias, QString* error) {
    QStringList tablas = NombresDeTablas(usos);
    if (!tablas.contains(m_config.tablaProductos.trimmed()))
        tablas.prepend(m_config.tablaProductos.trimmed());
    tablas.append(tablaOpcion(u"language"_s));
    if (m_config.bajas)
        tablas.append(tablaOpcion(u"stock_status"_s));
    tablas.append(RegistroTienda::tablaDe(m_prefijo));
    if (!LeerEsquemaTienda(m_cn, tablas, &m_esquema, error))
        return false;
    ++m_viajes;
    // A mapping the shop cannot take fails here once, before the first write, not product by
    // product. A dry run writes nothing, so it needs no privilege to write.
    // The account's right to write is tried once: a send that wrote with this account into these
    // tables noted so in its state, and its statements then cost nothing more.
    m_huellaCuenta = huellaCuenta(usos, false);
    m_huellaCuentaRegistro = huellaCuenta(usos, true);
    if (!m_config.estado.isEmpty())
        m_previo.leer(m_config.estado);
    m_registroProbado = !m_config.simulacro && m_previo.cuenta == m_huellaCuentaRegistro;
    const bool probar =
        !m_config.simulacro && m_previo.cuenta != m_huellaCuenta && !m_registroProbado;
    const QStringList problemas = ComprobarTablas(m_cn, usos, m_esquema, probar, false);
    if (!problemas.isEmpty()) {
        *error = problemas.join(u"; "_s);
        m_noSirve = true;
        return false;
    }
    // Size and colour names go to the shop's own languages; a shop without a language table gets
    // languages 1 and 3.
    m_idiomas = {Idiomas[0], Idiomas[1]};
    if (tabla(tablaOpcion(u"language"_s)).existe()) {
        ResultadoConsulta idiomas;
        ++m_viajes;
        if (!m_cn.consultar(u"SELECT language_id FROM "_s + id(tablaOpcion(u"language"_s)) +
                                u" ORDER BY language_id"_s,
                            idiomas)) {
            *error = m_cn.ultimoError();
            return false;
        }
        if (!idiomas.filas.isEmpty()) {
            m_idiomas.clear();
            for (const QList<Valor>& f : idiomas.filas)
                m_idiomas.append(f[0].texto().toInt());
        }
    }
    ResultadoConsulta paquete;
    if (m_cn.consultar(u"SELECT @@max_allowed_packet"_s, paquete) && !paquete.filas.isEmpty())
        m_bytesPorViaje = qBound(qint64(64 * 1024), paquete.filas[0][0].texto().toLongLong() / 2,
                                 qint64(8 << 20));
    m_viajes += 3;
    m_columnaLlave = columnaLlave;
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    m_primaria = tp.autoIncremento.isEmpty() && tp.primaria.size() == 1 ? tp.primaria.first()
                                                                        : tp.autoIncremento;
    // What is made once for every product first (option values, categories, manufacturers), so
    // that the checksums of the last send's state are taken over what this send starts from.
    if (m_config.usaTallasOColores && !nombresOpcion.isEmpty() &&
        !opcionesDeValor(nombresOpcion, error))
        return false;
    if (!prepararCatalogo(pertenencias, error) || !prepararEstado(claves, error))
        return false;
    if (m_filtro)
        return conocerOpciones(false, error);
    return conocerFilas(claves, true, error) && conocerOpciones(true, error);
}

void EscritorWeb::FilasDeProducto::anotar(qint64 idProducto, qint64 fila) {
    ultima = qMax(ultima, fila);
    QList<qint64>& filas = de[idProducto];
    if (!filas.contains(fila))
        filas.append(fila);
}

bool EscritorWeb::conocerOpciones(bool leer, QString* error) {
    // What the state of the last send restored stays.
    m_opcionesDe.tabla = tablaOpcion(u"product_option"_s);
    m_opcionesDe.producto = m_config.campoTallaColor;
    m_opcionesDe.activo = false;
    m_existenciasDe.tabla = tablaOpcion(u"product_option_value"_s);
    m_existenciasDe.producto = u"product_id"_s;
    m_existenciasDe.activo = false;
    // Only where a product's rows are found by the product table's own primary key.
    if (!m_config.usaTallasOColores || m_primaria.isEmpty() ||
        m_config.campoTallaColor.trimmed().compare(m_primaria, Qt::CaseInsensitive) != 0)
        return true;
    for (FilasDeProducto* f : {&m_opcionesDe, &m_existenciasDe}) {
        const TablaTienda& t = tabla(f->tabla);
        f->primaria = t.autoIncremento;
        if (f->primaria.isEmpty() || !t.columna(f->producto) || !t.columna(u"option_id"_s))
            return true;
    }
    if (!leer) {
        m_opcionesDe.activo = m_existenciasDe.activo = true;
        return true;
    }
    for (FilasDeProducto* f : {&m_opcionesDe, &m_existenciasDe}) {
        f->de.clear();
        f->ultima = 0;
        ++m_viajes;
        // Every row counts for the newest one seen, so that later reads of newer rows do not
        // go over other options' rows.
        const QString sql = u"SELECT "_s + id(f->primaria) + u", "_s + id(f->producto) +
                            u", option_id="_s + QString::number(m_opcion) + u" FROM "_s +
                            id(f->tabla);
        if (!m_cn.consultarFilas(sql, [f](const QList<Valor>& fila) {
                const qint64 numero = fila[0].texto().toLongLong();
                if (fila[2].texto() == u"1"_s)
                    f->anotar(fila[1].texto().toLongLong(), numero);
                f->ultima = qMax(f->ultima, numero);
            })) {
            *error = m_cn.ultimoError();
            return false;
        }
        f->activo = true;
    }
    return true;
}

QString EscritorWeb::selectorDe(const FilasDeProducto& f, const QStringList& productos) const {
    QStringList filas;
    for (const QString& p : productos)
        for (qint64 fila : f.de.value(p.toLongLong()))
            filas.append(QString::number(fila));
    const QString primaria = u"t."_s + id(f.primaria);
    QString selector = primaria + u">"_s + QString::number(f.ultima);
    if (!filas.isEmpty())
        selector = u'(' + primaria + u" IN ("_s + filas.join(u',') + u") OR "_s + selector + u')';
    return selector;
}

QString EscritorWeb::claveGuardada(const QString& clave) const {
    const ColumnaTienda* c =
        m_esquema.value(m_config.tablaProductos.trimmed()).columna(m_columnaLlave);
    return valorParaTienda(c, Valor(clave), m_config.codificar).texto();
}

QString EscritorWeb::claveDeOtraForma(const QString& clave) const {
    // A row written while the text setting said otherwise holds the key in the other form: found
    // by it, it is rewritten instead of duplicated.
    const ColumnaTienda* c =
        m_esquema.value(m_config.tablaProductos.trimmed()).columna(m_columnaLlave);
    const QString otra = valorParaTienda(c, Valor(clave), !m_config.codificar).texto();
    return otra == claveGuardada(clave) ? QString() : otra;
}

// A table without an index on its key column costs a full scan per look-up: the keys' weights and
// the rows' are read once, and blocks then read their rows by primary key.
// `todas`: every row of the product table is read (pk and weight); otherwise only the rows the
// keys find, for keys the last send's state does not know.
bool EscritorWeb::conocerFilas(const QStringList& claves, bool todas, QString* error) {
    const QString& columnaLlave = m_columnaLlave;
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    const ColumnaTienda* columna = tp.columna(columnaLlave);
    if (m_primaria.isEmpty() || !columna)
        return true;
    QStringList textos;
    QSet<QString> vistos;
    for (const QString& c : claves)
        for (const QString& t : {claveGuardada(c), claveDeOtraForma(c)})
            if (!vistos.contains(t)) {
                vistos.insert(t);
                textos.append(t);
            }
    // A statement per thousand keys, sent some at a time so that a large catalogue never makes
    // one huge text.
    constexpr qsizetype PorSentencia = 1000;
    constexpr qsizetype SentenciasPorEnvio = 20;
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);
    for (qsizetype i = 0; i < textos.size(); i += PorSentencia) {
        const QStringList parte = textos.mid(i, PorSentencia);
        QStringList pesos;
        for (const QString& t : parte)
            pesos.append(pesoDeLiteral(*columna, m_cn.literal(Valor(t))));
        lote.consulta(u"SELECT "_s + pesos.join(u','), [this, parte](const ResultadoConsulta& r) {
            for (qsizetype j = 0; j < parte.size() && !r.filas.isEmpty(); ++j)
                m_pesoDeClave.insert(parte[j], r.filas[0].value(j).texto());
        });
        if ((i / PorSentencia + 1) % SentenciasPorEnvio == 0 && !lote.enviar(error)) {
            m_viajes += lote.viajes();
            return false;
        }
    }
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    if (!bien)
        return false;
    const QString filas = u"SELECT "_s + id(m_primaria) + u", "_s +
                          pesoDeColumna(*columna, id(columnaLlave)) + u" FROM "_s +
                          id(m_config.tablaProductos);
    auto anotar = [this, todas](const QList<Valor>& f) {
        if (todas)
            m_ultimaFila = qMax(m_ultimaFila, f[0].texto().toLongLong());
        const auto it = m_filaDePeso.constFind(f[1].texto());
        // The first row of each weight, by primary key.
        if (it == m_filaDePeso.constEnd() || it->toLongLong() > f[0].texto().toLongLong())
            m_filaDePeso.insert(f[1].texto(), f[0].texto());
    };
    for (qsizetype i = 0; i < (todas ? 1 : textos.size()); i += PorSentencia) {
        QStringList literales;
        for (const QString& t : textos.mid(i, PorSentencia))
            literales.append(m_cn.literal(Valor(t)));
        const QString sql = todas ? filas
                                  : filas + u" WHERE "_s + id(columnaLlave) + u" IN ("_s +
                                        literales.join(u',') + u')';
        ++m_viajes;
        if (!m_cn.consultarFilas(sql + u" ORDER BY "_s + id(m_primaria), anotar)) {
            *error = m_cn.ultimoError();
            return false;
        }
    }
    return true;
}

bool EscritorWeb::opcionesDeValor(const QStringList& nombres, QString* error) {
    const QString tDesc = tablaOpcion(u"option_value_description"_s);
    const TablaTienda& desc = tabla(tDesc);
    ColumnaTienda nombre;
    if (const ColumnaTienda* c = desc.columna(u"name"_s))
        nombre = *c;
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);

    // The weight of every name under the column's collation, read in pieces.
    QStringList codificados;
    QSet<QString> vistos;
    for (const QString& n : nombres) {
        const QString c = valorParaTienda(&nombre, Valor(n), m_config.codificar).texto();
        if (vistos.contains(c))
            continue;
        vistos.insert(c);
        // A name the column would cut or alter ("Talla ?") would become another size, or share
        // one with a different name.
        if (const QString motivo = textoNoCabe(nombre, c); !motivo.isEmpty()) {
            m_nombresRechazados.insert(c, motivo);
            continue;
        }
        codificados.append(c);
    }
    for (qsizetype i = 0; i < codificados.size(); i += 500) {
        const QStringList parte = codificados.mid(i, 500);
        QStringList pesos;
        for (const QString& n : parte)
            pesos.append(pesoDeLiteral(nombre, m_cn.literal(Valor(n))));
        lote.consulta(u"SELECT "_s + pesos.join(u','), [this, parte](const ResultadoConsulta& r) {
            for (qsizetype j = 0; j < parte.size() && !r.filas.isEmpty(); ++j)
                m_pesosOpcion.insert(parte[j], r.filas[0].value(j).texto());
        });
    }
    QList<QList<Valor>> existentes; // weight, option_value_id, language_id
    lote.consulta(u"SELECT "_s + pesoDeColumna(nombre, id(u"name"_s)) +
                      u", option_value_id, language_id FROM "_s + id(tDesc) +
                      u" WHERE option_id="_s + QString::number(m_opcion) +
                      u" ORDER BY option_value_id, language_id"_s,
                  [&](const ResultadoConsulta& r) { existentes = r.filas; });
    if (!lote.enviar(error))
        return false;

    auto tieneIdioma = [&](const QString& valor, int idioma) {
        for (const QList<Valor>& f : existentes)
            if (f[1].texto() == valor && f[2].texto().toInt() == idioma)
                return true;
        return false;
    };
    qint64 simulado = 0;
    for (const QString& n : codificados) {
        const QString peso = m_pesosOpcion.value(n);
        if (m_valoresOpcion.contains(peso))
            continue;
        QString encontrado;
        for (const QList<Valor>& f : existentes)
            if (f[0].texto() == peso && f[2].texto().toInt() == m_idiomas.first()) {
                encontrado = f[1].texto();
                break;
            }
        QList<int> faltan;
        for (int idioma : std::as_const(m_idiomas))
            if (encontrado.isEmpty() || !tieneIdioma(encontrado, idioma))
                faltan.append(idioma);
        if (m_config.simulacro) {
            if (encontrado.isEmpty())
                encontrado = QString::number(--simulado);
            for (int idioma : faltan)
                m_ventana->cambioPrevisto({tDesc, QString(), true,
                                           u"name (idioma %1)"_s.arg(idioma), Valor::nulo(),
                                           Valor(n)});
            m_valoresOpcion.insert(peso, encontrado.toLongLong());
            continue;
        }
        // Each value is made and committed on its own, before any product uses it: a product
        // rolled back later cannot take a value with it that later products point at.
        if (encontrado.isEmpty()) {
            ++m_viajes;
            if (!m_cn.Execute(
                    Sql::insert(m_cn, tablaOpcion(u"option_value"_s),
                                {u"option_id"_s, u"image"_s, u"sort_order"_s},
                                {Valor::numero(m_opcion), Valor(QString()), Valor::numero(0)}))) {
                *error = m_cn.ultimoError();
                return false;
            }
            encontrado = QString::number(m_cn.ultimoIdInsertado());
        }
        for (int idioma : faltan)
            lote.escritura(Sql::insert(
                m_cn, tDesc, {u"option_value_id"_s, u"language_id"_s, u"option_id"_s, u"name"_s},
                {Valor(encontrado), Valor::numero(idioma), Valor::numero(m_opcion), Valor(n)}));
        if (m_config.transaccional)
            lote.escritura(u"COMMIT"_s);
        if (!lote.enviar(error))
            return false;
        m_valoresOpcion.insert(peso, encontrado.toLongLong());
    }
    m_viajes += lote.viajes();
    return true;
}

bool EscritorWeb::escribir(Bloque& b, bool ultima, QString* error, const Despues& despues) {
    QList<Escritura> escrituras;
    escrituras.swap(b.escrituras);
    b.hayInserciones = false;
    // The block's transaction ends in the round trip of its last writes.
    const bool confirmar = ultima && m_config.transaccional && !m_config.simulacro &&
                           (b.escrito || !escrituras.isEmpty());
    if (m_alFase && !escrituras.isEmpty())
        m_alFase(FaseEnvio::Escribiendo);
    if (m_config.simulacro || (escrituras.isEmpty() && !confirmar)) {
        if (!despues)
            return true;
        LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);
        despues(lote, nullptr);
        const bool bien = lote.enviar(error);
        m_viajes += lote.viajes();
        return bien;
    }
    b.escrito = true;
    for (const Escritura& e : std::as_const(escrituras))
        m_escrituraComun = m_escrituraComun || e.producto < 0;
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);

    // A warning names the row of its statement ("at row 3"): that row's product gets it, with
    // what the shop kept, read back once the statements have run.
    static const QRegularExpression enFila(u" at row (\\d+)"_s);
    static const QRegularExpression columnaDelAviso(
        u"column [`']?(?:[^`' ]*[`']\\.[`'])*([^`' ]+)[`']"_s);
    struct Releer {
        int producto;
        int aviso; // index in the product's warnings
        QString sql;
    };
    auto releer = std::make_shared<QList<Releer>>();
    // The row a write made or changed, to read a column of it back; an empty text when it cannot
    // be told.
    auto dondeQuedo = [this](const Escritura& e, quint64 id) -> QString {
        Condicion donde = e.condicion;
        const TablaTienda& t = tabla(e.tabla);
        if (e.insercion && !t.autoIncremento.isEmpty() && id > 0) {
            donde = {{t.autoIncremento, Valor::numero(qint64(id))}};
        } else if (e.insercion) {
            // A new row of a link or description table is named by its primary key; a product
            // row, by its key.
            const QStringList claves = e.tabla == m_config.tablaProductos.trimmed()
                                           ? QStringList{m_columnaLlave}
                                           : t.primaria;
            for (const QString& c : claves)
                for (qsizetype k = 0; k < e.columnas.size(); ++k)
                    if (e.columnas[k].compare(c, Qt::CaseInsensitive) == 0)
                        donde.append({c, e.valores[k]});
            if (donde.size() < claves.size())
                return {};
        }
        return donde.isEmpty() ? QString() : u" WHERE "_s + Sql::where(m_cn, donde);
    };
    // Per statement: the rows it carries, and the first id an insert made.
    auto avisar = [this, &b, &escrituras, releer, dondeQuedo](QList<qsizetype> filas) {
        auto primerId = std::make_shared<quint64>(0);
        LoteSql::AlLeer alLeer = [primerId](const ResultadoConsulta& r) { *primerId = r.ultimoId; };
        LoteSql::AlAvisar alAvisar = [this, &b, &escrituras, filas, primerId, releer,
                                      dondeQuedo](const QList<AvisoServidor>& avisos) {
            for (const AvisoServidor& a : avisos) {
                // Notes (a decimal rounded to the column's scale) are no loss; nor is a column we
                // did not send taking its type's empty value, as the shop's schema expects.
                if (a.nivel.compare(u"Warning"_s, Qt::CaseInsensitive) != 0 ||
                    a.codigo == SinValorPorDefecto)
                    continue;
                const QRegularExpressionMatch m = enFila.match(a.mensaje);
                const qsizetype fila = m.hasMatch() ? m.captured(1).toInt() - 1 : 0;
                const Escritura& e = escrituras[filas.value(fila, filas.first())];
                if (e.producto < 0) {
                    qCWarning(lcNombres).noquote() << u"%1: %2"_s.arg(e.tabla, a.mensaje);
                    continue;
                }
                QStringList& suyos = (*b.resultados)[e.producto].avisos;
                const QString nombre = columnaDelAviso.match(a.mensaje).captured(1);
                const ColumnaTienda* columna = tabla(e.tabla).columna(nombre);
                // What was sent, beside what the shop kept (read back below).
                QString aviso = columna ? u"%1.%2: %3"_s.arg(e.tabla, columna->nombre, a.mensaje)
                                        : u"%1: %2"_s.arg(e.tabla, a.mensaje);
                for (qsizetype k = 0; columna && k < e.columnas.size(); ++k)
                    if (e.columnas[k].compare(columna->nombre, Qt::CaseInsensitive) == 0) {
                        const Valor& v = e.valores.at(k);
                        aviso +=
                            u"; se envió "_s + (v.esNulo() ? u"NULL"_s : u'«' + v.texto() + u'»');
                        break;
                    }
                suyos.append(aviso);
                const quint64 numero = *primerId > 0 ? *primerId + quint64(fila) : 0;
                const QString donde = columna ? dondeQuedo(e, numero) : QString();
                if (!donde.isEmpty())
                    releer->append({e.producto, int(suyos.size() - 1),
                                    u"SELECT "_s + id(columna->nombre) + u" FROM "_s + id(e.tabla) +
                                        donde + u" LIMIT 1"_s});
            }
        };
        return std::pair{alAvisar, alLeer};
    };

    // New rows: one multi-row statement per table and column list, in product order.
    QList<qsizetype> grupos;
    auto mismoGrupo = [](const Escritura& x, const Escritura& y) {
        return x.tabla == y.tabla && x.columnas == y.columnas && x.reemplazo == y.reemplazo;
    };
    for (qsizetype i = 0; i < escrituras.size(); ++i) {
        if (!escrituras[i].insercion)
            continue;
        bool nuevo = true;
        for (qsizetype g : grupos)
            nuevo = nuevo && !mismoGrupo(escrituras[g], escrituras[i]);
        if (nuevo)
            grupos.append(i);
    }
    for (qsizetype g : grupos) {
        const Escritura& modelo = escrituras[g];
        QStringList columnas;
        for (const QString& c : modelo.columnas)
            columnas.append(id(c));
        const QString cabeza = (modelo.reemplazo ? u"REPLACE INTO "_s : u"INSERT INTO "_s) +
                               id(modelo.tabla) + u" ("_s + columnas.join(u',') + u") VALUES "_s;
        QString sql;
        QList<qsizetype> filas;
        auto cerrar = [&] {
            if (!filas.isEmpty()) {
                auto [alAvisar, alLeer] = avisar(filas);
                lote.escritura(sql, alAvisar, alLeer);
            }
            sql.clear();
            filas.clear();
        };
        for (qsizetype i = g; i < escrituras.size(); ++i) {
            const Escritura& e = escrituras[i];
            if (!e.insercion || !mismoGrupo(e, modelo))
                continue;
            QStringList valores;
            for (const Valor& v : e.valores)
                valores.append(m_cn.literal(v));
            const QString fila = u'(' + valores.join(u',') + u')';
            if (!filas.isEmpty() && (sql.size() + fila.size()) * 4 > m_bytesPorViaje / 2)
                cerrar();
            sql += (filas.isEmpty() ? cabeza : u","_s) + fila;
            filas.append(i);
        }
        cerrar();
    }
    for (qsizetype i = 0; i < escrituras.size(); ++i) {
        const Escritura& e = escrituras[i];
        if (e.borrado) {
            lote.escritura(Sql::borrar(m_cn, e.tabla, e.condicion));
        } else if (!e.insercion) {
            auto [alAvisar, alLeer] = avisar({i});
            lote.escritura(Sql::update(m_cn, e.tabla, e.columnas, e.valores, e.condicion, e.limite),
                           alAvisar, alLeer);
        }
    }
    if (confirmar)
        lote.consulta(u"COMMIT"_s, {});
    if (despues) {
        QSet<QString> escritas;
        for (const Escritura& e : std::as_const(escrituras))
            escritas.insert(e.tabla.trimmed().toLower());
        despues(lote, &escritas);
    }
    bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    if (bien && confirmar)
        m_soloLecturas = false;
    if (!bien || releer->isEmpty())
        return bien;
    // What the columns kept, in one more round trip: only blocks with warnings pay it.
    LoteSql lectura(m_cn, m_config.porLotes, m_bytesPorViaje);
    for (const Releer& r : std::as_const(*releer))
        lectura.consulta(r.sql, [&b, r](const ResultadoConsulta& leido) {
            if (!leido.filas.isEmpty() && !leido.filas[0].isEmpty()) {
                const Valor& v = leido.filas[0][0];
                (*b.resultados)[r.producto].avisos[r.aviso] +=
                    u"; quedó "_s + (v.esNulo() ? u"NULL"_s : u'«' + v.texto() + u'»');
            }
        });
    bien = lectura.enviar(error);
    m_viajes += lectura.viajes();
    // After the COMMIT those reads opened a transaction of their own; the next block ends it.
    if (bien && confirmar)
        m_soloLecturas = true;
    return bien;
}

bool EscritorWeb::terminar(bool bien) {
    if (!bien && m_config.transaccional && !m_config.simulacro && m_cn.abierta()) {
        m_cn.Execute(u"ROLLBACK"_s);
        m_soloLecturas = false;
    }
    return bien;
}

bool EscritorWeb::EnviarBloque(const QList<PlanProducto>& planes,
                               QList<ResultadoProducto>* resultados, QString* error) {
    resultados->clear();
    resultados->resize(planes.size());
    if (planes.isEmpty())
        return true;
    Bloque b;
    b.planes = &planes;
    b.resultados = resultados;
    m_columnaLlave = planes.first().columnas.first();
    const ColumnaTienda* columnaLlave = tabla(m_config.tablaProductos).columna(m_columnaLlave);
    QStringList claves;
    QSet<QString> vistas;
    for (qsizetype i = 0; i < planes.size(); ++i) {
        const QString& clave = planes[i].clave;
        const QString guardada = claveGuardada(clave);
        b.llaves.append(guardada);
        b.crudas.append(claveDeOtraForma(clave));
        // An empty key would match every row without one; a key the column would cut or alter
        // would make a row that no later send finds again.
        QString motivo;
        if (clave.trimmed().isEmpty())
            motivo = u"el producto no tiene clave (vacía o NULL en el punto de venta)"_s;
        else if (std::any_of(clave.begin(), clave.end(),
                             [](QChar c) { return esControl(c, true); }))
            motivo = u"la clave tiene caracteres de control (saltos de línea, tabuladores, …)"_s;
        else if (columnaLlave)
            motivo = claveNoCabe(*columnaLlave, guardada);
        if (!motivo.isEmpty()) {
            (*resultados)[i].fallido = true;
            (*resultados)[i].error =
                u"No se envía: %1 (tabla %2)"_s.arg(motivo, m_config.tablaProductos);
            continue;
        }
        for (const QString& c : {guardada, b.crudas.last()})
            if (!c.isNull() && !vistas.contains(c)) {
                vistas.insert(c);
                claves.append(c);
            }
    }
    if (claves.isEmpty())
        return true;

    // Writes wait for the block's last round trip unless new rows' ids are needed to go on; then
    // the tables whose ids later decisions hang on (products, options) are read again in the
    // round trip that writes them (a failed write stops the reads). The rows kept of the other
    // tables written are what was written: reading them back (descriptions) would only cost bytes.
    auto conIds = [&] {
        if (!b.hayInserciones || m_config.simulacro)
            return true;
        if (!escribir(b, false, error, [&](LoteSql& lote, const QSet<QString>* escritas) {
                QSet<QString> conIdsNuevos;
                for (const QString& t : {m_config.tablaProductos, m_opcionesDe.tabla}) {
                    const QString nombre = t.trimmed().toLower();
                    if (!nombre.isEmpty() && (!escritas || escritas->contains(nombre)))
                        conIdsNuevos.insert(nombre);
                }
                pedirFilas(b, lote, claves, true, escritas ? &conIdsNuevos : nullptr);
            }))
            return false;
        for (Indice& filas : b.externas)
            for (Fila& f : filas.filas)
                f.insercion = -1;
        hallarFilas(b);
        return true;
    };
    if (m_alFase)
        m_alFase(FaseEnvio::Comparando);
    bool bien = leer(b, claves, false, error);
    if (bien) {
        refusarGemelas(b);
        validar(b);
        decidirProductos(b);
        bien = conIds();
    }
    if (bien) {
        decidirRelacionadas(b);
        bien = conIds();
    }
    if (bien) {
        decidirExistencias(b);
        decidirCatalogo(b);
        bien = escribir(b, true, error);
    }
    return terminar(bien);
}
