#include "numeros.h"

#include <cmath>

std::optional<qint16> entero16(double valor) {
    if (!std::isfinite(valor))
        return std::nullopt;
    const double redondeado = std::nearbyint(valor); // the default rounding mode: halves to even
    if (redondeado < -32768.0 || redondeado > 32767.0)
        return std::nullopt;
    return qint16(redondeado);
}

std::optional<qint16> entero16(const QString& texto) {
    bool ok = false;
    const double valor = texto.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return entero16(valor);
}

std::optional<int> puertoTcp(const QString& texto) {
    bool ok = false;
    const double valor = texto.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(valor) || valor < 0 || valor > 65535)
        return std::nullopt;
    return int(std::nearbyint(valor));
}
