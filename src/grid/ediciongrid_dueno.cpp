// The owner's methods, called by the names held in the column descriptors and properties.
#include "ediciongrid.h"

#include <QComboBox>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QStringList>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcGrid)

int EdicionGrid::IndiceMetodo(const QString& metodo, const char* parametros,
                              const char* retorno) const {
    if (!m_dueno) {
        qCWarning(lcGrid).noquote()
            << u"No hay objeto de métodos para llamar a «%1»."_s.arg(metodo);
        return -1;
    }
    const QMetaObject* meta = m_dueno->metaObject();
    const QByteArray firma = QMetaObject::normalizedSignature(
        (metodo.toUtf8() + '(' + QByteArray(parametros) + ')').constData());
    const int indice = meta->indexOfMethod(firma.constData());
    const QString clase = QString::fromLatin1(meta->className());
    if (indice < 0) {
        QStringList otras;
        for (int i = 0; i < meta->methodCount(); ++i) {
            const QMetaMethod m = meta->method(i);
            if (QString::fromUtf8(m.name()) == metodo)
                otras.append(QString::fromUtf8(m.typeName()) + u' ' +
                             QString::fromUtf8(m.methodSignature()));
        }
        QString texto = u"El objeto de métodos %1 no tiene el método «%2 %3» (público e "
                        u"invocable por nombre)"_s.arg(clase, QString::fromLatin1(retorno),
                                                       QString::fromUtf8(firma));
        if (!otras.isEmpty())
            texto += u"; tiene: "_s + otras.join(u", "_s);
        qCWarning(lcGrid).noquote() << texto;
        return -1;
    }
    const QMetaMethod m = meta->method(indice);
    if (qstrcmp(m.typeName(), retorno) != 0) {
        qCWarning(lcGrid).noquote() << u"El método «%1» de %2 devuelve %3; se esperaba %4"_s.arg(
            QString::fromUtf8(firma), clase, QString::fromUtf8(m.typeName()),
            QString::fromLatin1(retorno));
        return -1;
    }
    return indice;
}

namespace {
void fallaLlamada(const QString& metodo) {
    qCWarning(lcGrid).noquote() << u"No se pudo llamar al método «%1» del objeto de métodos"_s.arg(
        metodo);
}
} // namespace

bool EdicionGrid::LlamaValidador(const QString& metodo, QString& texto, int renglon, int columna,
                                 bool& acepta) {
    const int i = IndiceMetodo(metodo, "QString&,int,int", "bool");
    if (i < 0)
        return false;
    bool resultado = false;
    if (!m_dueno->metaObject()->method(i).invoke(
            m_dueno, Qt::DirectConnection, Q_RETURN_ARG(bool, resultado), Q_ARG(QString&, texto),
            Q_ARG(int, renglon), Q_ARG(int, columna))) {
        fallaLlamada(metodo);
        return false;
    }
    acepta = resultado;
    return true;
}

void EdicionGrid::LlamaRenglonColumna(const QString& metodo, int renglon, int columna) {
    const int i = IndiceMetodo(metodo, "int,int", "void");
    if (i < 0)
        return;
    if (!m_dueno->metaObject()->method(i).invoke(m_dueno, Qt::DirectConnection, Q_ARG(int, renglon),
                                                 Q_ARG(int, columna)))
        fallaLlamada(metodo);
}

void EdicionGrid::LlamaRenglon(const QString& metodo, int renglon) {
    const int i = IndiceMetodo(metodo, "int", "void");
    if (i < 0)
        return;
    if (!m_dueno->metaObject()->method(i).invoke(m_dueno, Qt::DirectConnection,
                                                 Q_ARG(int, renglon)))
        fallaLlamada(metodo);
}

void EdicionGrid::LlamaLlenarCombos(const QString& metodo, QComboBox* control, int renglon,
                                    int columna) {
    const int i = IndiceMetodo(metodo, "QComboBox*,int,int", "void");
    if (i < 0)
        return;
    if (!m_dueno->metaObject()->method(i).invoke(m_dueno, Qt::DirectConnection,
                                                 Q_ARG(QComboBox*, control), Q_ARG(int, renglon),
                                                 Q_ARG(int, columna)))
        fallaLlamada(metodo);
}

bool EdicionGrid::LlamaShiftF1(const QString& metodo, QString& valor) {
    const int i = IndiceMetodo(metodo, "", "QString");
    if (i < 0)
        return false;
    if (!m_dueno->metaObject()->method(i).invoke(m_dueno, Qt::DirectConnection,
                                                 Q_RETURN_ARG(QString, valor))) {
        fallaLlamada(metodo);
        return false;
    }
    return true;
}
