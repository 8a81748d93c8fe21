#include "valores_iniciales.h"

#include "services/recordset.h"

#include <QFile>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

QString rutaValoresIniciales(const QString& carpetaPrograma, const QString& tabla) {
    return carpetaPrograma + u'/' + tabla + u".txt"_s;
}

ValoresIniciales LeerValoresIniciales(const QString& ruta) {
    ValoresIniciales valores;
    QFile archivo(ruta);
    if (ruta.isEmpty() || !archivo.open(QIODevice::ReadOnly))
        return valores;
    const QByteArray bytes = archivo.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString texto = utf8.decode(bytes);
    if (utf8.hasError()) // written in a Windows code page
        texto = QString::fromLatin1(bytes);
    if (texto.startsWith(QChar(0xFEFF)))
        texto.remove(0, 1);
    for (QString linea : texto.split(u'\n')) {
        linea.remove(u'\r');
        const QStringList partes = linea.split(u'=');
        if (partes.size() < 2)
            continue;
        const QString columna = partes[0].trimmed();
        if (columna.isEmpty())
            continue;
        QString valor = partes[1].trimmed().toLower();
        valor.remove(u'"');
        valor.remove(u'\'');
        valores.append({columna, valor});
    }
    return valores;
}

QString resolverValorInicial(const QString& valor, const QDateTime& ahora) {
    if (valor == u"$date"_s)
        return ahora.toString(u"yyyy-MM-dd"_s);
    if (valor == u"$time"_s)
        return ahora.toString(u"HH:mm:ss"_s);
    if (valor == u"$datetime"_s)
        return ahora.toString(u"yyyy-MM-dd HH:mm:ss"_s);
    return valor;
}

void AsignarValoresIniciales(const ValoresIniciales& valores, Recordset& rs,
                             const QDateTime& ahora) {
    for (const auto& [columna, valor] : valores)
        rs.fijar(columna, resolverValorInicial(valor, ahora));
}

void AsignarValoresIniciales(const QString& ruta, Recordset& rs, const QDateTime& ahora) {
    AsignarValoresIniciales(LeerValoresIniciales(ruta), rs, ahora);
}
