#include "texto_tienda.h"

using namespace Qt::StringLiterals;

QString CodificarComoTienda(const QString& texto) {
    QString r;
    r.reserve(texto.size() + texto.size() / 8);
    for (const QChar c : texto) {
        switch (c.unicode()) {
        case u'&':
            r += u"&amp;"_s;
            break;
        case u'"':
            r += u"&quot;"_s;
            break;
        case u'<':
            r += u"&lt;"_s;
            break;
        case u'>':
            r += u"&gt;"_s;
            break;
        default:
            r += c;
        }
    }
    return r;
}

QString DecodificarDeTienda(const QString& texto) {
    if (!texto.contains(u'&'))
        return texto;
    QString r = texto;
    r.replace(u"&quot;"_s, u"\""_s).replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s);
    // Last, so "&amp;lt;" becomes "&lt;" and not "<".
    return r.replace(u"&amp;"_s, u"&"_s);
}
