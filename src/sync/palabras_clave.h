#pragma once

#include <QString>

// The search-friendly keyword of a name, as a shop owner would type it for the shop's addresses:
// lower-case ASCII letters, digits and "-" (accents and "ñ" transliterated, anything else a "-",
// none leading, trailing or doubled), at most `largo` characters cut at a word. Empty when the
// name has no letter or digit at all.
QString PalabraClave(const QString& nombre, int largo = 64);

// The keyword with a suffix ("camisa-2", "camisa-p0001"), still within `largo` characters.
QString PalabraConSufijo(const QString& palabra, const QString& sufijo, int largo = 64);
