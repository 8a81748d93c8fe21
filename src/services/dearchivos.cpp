#include "dearchivos.h"

#include "plataforma.h"

#include <QFileInfo>

#include <algorithm>

bool DeArchivos::AbreDocumento(const QString& ruta) const {
    return plataforma::abrirDocumento(ruta);
}

bool DeArchivos::HayArchivo(const QString& ruta) const {
    const QFileInfo info(ruta);
    return !ruta.isEmpty() && info.exists() && info.isFile();
}

QString DeArchivos::NombreDeArchivo(const QString& ruta) {
    const qsizetype corte = std::max(ruta.lastIndexOf(u'/'), ruta.lastIndexOf(u'\\'));
    return ruta.mid(corte + 1);
}
