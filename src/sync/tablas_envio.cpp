#include "tablas_envio.h"

#include "config/ajustes.h"
#include "escritor_web.h"
#include "lote_sql.h"
#include "plan_producto.h"
#include "services/conexion.h"

using namespace Qt::StringLiterals;

namespace {
void agregar(QList<UsoDeTabla>& usos, const QString& tabla, const QStringList& columnas,
             bool inserta, bool actualiza, const QString& motivo, bool siExiste = false) {
    const QString nombre = tabla.trimmed();
    for (UsoDeTabla& u : usos)
        if (u.tabla == nombre) {
            for (const QString& c : columnas)
                if (!c.trimmed().isEmpty() &&
                    !u.columnas.contains(c.trimmed(), Qt::CaseInsensitive))
                    u.columnas.append(c.trimmed());
            u.inserta = u.inserta || inserta;
            u.actualiza = u.actualiza || actualiza;
            return;
        }
    UsoDeTabla u{nombre, {}, inserta, actualiza, siExiste, motivo};
    for (const QString& c : columnas)
        if (!c.trimmed().isEmpty() && !u.columnas.contains(c.trimmed(), Qt::CaseInsensitive))
            u.columnas.append(c.trimmed());
    usos.append(u);
}
} // namespace

QList<UsoDeTabla> TablasDelEnvio(const clnCampos& campos, const Ajustes& a) {
    QList<UsoDeTabla> usos;
    const QString productos = a.TablaProductosWeb;
    const QString relacion = u"relación de campos"_s;
    agregar(usos, productos, {}, true, true, u"«Nombre de la tabla»"_s);
    for (const Estrucs& e : campos) {
        if (e.TablaExterna.trimmed().isEmpty()) {
            agregar(usos, productos, {e.DeWeb}, true, true, relacion);
            continue;
        }
        QString llave;
        QList<std::pair<QString, QString>> filas;
        QStringList descartadas;
        AnalizarLlaveExterna(e.LlaveEnTablaExterna, &llave, &filas, &descartadas);
        QStringList columnas{llave, e.DeWeb};
        for (const auto& [columna, valor] : filas)
            columnas.append(columna);
        agregar(usos, productos, {e.LlaveEnProds}, true, true, relacion);
        agregar(usos, e.TablaExterna, columnas, true, true, relacion);
    }
    const QString prefijo = EscritorWeb::prefijoDe(productos);
    agregar(usos, prefijo + u"product_to_store"_s, {u"product_id"_s, u"store_id"_s}, true, false,
            u"«Tiendas»"_s, true);
    // The catalogue around the products, when the settings ask for it.
    const ModoCategorias categorias = modoCategorias(a);
    if (categorias != ModoCategorias::No) {
        const QString motivo = u"«Categorías»"_s;
        agregar(usos, prefijo + u"category"_s, {u"category_id"_s, u"parent_id"_s, u"status"_s},
                true, false, motivo);
        agregar(usos, prefijo + u"category_description"_s,
                {u"category_id"_s, u"language_id"_s, u"name"_s, u"meta_title"_s}, true, false,
                motivo);
        agregar(usos, prefijo + u"category_path"_s, {u"category_id"_s, u"path_id"_s, u"level"_s},
                true, false, motivo);
        agregar(usos, prefijo + u"category_to_store"_s, {u"category_id"_s, u"store_id"_s}, true,
                false, motivo);
        agregar(usos, prefijo + u"category_to_layout"_s,
                {u"category_id"_s, u"store_id"_s, u"layout_id"_s}, true, false, motivo, true);
        agregar(usos, prefijo + u"product_to_category"_s, {u"product_id"_s, u"category_id"_s}, true,
                false, motivo);
    }
    if (a.MarcasComoFabricantes) {
        const QString motivo = u"«Marcas como fabricantes»"_s;
        agregar(usos, prefijo + u"manufacturer"_s, {u"manufacturer_id"_s, u"name"_s}, true, false,
                motivo);
        agregar(usos, prefijo + u"manufacturer_to_store"_s, {u"manufacturer_id"_s, u"store_id"_s},
                true, false, motivo);
        agregar(usos, productos, {u"manufacturer_id"_s}, true, true, motivo);
    }
    if (a.DireccionesSeo)
        agregar(usos, prefijo + u"seo_url"_s, {u"store_id"_s, u"language_id"_s, u"keyword"_s}, true,
                false, u"«Direcciones SEO»"_s);
    if (modoBajas(a) != ModoBajas::Dejar)
        agregar(usos, productos, {u"status"_s, u"stock_status_id"_s, u"quantity"_s}, true, true,
                u"«Productos que ya no están»"_s);
    if (a.UsaTallasOColores && !a.CampoTallaColor.trimmed().isEmpty()) {
        const QString motivo = u"«Campo en productos para talla o color»"_s;
        agregar(usos, productos, {a.CampoTallaColor}, true, true, motivo);
        agregar(usos, prefijo + u"option_value"_s, {u"option_id"_s, u"image"_s, u"sort_order"_s},
                true, false, motivo);
        agregar(usos, prefijo + u"option_value_description"_s,
                {u"option_value_id"_s, u"language_id"_s, u"option_id"_s, u"name"_s}, true, false,
                motivo);
        agregar(usos, prefijo + u"product_option"_s,
                {u"product_option_id"_s, a.CampoTallaColor, u"product_id"_s, u"option_id"_s,
                 u"value"_s, u"required"_s},
                true, false, motivo);
        agregar(usos, prefijo + u"product_option_value"_s,
                {u"product_option_value_id"_s, u"product_option_id"_s, u"product_id"_s,
                 u"option_id"_s, u"option_value_id"_s, u"quantity"_s, u"subtract"_s, u"price"_s,
                 u"price_prefix"_s, u"points"_s, u"points_prefix"_s, u"weight"_s,
                 u"weight_prefix"_s},
                true, true, motivo);
    }
    return usos;
}

