#pragma once

#include "esquema_tienda.h"
#include "plan_producto.h"
#include "registro_tienda.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

class Conexion;
class VentanaEnvio;

// The shop's catalogue around the products, as a send keeps it: categories made from the point of
// sale's lines and sub-lines, manufacturers from its brands, search-friendly keywords, and the
// stock status of products out of sale. What the shop already has is used (a category of the same
// name under the same parent, a manufacturer of the same name, as the shop stores text); what is
// missing is made as the shop's admin makes it, once, and noted in the record, so a category the
// owner renamed is still found and nothing is made twice. Nothing of the owner's is changed.
// Error convention: false with the message in *error.
class CatalogoTienda {
public:
    struct Configuracion {
        QString prefijo;         // "oc_"
        QList<int> tiendas{0};   // stores of new categories and manufacturers
        QList<int> idiomas{1};   // the shop's languages, the first one names things
        bool codificar = true;   // text stored as the shop's forms store it
        bool categorias = false; // lines (and, with sublineas, sub-lines below them)
        bool sublineas = false;
        bool fabricantes = false; // brands as manufacturers
        bool palabras = false;    // keywords for what has none
        bool simulacro = false;   // report, write nothing
        bool porLotes = true;     // several statements per round trip
        qint64 bytesPorViaje = 1 << 20;
    };

    CatalogoTienda(Conexion& cn, const QHash<QString, TablaTienda>& esquema,
                   RegistroTienda& registro, const Configuracion& configuracion,
                   VentanaEnvio* ventana);

    // Whether the shop is an OpenCart 4 (keywords kept as key and value).
    bool oc4() const { return m_oc4; }

    // Finds or makes the categories and manufacturers these products belong to, with their
    // keywords.
    bool preparar(const QList<Pertenencia>& pertenencias, QString* error);

    // The categories a product is linked to (its line's, then its sub-line's below it).
    QList<qint64> categoriasDe(const Pertenencia& p) const;
    // The manufacturer of the product's brand; 0 without one.
    qint64 fabricanteDe(const Pertenencia& p) const;

    // Keywords: the object ("product_id=42"), the store, the language and the name it is made
    // from; `sufijo` (the product's key) separates two objects of one name.
    struct Pedido {
        QString objeto;
        int tienda = 0;
        int idioma = 0;
        QString nombre;
        QString sufijo;
        QString antes;   // OpenCart 4 categories: the parent's keyword path
        QString palabra; // chosen
    };
    // Chooses a free keyword for each: unique in its store across every language and kind (asked
    // of the shop, and among those chosen in this run).
    bool elegirPalabras(QList<Pedido>& pedidos, QString* error);
    // The seo_url row of a keyword chosen.
    escritor::Escritura palabraNueva(const Pedido& p, int producto) const;
    // The query part of an object of a product, category or manufacturer, as this shop keeps it.
    QString objeto(const QString& tipo, const QString& id) const;
    // The keywords of these objects: "store|language|object" → keyword, of those there are.
    bool palabrasDe(const QStringList& objetos, QHash<QString, QString>* hay, QString* error);

    int categoriasCreadas() const { return m_categoriasCreadas; }
    int fabricantesCreados() const { return m_fabricantesCreados; }
    int palabrasCreadas() const { return m_palabrasCreadas; }
    void contarPalabras(int n) { m_palabrasCreadas += n; }
    qint64 viajes() const { return m_viajes; }

private:
    const TablaTienda& tabla(const QString& sufijo) const;
    bool leerExistentes(QString* error);
    bool categoria(const QString& clave, const Relacion& r, qint64 padre, QString* error);
    bool fabricante(const Relacion& marca, QString* error);
    bool palabrasDelCatalogo(QString* error);
    bool enviar(QList<escritor::Escritura> escrituras, QString* error);
    qint64 insertar(const QString& tabla, const QStringList& columnas, const QList<Valor>& valores,
                    QString* error);
    QString nombre(const QString& texto) const;
    static QString claveLinea(const Pertenencia& p);
    static QString claveSublinea(const Pertenencia& p);

    Conexion& m_cn;
    const QHash<QString, TablaTienda>& m_esquema;
    RegistroTienda& m_registro;
    Configuracion m_config;
    VentanaEnvio* m_ventana;
    bool m_oc4 = false;
    qint64 m_viajes = 0;
    qint64 m_simulado = 0; // ids a dry run gives what it would make
    int m_categoriasCreadas = 0;
    int m_fabricantesCreados = 0;
    int m_palabrasCreadas = 0;

    struct CategoriaTienda {
        qint64 id = 0;
        qint64 padre = 0;
        QString nombre;   // in the first language, as stored
        QString ruta;     // OpenCart 4: "20_27"
        QString palabras; // OpenCart 4: the keyword path of store 0 and the first language
    };
    QHash<qint64, CategoriaTienda> m_categoriasTienda;
    QHash<QString, qint64> m_fabricantesTienda; // stored name → id
    QSet<qint64> m_idsFabricantes;
    QHash<QString, RegistroTienda::Fila> m_anotados; // "kind|key" → the record's row
    QHash<QString, qint64> m_categorias;             // line or sub-line key → category
    QHash<qint64, qint64> m_fabricantes;             // brand id → manufacturer
    QSet<QString> m_palabrasUsadas;                  // "store|keyword" chosen in this run
};
