#include "escenario.h"

#include "services/instalacion.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

Escenario::Escenario(const QString& esquemaTienda) {
    pos.ejecutar(entorno::datos(u"pos_esquema.sql"_s));
    tienda.ejecutar(entorno::datos(esquemaTienda));
    const DatosConexion d = entorno::mysql();
    QDir().mkpath(carpeta.ruta(u"velmora"_s));
    carpeta.escribir(u"velmora/velmora.ini"_s,
                     (u"[Servidor]\nMySQLServer="_s + d.servidor + u"\nMySQLPuerto="_s +
                      QString::number(d.puerto) + u"\nMySQLUsuario="_s + d.usuario +
                      u"\nMySQLPassword="_s + d.contrasena + u'\n')
                         .toUtf8());
    ajustes.RutaIni = carpeta.ruta(u"vendaro.ini"_s);
    EXPECT_TRUE(c.crear());
    ajustar(ClaveRutaHost, carpeta.ruta(u"velmora"_s));
    ajustar(ClaveBasePrincipal, pos.nombre());
    ajustar(u"Usuario WEB"_s, d.usuario);
    ajustar(u"Contraseña WEB"_s, d.contrasena);
    ajustar(u"Dirección IP"_s, d.servidor);
    ajustar(u"Puerto"_s, QString::number(d.puerto));
    ajustar(u"Base de datos WEB"_s, tienda.nombre());
    ajustar(u"Nombre de la tabla"_s, u"oc_product"_s);
    ajustar(u"Campo en productos para talla o color"_s, u"product_id"_s);
    EXPECT_TRUE(LocalizarInstalacion(*c.qvtx, *c.registro, *c.bases, ajustes.RutaIni, true));
}

void Escenario::ajustar(const QString& clave, const QString& valor) {
    c.qvtx->EscribeIni(SeccionConfiguracion, clave, valor, ajustes.RutaIni);
}

void Escenario::mapear(const QString& deVM, const QString& deWeb, const QString& tabla,
                       const QString& llaveEnProds, const QString& llaveExterna) {
    c.qvtx->EscribeIniVarios(SeccionCampos,
                             {{deVM + SufijoCampo::CampoWeb, deWeb},
                              {deVM + SufijoCampo::TablaExterna, tabla},
                              {deVM + SufijoCampo::CampoEnProds, llaveEnProds},
                              {deVM + SufijoCampo::CampoEnTablaExt, llaveExterna}},
                             ajustes.RutaIni);
}

void Escenario::imagenesPorFtp(const QString& fotos, const QString& carpetaFtp) {
    QDir().mkpath(fotos);
    pos.ejecutar(u"INSERT INTO configura VALUES (0, 0, 0, "_s + pos.conexion().literal(fotos) +
                 u");"_s);
    ajustar(u"Tabla externa para imágenes"_s, u"oc_product_image"_s);
    ajustar(u"Llave en productos para imagen"_s, u"product_id"_s);
    ajustar(u"Llave en tabla externa para imagen"_s, u"product_id"_s);
    ajustar(u"Campo en tabla externa para imagen"_s, u"image"_s);
    ajustar(u"Dirección del FTP"_s,
            entorno::ftpHost() + u':' + QString::number(entorno::ftpPuerto()));
    if (!carpetaFtp.isEmpty())
        ajustar(u"Carpeta del FTP"_s, carpetaFtp);
    ajustar(u"Usuario del FTP"_s, entorno::ftpUsuario());
    ajustar(u"Password del FTP"_s, entorno::ftpContrasena());
}

void Escenario::mapeoBasico() {
    mapear(u"Clave"_s, u"model"_s);
    mapear(u"Precio"_s, u"price"_s);
    mapear(u"Descrip"_s, u"name"_s, u"oc_product_description"_s, u"product_id"_s,
           u"product_id,language_id=1"_s);
}

void Escenario::defectos(const QString& tabla, const QByteArray& texto) {
    carpeta.escribir(tabla + u".txt"_s, texto);
}

void Escenario::productos(int cuantos) {
    for (int i = 1; i <= cuantos; ++i)
        pos.ejecutar(
            u"INSERT INTO productos (Clave, Descrip, Precio) VALUES ('P%1', 'Producto %2', "
            u"%2.50);"_s.arg(i, 2, 10, QChar(u'0'))
                .arg(i));
}

void Escenario::leer() {
    clsProcedimenti(c, ajustes).LeerConfiguracion(campos, &filas);
}

ResumenEnvio Escenario::enviar(bool modoPrueba) {
    leer();
    DatosEnvio datos = clsProcedimenti(c, ajustes).datosEnvio(campos);
    datos.modoPrueba = modoPrueba;
    return clsProcedimenti::EnviarProductos(datos, interrumpir, ventana);
}

const QStringList Escenario::TablasEscritas{u"oc_product"_s,
                                            u"oc_product_description"_s,
                                            u"oc_product_to_store"_s,
                                            u"oc_option_value"_s,
                                            u"oc_option_value_description"_s,
                                            u"oc_product_option"_s,
                                            u"oc_product_option_value"_s};

QStringList Escenario::volcado(const QStringList& tablas) {
    QStringList filas;
    for (const QString& t : tablas) {
        const QStringList columnas = tienda.filas(
            u"SELECT GROUP_CONCAT(CONCAT('`', COLUMN_NAME, '`') ORDER BY ORDINAL_POSITION) FROM "
            u"information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
            u"TABLE_NAME = '"_s +
            t + u'\'');
        for (const QString& f :
             tienda.filas(u"SELECT * FROM "_s + t + u" ORDER BY "_s + columnas.value(0)))
            filas.append(t + u": "_s + f);
    }
    return filas;
}
