#include "plan_producto.h"

#include "nombres_relacionados.h"
#include "services/basesdd.h"
#include "services/dialogos.h"

#include <QSet>

using namespace Qt::StringLiterals;

bool ValidarCamposEnvio(const clnCampos& campos) {
    auto alerta = [](const QString& texto) {
        CajaMensaje(texto, Botones::Critico, u"Alerta"_s);
        return false;
    };
    if (campos.isEmpty())
        return alerta(u"La lista de campos a pasar no ha sido definida"_s);
    if (campos.first().DeVM.toLower() != u"clave"_s)
        return alerta(u"El campo «Clave» no está en la lista de campos a pasar"_s);
    // The key column of the product table is the web equivalent of "Clave": it cannot live
    // elsewhere.
    if (!campos.first().TablaExterna.trimmed().isEmpty())
        return alerta(
            u"El campo «Clave» debe pasar a la tabla de productos, no a una tabla externa"_s);
    return true;
}

void AnalizarLlaveExterna(const QString& texto, QString* llave,
                          QList<std::pair<QString, QString>>* filas, QStringList* descartadas) {
    filas->clear();
    if (!texto.contains(u',')) {
        *llave = texto;
        filas->append({QString(), QString()});
        return;
    }
    const QStringList partes = texto.split(u',');
    *llave = partes.first();
    for (qsizetype i = 1; i < partes.size(); ++i) {
        const qsizetype igual = partes[i].indexOf(u'=');
        if (igual < 0) {
            descartadas->append(partes[i]);
            continue;
        }
        filas->append({partes[i].left(igual), partes[i].mid(igual + 1)});
    }
}

PlanificadorEnvio::PlanificadorEnvio(const clnCampos& campos, BuscadorNombres& nombres)
    : m_campos(campos)
    , m_nombres(nombres) {
    for (const Estrucs& e : m_campos) {
        Externa externa;
        if (e.TablaExterna.isEmpty())
            m_columnas.append(e.DeWeb);
        else
            AnalizarLlaveExterna(e.LlaveEnTablaExterna, &externa.llave, &externa.filas,
                                 &externa.descartadas);
        m_externas.append(externa);
    }
}

PlanProducto PlanificadorEnvio::modelo() const {
    PlanProducto p;
    p.columnas = m_columnas;
    for (qsizetype i = 0; i < m_campos.size(); ++i) {
        const Estrucs& e = m_campos[i];
        if (!e.TablaExterna.isEmpty())
            p.externas.append(EscrituraExterna{e.TablaExterna, e.DeWeb, Valor(), e.LlaveEnProds,
                                               m_externas[i].llave, m_externas[i].filas});
    }
    return p;
}

bool PlanificadorEnvio::cargarExistencias(Conexion& pos, QString* error) {
    m_existencias.clear();
    // Stock rows repeat a few names and quantities: each text is kept once.
    QSet<QString> textos;
    auto unico = [&textos](const QString& t) { return *textos.insert(t); };
    const Consulta consulta = Consulta(u"existenciaexterna"_s)
                                  .con({u"Producto"_s, u"Referencia"_s, u"Existencia"_s})
                                  .ordenar(u"Referencia"_s);
    const bool bien = pos.consultarFilas(Sql::select(pos, consulta), [&](const QList<Valor>& f) {
        const Valor cantidad = f[2].esNulo() ? f[2] : Valor(unico(f[2].texto()));
        m_existencias[f[0].texto()].append(Existencia{unico(f[1].texto()), cantidad});
    });
    if (!bien) {
        *error = pos.ultimoError();
        return false;
    }
    // A product's few rows would keep the room a growing list reserves.
    for (QList<Existencia>& filas : m_existencias)
        filas.squeeze();
    m_existencias.squeeze();
    for (auto it = m_existencias.cbegin(); it != m_existencias.cend(); ++it)
        m_sinMayusculas[it.key().toLower()].append(it.key());
    m_conExistencias = true;
    return true;
}

