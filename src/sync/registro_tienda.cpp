#include "registro_tienda.h"

#include "services/conexion.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

QString RegistroTienda::tablaDe(const QString& prefijo) {
    return prefijo + u"vendaro_registro"_s;
}

RegistroTienda::RegistroTienda(const QString& prefijo)
    : m_tabla(tablaDe(prefijo)) {}

bool RegistroTienda::preparar(Conexion& cn, const QString& motor, bool simulacro, bool existe,
                              bool probada, QString* aviso) {
    m_disponible = false;
    bool hay = existe;
    if (!hay) {
        ResultadoConsulta leido;
        if (!cn.consultar(u"SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                          u"TABLE_SCHEMA=DATABASE() AND TABLE_NAME="_s +
                              cn.literal(Valor(m_tabla)),
                          leido)) {
            *aviso = cn.ultimoError();
            return false;
        }
        hay = !leido.filas.isEmpty() && leido.filas[0][0].texto() != u"0"_s;
    }
    if (!hay && simulacro)
        return m_disponible = true; // read as empty; a send makes it
    // The key: a point-of-sale key (its exact bytes: the run tells keys apart as the point of sale
    // does), at most 191 characters so the whole key fits MyISAM's 1 000 bytes.
    const QString crear =
        u"CREATE TABLE IF NOT EXISTS "_s + Conexion::identificador(m_tabla) +
        u" (tipo VARCHAR(16) CHARACTER SET ascii NOT NULL, clave VARCHAR(191) CHARACTER SET "
        u"utf8mb4 COLLATE utf8mb4_bin NOT NULL, fila BIGINT NOT NULL, dato VARCHAR(255) CHARACTER "
        u"SET utf8mb4 NOT NULL DEFAULT '', fecha DATETIME NOT NULL, PRIMARY KEY (tipo, clave, "
        u"fila)) ENGINE="_s +
        (motor.compare(u"InnoDB"_s, Qt::CaseInsensitive) == 0 ? u"InnoDB"_s : u"MyISAM"_s) +
        u" DEFAULT CHARSET=utf8mb4"_s;
    if (!hay && !cn.Execute(crear)) {
        *aviso = u"No se pudo crear la tabla «%1», donde Vendaro anota lo que hizo en la tienda "
                 u"(%2): sin ella no se usan categorías, marcas, direcciones SEO ni bajas"_s.arg(
                     m_tabla, cn.mensajeError());
        return false;
    }
    // Writing it is tried too, with a statement that touches no row.
    const QString t = Conexion::identificador(m_tabla);
    if (!simulacro && !(existe && probada) &&
        !cn.Execute(u"INSERT INTO "_s + t + u" SELECT * FROM "_s + t + u" WHERE 1=0"_s)) {
        *aviso = u"El usuario de la tienda no puede escribir en «%1» (%2): sin ella no se usan "
                 u"categorías, marcas, direcciones SEO ni bajas"_s.arg(m_tabla, cn.mensajeError());
        return false;
    }
    return m_disponible = true;
}

QString RegistroTienda::consulta(const Conexion& cn, const QStringList& tipos,
                                 const QStringList& claves) const {
    QStringList t;
    for (const QString& tipo : tipos)
        t.append(cn.literal(Valor(tipo)));
    QStringList c;
    for (const QString& clave : claves)
        c.append(cn.literal(Valor(clave)));
    return u"SELECT tipo, clave, fila, dato FROM "_s + Conexion::identificador(m_tabla) +
           u" WHERE tipo IN ("_s + t.join(u',') + u")"_s +
           (claves.isEmpty() ? QString() : u" AND clave IN ("_s + c.join(u',') + u')');
}

QList<RegistroTienda::Fila> RegistroTienda::filasDe(const ResultadoConsulta& r) {
    QList<Fila> filas;
    for (const QList<Valor>& f : r.filas)
        filas.append({f[0].texto(), f[1].texto(), f[2].texto().toLongLong(), f[3].texto()});
    return filas;
}

escritor::Escritura RegistroTienda::anotar(const QString& tipo, const QString& clave, qint64 fila,
                                           const QString& dato, int producto) const {
    escritor::Escritura e{m_tabla,
                          {u"tipo"_s, u"clave"_s, u"fila"_s, u"dato"_s, u"fecha"_s},
                          {Valor(tipo), Valor(clave), Valor::numero(fila), Valor(dato),
                           Valor(QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s))},
                          {},
                          -1,
                          producto,
                          true};
    e.reemplazo = true;
    return e;
}

escritor::Escritura RegistroTienda::olvidar(const QString& tipo, const QString& clave, qint64 fila,
                                            int producto) const {
    escritor::Escritura e{
        m_tabla,
        {},
        {},
        {{u"tipo"_s, Valor(tipo)}, {u"clave"_s, Valor(clave)}, {u"fila"_s, Valor::numero(fila)}},
        -1,
        producto,
        false};
    e.borrado = true;
    return e;
}

void RegistroDeBloque::poner(const QList<RegistroTienda::Fila>& filas) {
    por.clear();
    for (const RegistroTienda::Fila& f : filas)
        por[f.tipo + u'|' + f.clave].append(f);
}
