#pragma once

#include <QString>

// The shop's forms store every text HTML-encoded (`&`, `"`, `<`, `>`; the apostrophe stays) and its
// pages print names without encoding them again. Text the run writes is stored the same way, so
// markup from the point of sale never runs in the storefront and searches find whole names.
QString CodificarComoTienda(const QString& texto);

// The text a stored value shows in the storefront: the inverse of CodificarComoTienda.
QString DecodificarDeTienda(const QString& texto);