QList<Existencia> PlanificadorEnvio::existenciasDe(const QString& clave) const {
    // The stock rows of exactly this key; a key that has none takes those written in other
    // letter case (a point of sale that does not tell case apart joins them so).
    const auto it = m_existencias.constFind(clave);
    if (it != m_existencias.constEnd())
        return *it;
    QList<Existencia> filas;
    for (const QString& otra : m_sinMayusculas.value(clave.toLower()))
        filas += m_existencias.value(otra);
    return filas;
}

bool PlanificadorEnvio::planificar(const Recordset& producto, PlanProducto* plan,
                                   QString* error) const {
    *plan = PlanProducto{};
    plan->clave = producto.valor(u"Clave"_s).texto();
    plan->descripcion = producto.valor(u"Descrip"_s).texto();
    plan->columnas = m_columnas;
    for (qsizetype i = 0; i < m_campos.size(); ++i) {
        const Estrucs& e = m_campos[i];
        bool existe = false;
        const Valor crudo = producto.valor(e.DeVM, &existe);
        if (!existe) {
            *error = u"La tabla productos no tiene la columna «%1»"_s.arg(e.DeVM);
            return false;
        }
        Valor valor;
        if (!m_nombres.reemplazar(e.DeVM, crudo, &valor, error))
            return false;
        if (e.TablaExterna.isEmpty()) {
            plan->valores.append(valor);
            continue;
        }
        const Externa& llave = m_externas[i];
        if (!llave.descartadas.isEmpty()) {
            *error =
                u"La llave de la tabla externa «%1» tiene condiciones sin signo igual: %2"_s.arg(
                    e.TablaExterna, llave.descartadas.join(u", "_s));
            return false;
        }
        plan->externas.append(EscrituraExterna{e.TablaExterna, e.DeWeb, valor, e.LlaveEnProds,
                                               llave.llave, llave.filas});
    }
    if (m_conExistencias)
        plan->existencias = existenciasDe(plan->clave);
    if (m_conPertenencia) {
        QList<Valor> ids;
        for (const QString& c : ColumnasPertenencia)
            ids.append(producto.valor(c));
        if (!pertenenciaDe(ids, &plan->pertenencia, error))
            return false;
    }
    return true;
}

bool PlanificadorEnvio::pertenenciaDe(const QList<Valor>& ids, Pertenencia* p,
                                      QString* error) const {
    Relacion* partes[] = {&p->linea, &p->sublinea, &p->marca};
    for (int i = 0; i < 3; ++i) {
        *partes[i] = Relacion{};
        bool numero = false;
        const qint64 id = ids.value(i).texto().trimmed().toLongLong(&numero);
        if (ids.value(i).esNulo() || !numero || id <= 0)
            continue;
        partes[i]->id = id;
        if (!m_nombres.BuscarNombrePorId(ids.value(i), *TablaRelacionadaDe(ColumnasPertenencia[i]),
                                         &partes[i]->nombre, error))
            return false;
    }
    return true;
}

bool PlanificadorEnvio::pertenencias(Conexion& pos, const Consulta& productos,
                                     QList<Pertenencia>* lista, QString* error) const {
    Consulta consulta = productos;
    consulta.columnas = ColumnasPertenencia;
    QList<QList<Valor>> distintas;
    QSet<QString> vistas;
    const bool bien = pos.consultarFilas(Sql::select(pos, consulta), [&](const QList<Valor>& f) {
        const QString clave = f[0].texto() + u'|' + f[1].texto() + u'|' + f[2].texto();
        if (!vistas.contains(clave)) {
            vistas.insert(clave);
            distintas.append(f);
        }
    });
    if (!bien) {
        *error = pos.ultimoError();
        return false;
    }
    lista->clear();
    for (const QList<Valor>& f : distintas) {
        Pertenencia p;
        if (!pertenenciaDe(f, &p, error))
            return false;
        if (!lista->contains(p))
            lista->append(p);
    }
    return true;
}

QStringList PlanificadorEnvio::nombresDeExistencias(const QStringList& claves) const {
    QStringList nombres;
    QSet<QString> vistos;
    for (const QString& clave : claves)
        for (const Existencia& e : existenciasDe(clave))
            if (!vistos.contains(e.referencia)) {
                vistos.insert(e.referencia);
                nombres.append(e.referencia);
            }
    return nombres;
}
