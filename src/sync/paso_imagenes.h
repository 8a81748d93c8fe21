#pragma once

#include "valores_iniciales.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct Ajustes;
class BasesDD;
class Conexion;
class clsFTP;

// The picture files of a product: the normal files of the point-of-sale picture folder named after
// its key with any extension ("P0001.jpg", "P0001.back.png"), matched without regard to letter
// case, in name order. An empty folder setting searches nothing.
QStringList ArchivosDeImagen(const QString& carpeta, const QString& clave);

// The second half of a send run: uploads each product's picture files by FTP and records the
// uploaded name in the web picture table. A picture is recorded only after its upload succeeded.
class PasoImagenes {
public:
    PasoImagenes(BasesDD& web, Conexion& cn, const Ajustes& ajustes, const QString& columnaLlave,
                 const QString& carpetaPrograma, clsFTP& ftp);

    struct Cuenta {
        int subidas = 0;
        int fallidas = 0;
    };
    // Uploads and records the product's pictures.
    Cuenta enviarProducto(const QString& clave);
    // Ends the FTP session (an idle connection is not kept until the next run).
    void terminar();

private:
    bool conectar(QString* error);
    bool registrar(const QString& clave, const QString& archivo, QString* error);

    BasesDD& m_web;
    Conexion& m_cn;
    const Ajustes& m_ajustes;
    QString m_columnaLlave; // the web product table's key column
    QString m_carpetaPrograma;
    clsFTP& m_ftp;
    ValoresIniciales m_defectos;
    bool m_defectosLeidos = false;
};
