#include "manifiesto_imagenes.h"

#include "bitacora_envio.h"
#include "services/archivo_atomico.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {
constexpr int Formato = 1;
}

ManifiestoImagenes::ManifiestoImagenes(const QString& ruta)
    : m_ruta(ruta) {
    QFile archivo(ruta);
    if (!archivo.exists())
        return;
    QJsonParseError problema;
    const QJsonDocument doc = archivo.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(archivo.readAll(), &problema)
                                  : QJsonDocument();
    const QJsonObject raiz = doc.object();
    if (!doc.isObject() || raiz.value(u"formato"_s).toInt() != Formato) {
        qCWarning(lcNombres).noquote()
            << u"El registro de imágenes enviadas «%1» no se pudo leer; se envían todas"_s.arg(
                   ruta);
        return;
    }
    const QJsonObject archivos = raiz.value(u"archivos"_s).toObject();
    for (auto i = archivos.begin(); i != archivos.end(); ++i) {
        const QJsonObject e = i.value().toObject();
        const QByteArray huella = e.value(u"sha256"_s).toString().toLatin1();
        const qint64 tamano = e.value(u"bytes"_s).toInteger(-1);
        if (huella.size() == 64 && tamano >= 0)
            m_entradas.insert(i.key(), {huella, tamano});
    }
}

QString ManifiestoImagenes::rutaPara(const QString& rutaIni) {
    const QFileInfo ini(rutaIni);
    return ini.absoluteDir().filePath(ini.completeBaseName() + u".imagenes"_s);
}

QByteArray ManifiestoImagenes::huellaDe(const QString& archivo, qint64* tamano) {
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return {};
    *tamano = f.size();
    return h.result().toHex();
}

bool ManifiestoImagenes::subido(const QString& clave, const QByteArray& huella,
                                qint64 tamano) const {
    const auto i = m_entradas.constFind(clave);
    return i != m_entradas.cend() && i->huella == huella && i->tamano == tamano;
}

void ManifiestoImagenes::anotar(const QString& clave, const QByteArray& huella, qint64 tamano) {
    Entrada& e = m_entradas[clave];
    if (e.huella == huella && e.tamano == tamano)
        return;
    e = {huella, tamano};
    m_cambiado = true;
}

bool ManifiestoImagenes::guardar(QString* error) {
    if (!m_cambiado)
        return true;
    QJsonObject archivos;
    for (auto i = m_entradas.cbegin(); i != m_entradas.cend(); ++i)
        archivos.insert(i.key(), QJsonObject{{u"sha256"_s, QString::fromLatin1(i->huella)},
                                             {u"bytes"_s, i->tamano}});
    const QJsonObject raiz{{u"formato"_s, Formato}, {u"archivos"_s, archivos}};
    if (!escribirArchivoAtomico(m_ruta, QJsonDocument(raiz).toJson(QJsonDocument::Indented),
                                Permisos::Conservar, error))
        return false;
    m_cambiado = false;
    return true;
}
