#include "modoprueba.h"

#include <QCoreApplication>
#include <QMutex>

#include <optional>

namespace {
QMutex g_mutex;
std::optional<QStringList> g_argumentos;
} // namespace

void establecerLineaComandos(const QStringList& argumentos) {
    QMutexLocker bloqueo(&g_mutex);
    g_argumentos = argumentos;
}

bool EnModoPrueba() {
    QStringList argumentos;
    {
        QMutexLocker bloqueo(&g_mutex);
        if (g_argumentos)
            argumentos = *g_argumentos;
        else if (QCoreApplication::instance())
            argumentos = QCoreApplication::arguments().mid(1);
    }
    return argumentos.join(u' ').contains(QStringLiteral("-qvtx"), Qt::CaseSensitive);
}
