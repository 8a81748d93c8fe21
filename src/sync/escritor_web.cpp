#include "escritor_web.h"

#include "services/conexion.h"
#include "services/recordset.h"
#include "texto_tienda.h"
#include "ventana_envio.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {
// Keys of one bulk read: enough to keep each statement far under the server's packet limit.
const QString ColumnaPeso = u"vendaro_peso"_s;
const QString Nuevo = u"(nuevo)"_s;
constexpr unsigned SinValorPorDefecto = 1364; // "Field '%s' doesn't have a default value"

QString id(const QString& nombre) {
    return Conexion::identificador(nombre);
}

struct Escritura {
    QString tabla;
    QStringList columnas;
    QList<Valor> valores;
    Condicion condicion; // updates only
    qint64 limite = -1;
    int producto = 0;
    bool insercion = false;
};

void fijar(Escritura& e, const QString& columna, const Valor& valor) {
    for (qsizetype i = 0; i < e.columnas.size(); ++i)
        if (e.columnas[i].compare(columna, Qt::CaseInsensitive) == 0) {
            e.valores[i] = valor;
            return;
        }
    e.columnas.append(columna);
    e.valores.append(valor);
}
} // namespace

struct EscritorWeb::Fila {
    // Lower-cased column → position, shared by the rows of one read: a block holds thousands of
    // rows, and a table of names per row cost more than the values.
    using Forma = QHash<QString, int>;
    std::shared_ptr<const Forma> forma;
    QList<Valor> valores;
    QString peso;
    int insercion = -1; // pending insert of this block that makes the row

    static QString nombre(const QString& c) { return c.trimmed().toLower(); }
    static std::shared_ptr<const Forma> formaDe(const QStringList& columnas) {
        auto forma = std::make_shared<Forma>();
        forma->reserve(columnas.size());
        for (qsizetype i = 0; i < columnas.size(); ++i)
            forma->insert(nombre(columnas[i]), int(i));
        return forma;
    }
    int posicion(const QString& c) const { return forma ? forma->value(nombre(c), -1) : -1; }
    Valor valor(const QString& c) const {
        const int i = posicion(c);
        return i < 0 ? Valor() : valores[i];
    }
    bool tiene(const QString& c) const { return posicion(c) >= 0; }
    void poner(const QString& c, const Valor& valor) {
        if (const int i = posicion(c); i >= 0) {
            valores[i] = valor;
            return;
        }
        auto otra = std::make_shared<Forma>(forma ? *forma : Forma());
        otra->insert(nombre(c), int(valores.size()));
        forma = std::move(otra);
        valores.append(valor);
    }
};

namespace {
// Rows with an index on the key the run looks them up by, so a block costs linear time.
struct Indice {
    QList<EscritorWeb::Fila> filas;
    QHash<QString, QList<int>> por;

    template <typename Clave>
    void poner(QList<EscritorWeb::Fila> nuevas, Clave clave) {
        filas = std::move(nuevas);
        por.clear();
        for (int i = 0; i < filas.size(); ++i)
            por[clave(filas[i])].append(i);
    }
    int agregar(const EscritorWeb::Fila& fila, const QString& clave) {
        filas.append(fila);
        por[clave].append(int(filas.size() - 1));
        return int(filas.size() - 1);
    }
    EscritorWeb::Fila* primera(const QString& clave) {
        const auto it = por.constFind(clave);
        return it == por.constEnd() || it->isEmpty() ? nullptr : &filas[it->first()];
    }
};

// A value as identity: numbers at the column's scale, text as it is.
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
} // namespace

namespace {
// The row an insert will make, as the block sees it until the shop gives it back with its ids.
EscritorWeb::Fila filaNueva(const Escritura& alta, int insercion) {
    EscritorWeb::Fila fila;
    fila.insercion = insercion;
    fila.forma = EscritorWeb::Fila::formaDe(alta.columnas);
    fila.valores = alta.valores;
    return fila;
}
} // namespace

struct EscritorWeb::Bloque {
    const QList<PlanProducto>* planes = nullptr;
    QList<ResultadoProducto>* resultados = nullptr;
    QStringList llaves;            // the key as stored, per product
    QStringList crudas;            // the key in the form the other text setting stores it, or null
    QHash<QString, QString> pesos; // key text → weight under the key column's collation
    Indice productos;              // in primary-key order, by key weight
    QList<int> filaDe;             // per product: its row in productos, or -1
    QHash<QString, Indice> externas; // "table|key|product column" → rows by key value
    Indice opciones;                 // product options of the block's products, by product id
    Indice valores;                  // their stock rows, by option, product and value
    Indice tiendas;                  // their store links, by product and store
    QList<Escritura> escrituras;     // decided, not yet sent
    bool hayInserciones = false;
    bool escrito = false; // some of its writes were sent
};

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

