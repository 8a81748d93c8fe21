#include "historial_envios.h"

#include "services/archivo_atomico.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

HistorialEnvios::HistorialEnvios(const QString& rutaIni) {
    const QFileInfo ini(rutaIni);
    m_ruta = ini.path() + u'/' + ini.completeBaseName() + u".envios.json"_s;
}

QString HistorialEnvios::Envio::resultado() const {
    if (!estado.isEmpty())
        return estado;
    return fallidos > 0 || imagenesFallidas > 0 ? u"Con errores"_s : u"Correcto"_s;
}

void HistorialEnvios::leer() {
    m_envios.clear();
    m_fallidos.clear();
    QFile f(m_ruta);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QJsonObject raiz = QJsonDocument::fromJson(f.readAll()).object();
    for (const QJsonValue& v : raiz.value(u"envios"_s).toArray()) {
        const QJsonObject o = v.toObject();
        Envio e;
        e.inicio = QDateTime::fromString(o.value(u"inicio"_s).toString(), Qt::ISODate);
        e.segundos = o.value(u"segundos"_s).toDouble();
        e.estado = o.value(u"estado"_s).toString();
        e.leidos = o.value(u"leidos"_s).toInteger();
        e.creados = o.value(u"creados"_s).toInteger();
        e.actualizados = o.value(u"actualizados"_s).toInteger();
        e.fallidos = o.value(u"fallidos"_s).toInteger();
        e.conAvisos = o.value(u"conAvisos"_s).toInteger();
        e.conImagenes = o.value(u"conImagenes"_s).toBool();
        e.imagenesSubidas = o.value(u"imagenesSubidas"_s).toInteger();
        e.imagenesFallidas = o.value(u"imagenesFallidas"_s).toInteger();
        e.motivoImagenes = o.value(u"motivoImagenes"_s).toString();
        if (e.inicio.isValid())
            m_envios.append(e);
    }
    for (const QJsonValue& v : raiz.value(u"fallidosUltimo"_s).toArray())
        m_fallidos.append(
            {v[u"clave"_s].toString(), v[u"mensaje"_s].toString(), v[u"descripcion"_s].toString()});
}

bool HistorialEnvios::agregar(const ResumenEnvio& r, const QDateTime& fin, QString* error) {
    Envio e;
    e.segundos = r.segundos;
    e.inicio = fin.addMSecs(-qint64(r.segundos * 1000));
    e.estado = r.estado == ResumenEnvio::Estado::Terminado ? QString() : r.mensaje;
    if (r.estado != ResumenEnvio::Estado::Terminado && e.estado.isEmpty())
        e.estado =
            r.estado == ResumenEnvio::Estado::Interrumpido ? u"Interrumpido"_s : u"No terminó"_s;
    e.leidos = r.leidos;
    e.creados = r.creados;
    e.actualizados = r.actualizados;
    e.fallidos = r.fallidos;
    e.conAvisos = r.conAvisos;
    e.conImagenes = r.conImagenes;
    e.imagenesSubidas = r.imagenesSubidas;
    e.imagenesFallidas = r.imagenesFallidas;
    e.motivoImagenes = r.motivoImagenes;
    m_envios.append(e);
    while (m_envios.size() > MaxEnvios)
        m_envios.removeFirst();
    m_fallidos = r.productosFallidos;

    QJsonArray envios;
    for (const Envio& x : std::as_const(m_envios))
        envios.append(QJsonObject{{u"inicio"_s, x.inicio.toString(Qt::ISODate)},
                                  {u"segundos"_s, x.segundos},
                                  {u"estado"_s, x.estado},
                                  {u"leidos"_s, x.leidos},
                                  {u"creados"_s, x.creados},
                                  {u"actualizados"_s, x.actualizados},
                                  {u"fallidos"_s, x.fallidos},
                                  {u"conAvisos"_s, x.conAvisos},
                                  {u"conImagenes"_s, x.conImagenes},
                                  {u"imagenesSubidas"_s, x.imagenesSubidas},
                                  {u"imagenesFallidas"_s, x.imagenesFallidas},
                                  {u"motivoImagenes"_s, x.motivoImagenes}});
    QJsonArray fallidos;
    for (const ResumenEnvio::Fallo& f : std::as_const(m_fallidos))
        fallidos.append(QJsonObject{
            {u"clave"_s, f.clave}, {u"mensaje"_s, f.mensaje}, {u"descripcion"_s, f.descripcion}});
    const QJsonObject raiz{{u"envios"_s, envios}, {u"fallidosUltimo"_s, fallidos}};
    return escribirArchivoAtomico(m_ruta, QJsonDocument(raiz).toJson(), Permisos::Conservar, error);
}
