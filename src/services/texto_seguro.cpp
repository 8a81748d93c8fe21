#include "texto_seguro.h"

#include <QMutex>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace textoSeguro {
namespace {
QMutex g_mutex;
QStringList g_secretos;
constexpr qsizetype LargoMinimo = 4;

bool esControl(char16_t c) {
    // C0 and C1 controls, DEL, the Unicode line separators, and the bidirectional overrides that
    // make a terminal show text in another order than it has.
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

QString escapar(const QString& texto, bool saltos) {
    if (std::none_of(texto.cbegin(), texto.cend(), [](QChar c) { return esControl(c.unicode()); }))
        return texto;
    QString salida;
    salida.reserve(texto.size() + 8);
    for (QChar c : texto) {
        const char16_t u = c.unicode();
        if (!esControl(u) || (saltos && (u == u'\n' || u == u'\r' || u == u'\t')))
            salida += c;
        else if (u == u'\n')
            salida += u"\\n"_s;
        else if (u == u'\r')
            salida += u"\\r"_s;
        else if (u == u'\t')
            salida += u"\\t"_s;
        else if (u < 0x100)
            salida += u"\\x"_s + QString::number(u, 16).rightJustified(2, u'0');
        else
            salida += u"\\u{"_s + QString::number(u, 16) + u'}';
    }
    return salida;
}
} // namespace

void ocultar(const QString& secreto) {
    if (secreto.size() < LargoMinimo)
        return;
    QMutexLocker bloqueo(&g_mutex);
    if (g_secretos.contains(secreto))
        return;
    g_secretos.append(secreto);
    // Longest first, so a secret that holds another is masked whole.
    std::sort(g_secretos.begin(), g_secretos.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
}

QString escapado(const QString& texto) {
    return escapar(texto, false);
}

QString paraMostrar(const QString& texto, bool saltos) {
    QString salida = texto;
    {
        QMutexLocker bloqueo(&g_mutex);
        for (const QString& secreto : std::as_const(g_secretos))
            salida.replace(secreto, u"****"_s);
    }
    return escapar(salida, saltos);
}

} // namespace textoSeguro