const TablaTienda& EscritorWeb::tabla(const QString& nombre) {
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
    for (const auto& [columna, texto] :
         LeerValoresIniciales(rutaValoresIniciales(m_config.carpetaPrograma, nombre)))
        valores.append({columna, valorParaTienda(t.columna(columna),
                                                 Valor(resolverValorInicial(texto, m_config.ahora)),
                                                 m_config.codificar)});
    return *m_defectos.insert(nombre, valores);
}

bool EscritorWeb::preparar(const QStringList& tablasExternas, const QStringList& nombresOpcion,
                           const QString& columnaLlave, const QStringList& claves, QString* error) {
    QStringList tablas{m_config.tablaProductos.trimmed(), tablaOpcion(u"product_to_store"_s)};
    for (const QString& t : tablasExternas)
        if (!tablas.contains(t.trimmed()))
            tablas.append(t.trimmed());
    if (m_config.usaTallasOColores)
        for (const char16_t* t : {u"option_value", u"option_value_description", u"product_option",
                                  u"product_option_value", u"language"})
            tablas.append(tablaOpcion(QString::fromUtf16(t)));
    if (!LeerEsquemaTienda(m_cn, tablas, &m_esquema, error))
        return false;
    // Size and colour names go to the shop's own languages; a shop without a language table gets
    // languages 1 and 3.
    m_idiomas = {Idiomas[0], Idiomas[1]};
    if (m_config.usaTallasOColores && tabla(tablaOpcion(u"language"_s)).existe()) {
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
    if (!conocerFilas(columnaLlave, claves, error) || !conocerOpciones(error))
        return false;
    if (m_config.usaTallasOColores && !nombresOpcion.isEmpty())
        return opcionesDeValor(nombresOpcion, error);
    return true;
}

void EscritorWeb::FilasDeProducto::anotar(qint64 idProducto, qint64 fila) {
    ultima = qMax(ultima, fila);
    QList<qint64>& filas = de[idProducto];
    if (!filas.contains(fila))
        filas.append(fila);
}

bool EscritorWeb::conocerOpciones(QString* error) {
    m_opcionesDe = {tablaOpcion(u"product_option"_s), {}, m_config.campoTallaColor, {}, 0, false};
    m_existenciasDe = {tablaOpcion(u"product_option_value"_s), {}, u"product_id"_s, {}, 0, false};
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
    for (FilasDeProducto* f : {&m_opcionesDe, &m_existenciasDe}) {
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
bool EscritorWeb::conocerFilas(const QString& columnaLlave, const QStringList& claves,
                               QString* error) {
    m_columnaLlave = columnaLlave;
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    m_primaria = tp.autoIncremento.isEmpty() && tp.primaria.size() == 1 ? tp.primaria.first()
                                                                        : tp.autoIncremento;
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
    ++m_viajes;
    const QString filas = u"SELECT "_s + id(m_primaria) + u", "_s +
                          pesoDeColumna(*columna, id(columnaLlave)) + u" FROM "_s +
                          id(m_config.tablaProductos) + u" ORDER BY "_s + id(m_primaria);
    if (!m_cn.consultarFilas(filas, [this](const QList<Valor>& f) {
            m_ultimaFila = qMax(m_ultimaFila, f[0].texto().toLongLong());
            if (!m_filaDePeso.contains(f[1].texto()))
                m_filaDePeso.insert(f[1].texto(), f[0].texto());
        })) {
        *error = m_cn.ultimoError();
        return false;
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
    for (const QString& n : nombres) {
        const QString c = valorParaTienda(&nombre, Valor(n), m_config.codificar).texto();
        if (!codificados.contains(c))
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

namespace {
QString listaLiterales(const Conexion& cn, const QStringList& textos) {
    QStringList l;
    for (const QString& t : textos)
        l.append(cn.literal(Valor(t)));
    return l.join(u',');
}

QList<EscritorWeb::Fila> filasDe(const ResultadoConsulta& r) {
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
} // namespace

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

// Reads the shop's rows of the block's products: product rows with the weight of their key, and
// the external, option, stock and store rows that hang on them.
bool EscritorWeb::leer(Bloque& b, const QStringList& claves, bool soloFilas, QString* error) {
    const TablaTienda& tp = tabla(m_config.tablaProductos);
    const QString llave = b.planes->first().columnas.first();
    ColumnaTienda columnaLlave;
    columnaLlave.nombre = llave;
    if (const ColumnaTienda* c = tp.columna(llave))
        columnaLlave = *c;
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);
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
    QStringList columnasProducto = modelo.columnas;
    columnasProducto << m_primaria << m_config.campoTallaColor << u"product_id"_s;
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
    lote.consulta(u"SELECT "_s + pesoDeColumna(columnaLlave, u"t."_s + id(llave)) + u" AS "_s +
                      ColumnaPeso + u", "_s + columnasDe(tp, columnasProducto) + u" FROM "_s +
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
    b.externas.clear();
    for (const EscrituraExterna& e : b.planes->first().externas) {
        const QString clave = e.tabla + u'|' + e.llave + u'|' + e.llaveEnProds;
        if (b.externas.contains(clave))
            continue;
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
        lote.consulta(
            u"SELECT "_s +
                columnasDe(tabla(m_opcionesDe.tabla),
                           {u"product_option_id"_s, m_config.campoTallaColor}) +
                u" FROM "_s + id(m_opcionesDe.tabla) + u" AS t WHERE t.option_id="_s + opcion +
                u" AND "_s +
                (conocidas ? selectorDe(m_opcionesDe, filas)
                           : deLosProductos(m_config.campoTallaColor, m_config.campoTallaColor)) +
                u" ORDER BY t.product_option_id"_s,
            [&b, this, anotar](const ResultadoConsulta& r) {
                b.opciones.poner(filasDe(r), [this](const Fila& f) {
                    return f.valor(m_config.campoTallaColor).texto();
                });
                anotar(m_opcionesDe, b.opciones.filas);
            });
        lote.consulta(u"SELECT "_s +
                          columnasDe(tabla(m_existenciasDe.tabla),
                                     {u"product_option_value_id"_s, u"product_option_id"_s,
                                      u"product_id"_s, u"option_value_id"_s, u"quantity"_s}) +
                          u" FROM "_s + id(m_existenciasDe.tabla) + u" AS t WHERE t.option_id="_s +
                          opcion + u" AND "_s +
                          (conocidas ? selectorDe(m_existenciasDe, filas)
                                     : deLosProductos(u"product_id"_s, m_config.campoTallaColor)) +
                          u" ORDER BY t.product_option_value_id"_s,
                      [&b, this, anotar](const ResultadoConsulta& r) {
                          b.valores.poner(filasDe(r), claveDeExistencia);
                          anotar(m_existenciasDe, b.valores.filas);
                      });
    }
    const QString tTiendas = tablaOpcion(u"product_to_store"_s);
    if (!m_config.tiendas.isEmpty() && tabla(tTiendas).existe() && tp.columna(u"product_id"_s))
        lote.consulta(
            u"SELECT t.* FROM "_s + id(tTiendas) + u" AS t WHERE "_s +
                deLosProductos(u"product_id"_s, u"product_id"_s),
            [&b](const ResultadoConsulta& r) { b.tiendas.poner(filasDe(r), claveDeTienda); });
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    if (!bien)
        return false;

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
    return true;
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
            for (qsizetype c = 0; c < plan.columnas.size(); ++c)
                fijar(e, plan.columnas[c], valores[c]);
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

        if (res.creado && conTiendas) {
            const Valor producto = valorDe(u"product_id"_s);
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
                    Fila nueva = filaNueva(alta, int(b.escrituras.size()));
                    if (m_config.simulacro)
                        for (qsizetype c = 0; c < alta.columnas.size(); ++c)
                            m_ventana->cambioPrevisto({e.tabla, plan.clave, true, alta.columnas[c],
                                                       Valor::nulo(), alta.valores[c]});
                    b.escrituras.append(alta);
                    filas.agregar(nueva, porLlave);
                    res.cambiado = true;
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

bool EscritorWeb::escribir(Bloque& b, bool ultima, QString* error) {
    QList<Escritura> escrituras;
    escrituras.swap(b.escrituras);
    b.hayInserciones = false;
    // The block's transaction ends in the round trip of its last writes.
    const bool confirmar = ultima && m_config.transaccional && !m_config.simulacro &&
                           (b.escrito || !escrituras.isEmpty());
    if (m_config.simulacro || (escrituras.isEmpty() && !confirmar))
        return true;
    b.escrito = true;
    LoteSql lote(m_cn, m_config.porLotes, m_bytesPorViaje);

    // A warning names the row of its statement ("at row 3"): that row's product gets it.
    static const QRegularExpression enFila(u" at row (\\d+)"_s);
    // Rows of a statement (indexes into escrituras), for its warnings; "at row 3" names the third.
    static const QRegularExpression columnaDelAviso(
        u"column [`']?(?:[^`' ]*[`']\\.[`'])*([^`' ]+)[`']"_s);
    auto avisar = [this, &b, &escrituras](QList<qsizetype> filas) {
        return [this, &b, &escrituras, filas](const QList<AvisoServidor>& avisos) {
            for (const AvisoServidor& a : avisos) {
                // Notes (a decimal rounded to the column's scale) are no loss; nor is a column we
                // did not send taking its type's empty value, as the shop's schema expects.
                if (a.nivel.compare(u"Warning"_s, Qt::CaseInsensitive) != 0 ||
                    a.codigo == SinValorPorDefecto)
                    continue;
                const QRegularExpressionMatch m = enFila.match(a.mensaje);
                const Escritura& e = escrituras[filas.value(
                    m.hasMatch() ? m.captured(1).toInt() - 1 : 0, filas.first())];
                QString texto = u"%1: %2"_s.arg(e.tabla, a.mensaje);
                // What the column kept of the value sent.
                const QString nombre = columnaDelAviso.match(a.mensaje).captured(1);
                const ColumnaTienda* columna = tabla(e.tabla).columna(nombre);
                for (qsizetype c = 0; columna && c < e.columnas.size(); ++c)
                    if (e.columnas[c].compare(nombre, Qt::CaseInsensitive) == 0)
                        texto +=
                            u"; quedó «%1»"_s.arg(textoQueCabe(*columna, e.valores[c].texto()));
                (*b.resultados)[e.producto].avisos.append(texto);
            }
        };
    };

    // New rows: one multi-row statement per table and column list, in product order.
    QList<qsizetype> grupos;
    for (qsizetype i = 0; i < escrituras.size(); ++i) {
        if (!escrituras[i].insercion)
            continue;
        bool nuevo = true;
        for (qsizetype g : grupos)
            nuevo = nuevo && !(escrituras[g].tabla == escrituras[i].tabla &&
                               escrituras[g].columnas == escrituras[i].columnas);
        if (nuevo)
            grupos.append(i);
    }
    for (qsizetype g : grupos) {
        const Escritura& modelo = escrituras[g];
        QStringList columnas;
        for (const QString& c : modelo.columnas)
            columnas.append(id(c));
        const QString cabeza =
            u"INSERT INTO "_s + id(modelo.tabla) + u" ("_s + columnas.join(u',') + u") VALUES "_s;
        QString sql;
        QList<qsizetype> filas;
        auto cerrar = [&] {
            if (!filas.isEmpty())
                lote.escritura(sql, avisar(filas));
            sql.clear();
            filas.clear();
        };
        for (qsizetype i = g; i < escrituras.size(); ++i) {
            const Escritura& e = escrituras[i];
            if (!e.insercion || e.tabla != modelo.tabla || e.columnas != modelo.columnas)
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
        if (!e.insercion)
            lote.escritura(Sql::update(m_cn, e.tabla, e.columnas, e.valores, e.condicion, e.limite),
                           avisar({i}));
    }
    if (confirmar)
        lote.consulta(u"COMMIT"_s, {});
    const bool bien = lote.enviar(error);
    m_viajes += lote.viajes();
    if (bien && confirmar)
        m_soloLecturas = false;
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
        // A key the column would cut or alter would make a row that no later send finds again.
        const QString motivo = columnaLlave ? claveNoCabe(*columnaLlave, guardada) : QString();
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

    // Writes wait for the block's last round trip unless new rows' ids are needed to go on.
    auto conIds = [&] {
        return !b.hayInserciones || m_config.simulacro ||
               (escribir(b, false, error) && leer(b, claves, true, error));
    };
    bool bien = leer(b, claves, false, error);
    if (bien) {
        decidirProductos(b);
        bien = conIds();
    }
    if (bien) {
        decidirRelacionadas(b);
        bien = conIds();
    }
    if (bien) {
        decidirExistencias(b);
        bien = escribir(b, true, error);
    }
    return terminar(bien);
}