QStringList NombresDeTablas(const QList<UsoDeTabla>& usos) {
    QStringList nombres;
    for (const UsoDeTabla& u : usos)
        if (!nombres.contains(u.tabla))
            nombres.append(u.tabla);
    return nombres;
}

QStringList ComprobarTablas(Conexion& cn, const QList<UsoDeTabla>& usos,
                            const QHash<QString, TablaTienda>& esquema, bool privilegios,
                            bool todos) {
    QStringList problemas;
    QList<std::pair<QString, QString>> pruebas; // statement, what it proves
    for (const UsoDeTabla& u : usos) {
        const TablaTienda t = esquema.value(u.tabla);
        if (!t.existe()) {
            if (!u.siExiste)
                problemas.append(
                    u"La tabla «%1» (%2) no existe en la base de datos de la tienda"_s.arg(
                        u.tabla, u.motivo));
            continue;
        }
        QStringList faltan;
        for (const QString& c : u.columnas)
            if (!t.columna(c))
                faltan.append(u'«' + c + u'»');
        if (!faltan.isEmpty())
            problemas.append((faltan.size() == 1 ? u"La tabla «%1» no tiene la columna %2"_s
                                                 : u"La tabla «%1» no tiene las columnas %2"_s)
                                 .arg(u.tabla, faltan.join(u", "_s)));
        // Statements that match no row: the server checks the privilege all the same. Every
        // column is named, or a strict session refuses a column without default.
        QStringList columnas;
        for (const ColumnaTienda& c : t.columnas)
            if (!c.generada)
                columnas.append(Conexion::identificador(c.nombre));
        const QString columna = columnas.value(0);
        const QString tabla = Conexion::identificador(u.tabla);
        if (u.inserta)
            pruebas.append({u"INSERT INTO "_s + tabla + u" ("_s + columnas.join(u',') +
                                u") SELECT "_s + columnas.join(u',') + u" FROM "_s + tabla +
                                u" WHERE 1=0"_s,
                            u"insertar filas en «%1»"_s.arg(u.tabla)});
        if (u.actualiza)
            pruebas.append(
                {u"UPDATE "_s + tabla + u" SET "_s + columna + u"="_s + columna + u" WHERE 1=0"_s,
                 u"cambiar filas de «%1»"_s.arg(u.tabla)});
    }
    if (!privilegios || !problemas.isEmpty())
        return problemas;
    // In one round trip where the session takes several statements; a refusal stops the rest,
    // which are then tried after it.
    const bool juntos = cn.opciones().variasSentencias;
    for (qsizetype desde = 0; desde < pruebas.size();) {
        QStringList sentencias;
        for (qsizetype i = desde; i < (juntos ? pruebas.size() : desde + 1); ++i)
            sentencias.append(pruebas[i].first);
        QList<ResultadoConsulta> resultados;
        qsizetype fallida = 0;
        if (juntos ? cn.consultarVarios(sentencias.join(u';'), resultados, &fallida)
                   : cn.Execute(sentencias.first())) {
            desde += sentencias.size();
            continue;
        }
        if (!cn.abierta())
            return problemas << cn.ultimoError();
        problemas.append(u"El usuario de la tienda no puede %1 (error %2: %3)"_s.arg(
            pruebas[desde + fallida].second, QString::number(cn.codigoError()), cn.mensajeError()));
        if (!todos)
            break;
        desde += fallida + 1;
    }
    return problemas;
}
