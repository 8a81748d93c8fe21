#pragma once

#include <QString>

#include <optional>

// Conversions to the 16-bit signed integers that settings and window geometry are kept in: halves
// round to the even neighbour, and a text that is not a number or a value outside -32768..32767
// gives no value (the caller picks its fallback).
std::optional<qint16> entero16(double valor);
std::optional<qint16> entero16(const QString& texto);

// A TCP port number (0 to 65535) written as a whole number; none otherwise.
std::optional<int> puertoTcp(const QString& texto);
