#include "palabras_clave.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {
// Letters that do not decompose into a base letter and marks.
QString transliterar(QChar c) {
    static const QHash<char16_t, QString> propias{
        {u'ß', u"ss"_s}, {u'æ', u"ae"_s}, {u'Æ', u"ae"_s}, {u'ø', u"o"_s}, {u'Ø', u"o"_s},
        {u'œ', u"oe"_s}, {u'Œ', u"oe"_s}, {u'ł', u"l"_s},  {u'Ł', u"l"_s}, {u'đ', u"d"_s},
        {u'Đ', u"d"_s},  {u'þ', u"th"_s}, {u'ð', u"d"_s},  {u'ı', u"i"_s}};
    return propias.value(c.unicode());
}

QString recortar(QString palabra, int largo) {
    if (palabra.size() <= largo)
        return palabra;
    palabra.truncate(largo);
    // A cut word is worse than one word less.
    const qsizetype guion = palabra.lastIndexOf(u'-');
    if (guion > largo / 2)
        palabra.truncate(guion);
    while (palabra.endsWith(u'-'))
        palabra.chop(1);
    return palabra;
}
} // namespace

QString PalabraClave(const QString& nombre, int largo) {
    // Markup in a name ("<b>") is no word of it, and an apostrophe joins its word ("oneill").
    static const QRegularExpression marcas(u"<[^<>]*>"_s);
    QString texto = nombre;
    texto.replace(marcas, u" "_s).remove(u'\'').remove(u'’');
    QString r;
    bool guion = false;
    for (QChar c : texto.normalized(QString::NormalizationForm_KD)) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        QString parte;
        if (c.unicode() < 128 && c.isLetterOrNumber())
            parte = c.toLower();
        else
            parte = transliterar(c);
        if (parte.isEmpty()) {
            guion = !r.isEmpty();
            continue;
        }
        if (guion)
            r += u'-';
        guion = false;
        r += parte;
    }
    return recortar(r, largo);
}

QString PalabraConSufijo(const QString& palabra, const QString& sufijo, int largo) {
    const QString cola = PalabraClave(sufijo, largo);
    if (cola.isEmpty())
        return palabra;
    if (palabra.isEmpty())
        return recortar(cola, largo);
    return recortar(palabra.left(qMax(qsizetype(1), largo - cola.size() - 1)), largo) + u'-' + cola;
}
