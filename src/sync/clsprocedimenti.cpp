#include "clsprocedimenti.h"

#include "bitacora_envio.h"
#include "bloqueo_envio.h"
#include "bloqueo_tienda.h"
#include "cache_tienda.h"
#include "escritor_web.h"
#include "estado_tienda.h"
#include "ftp/clsftp.h"
#include "lector_productos.h"
#include "nombres_relacionados.h"
#include "paso_imagenes.h"
#include "plan_producto.h"
#include "services/bitacora.h"
#include "services/componentes.h"
#include "services/modoprueba.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
// The shop's own driver sets this on every connection, and its schema relies on it.
const QString ModoSqlTienda = u"NO_ZERO_IN_DATE,NO_ENGINE_SUBSTITUTION"_s;
constexpr qint64 LimiteModoPrueba = 50;
// Products per round of bulk reads and batched writes: a few round trips per block, each block a
// short wait for an interruption on a slow link.
constexpr qsizetype ProductosPorLote = 1000;
} // namespace

bool aBooleano(const Valor& valor) {
    if (valor.esNulo())
        return false;
    const QString texto = valor.texto().trimmed().toLower();
    bool esNumero = false;
    const double numero = texto.toDouble(&esNumero);
    if (esNumero)
        return numero != 0;
    static const QStringList si{u"true"_s, u"verdadero"_s, u"si"_s, u"sí"_s,
                                u"s"_s,    u"t"_s,         u"y"_s,  u"yes"_s};
    return si.contains(texto);
}

QString conSeparadorFinal(const QString& carpeta) {
    if (carpeta.isEmpty() || carpeta.endsWith(u'\\') || carpeta.endsWith(u'/'))
        return carpeta;
    // The separator the folder is written with, on every system: a folder written the Windows way
    // gets a backslash, one with slashes a slash (Windows takes both).
    return carpeta + (carpeta.contains(u'\\') ? u'\\' : u'/');
}

QString ResumenEnvio::texto() const {
    QString t = u"Productos leídos: %1; creados: %2; actualizados: %3; sin cambios: %4; con "
                u"error: %5; "_s.arg(leidos)
                    .arg(creados)
                    .arg(actualizados)
                    .arg(sinCambios)
                    .arg(fallidos);
    if (conAvisos > 0)
        t += u"con avisos: %1; "_s.arg(conAvisos);
    if (gemelas > 0)
        t += u"claves que la tienda no distingue de otra: %1; "_s.arg(gemelas);
    const std::pair<qint64, const char16_t*> catalogo[] = {
        {categoriasCreadas, u"categorías creadas"},
        {fabricantesCreados, u"fabricantes creados"},
        {enlacesCategoria, u"enlaces a categorías"},
        {enlacesQuitados, u"enlaces a categorías quitados"},
        {palabrasCreadas, u"direcciones SEO creadas"},
        {bajas, u"retirados de la venta"},
        {vuelven, u"de vuelta a la venta"}};
    for (const auto& [n, que] : catalogo)
        if (n > 0)
            t += QString::fromUtf16(que) + u": "_s + QString::number(n) + u"; "_s;
    if (!bajasDetenidas.isEmpty())
        t += u"bajas detenidas; "_s;
    if (cacheBorrada > 0)
        t += u"archivos de la caché de la tienda borrados: %1; "_s.arg(cacheBorrada);
    else if (cacheBorrada < 0)
        t += u"las listas de la tienda (últimos, más vendidos, búsquedas) se ponen al día en una "
             u"hora; "_s;
    if (conImagenes)
        t += u"imágenes subidas: %1; imágenes con error: %2; "_s.arg(imagenesSubidas)
                 .arg(imagenesFallidas);
    return t + u"tiempo: %1 s; sentencias enviadas: %2"_s.arg(segundos, 0, 'f', 1).arg(sentencias);
}

QString ResumenEnvio::textoNoEnviados(qint64 n) {
    return n == 1 ? u"1 producto no se envió"_s : u"%1 productos no se enviaron"_s.arg(n);
}

QString ResumenEnvio::textoProblemas() const {
    QStringList partes;
    if (fallidos > 0)
        partes.append(textoNoEnviados(fallidos));
    if (imagenesFallidas > 0)
        partes.append((imagenesFallidas == 1
                           ? u"1 imagen no se envió"_s
                           : u"%1 imágenes no se enviaron"_s.arg(imagenesFallidas)) +
                      (motivoImagenes.isEmpty() ? QString() : u" ("_s + motivoImagenes + u')'));
    if (!bajasDetenidas.isEmpty())
        partes.append(bajasDetenidas);
    if (partes.isEmpty() && estado != Estado::Terminado && estado != Estado::Interrumpido)
        partes.append(mensaje);
    if (partes.isEmpty() && !completo() && estado == Estado::Terminado)
        partes.append(u"no se leyeron todos los productos"_s);
    return partes.join(u"; "_s);
}

QString sinSentencia(const QString& error) {
    const QString marca = u" al ejecutar «"_s;
    const qsizetype desde = error.indexOf(marca);
    if (desde < 0)
        return error;
    const qsizetype hasta = error.lastIndexOf(u"»: "_s);
    if (hasta < desde)
        return error.left(desde);
    return error.left(desde) + error.mid(hasta + 1);
}

clsProcedimenti::clsProcedimenti(Componentes& compartidos, Ajustes& ajustes)
    : m_compartidos(compartidos)
    , m_ajustes(ajustes) {}

bool clsProcedimenti::LeerConfiguracion(clnCampos& campos, QList<Estrucs>* filas) {
    QString error;
    m_ajustesInutiles =
        !CargarAjustes(m_ajustes, *m_compartidos.qvtx, *m_compartidos.utilerias, &error);
    const bool mapeo = LeerDeLosCampos(campos, filas);
    if (m_ajustesInutiles)
        m_ultimoError = error;
    return mapeo && !m_ajustesInutiles;
}

bool clsProcedimenti::LeerDeLosCampos(clnCampos& campos, QList<Estrucs>* filas) {
    campos.clear();
    BasesDD& bases = *m_compartidos.bases;
    const libQVTX& qvtx = *m_compartidos.qvtx;
    Conexion cn;
    m_ultimoError.clear();
    if (!bases.AbrirBdD(cn, bases.cMiBase)) {
        m_ultimoError = u"No se abrió la base de datos del punto de venta «%1»: %2"_s.arg(
            bases.cMiBase, cn.ultimoError());
        return false;
    }

    m_ajustes.UsaTallasOColores = aBooleano(bases.LeeDato(u"ColoresOtallas"_s, cn, u"configura"_s));
    if (m_ajustes.UsaTallasOColores) {
        if (aBooleano(bases.LeeDato(u"Tallas"_s, cn, u"configura"_s)))
            m_ajustes.UsaTallas = true;
        else if (aBooleano(bases.LeeDato(u"Colores"_s, cn, u"configura"_s)))
            m_ajustes.UsaTallas = false;
        else
            m_ajustes.UsaTallasOColores = false;
    }
    m_ajustes.CarpetaImagenesProductos =
        conSeparadorFinal(bases.LeeDato(u"CarpetaImgProds"_s, cn, u"configura"_s).texto());

    if (filas)
        filas->clear();
    Recordset rs;
    bases.AbrirTabla(rs, cn, Consulta(u"productos"_s).limitar(0));
    rs.setActiveConnection(nullptr);
    for (int i = 0; i < rs.Count(); ++i) {
        Estrucs e;
        e.DeVM = rs.campo(i).Name;
        e.DeWeb = qvtx.LeeIni(SeccionCampos, e.DeVM + SufijoCampo::CampoWeb, m_ajustes.RutaIni);
        e.TablaExterna =
            qvtx.LeeIni(SeccionCampos, e.DeVM + SufijoCampo::TablaExterna, m_ajustes.RutaIni);
        e.LlaveEnProds =
            qvtx.LeeIni(SeccionCampos, e.DeVM + SufijoCampo::CampoEnProds, m_ajustes.RutaIni);
        e.LlaveEnTablaExterna =
            qvtx.LeeIni(SeccionCampos, e.DeVM + SufijoCampo::CampoEnTablaExt, m_ajustes.RutaIni);
        if (filas)
            filas->append(e);
        if (!e.DeWeb.isEmpty())
            campos.append(e);
    }
    bases.CierraTabla(rs);
    bases.CierraBdD(cn);
    return true;
}

DatosEnvio clsProcedimenti::datosEnvio(const clnCampos& campos) const {
    const BasesDD& b = *m_compartidos.bases;
    return DatosEnvio{m_ajustes, b.datosConexion(b.cMiBase), campos, EnModoPrueba()};
}

ResumenEnvio clsProcedimenti::EnviarProductos(const clnCampos& campos,
                                              std::atomic<bool>& blInterruptus,
                                              VentanaEnvio& ventana, clsFTP* ftp) const {
    return EnviarProductos(datosEnvio(campos), blInterruptus, ventana, ftp);
}

namespace {
QString descripcionServidor(const DatosConexion& d) {
    return d.usuario + u'@' + (d.servidor.isEmpty() ? u"localhost"_s : d.servidor) + u':' +
           QString::number(d.puerto) + u'/' + d.base;
}

// True when a table the run writes is transactional, so each product can be one transaction.
bool hayTablasTransaccionales(Conexion& cn, const QStringList& tablas) {
    QStringList nombres;
    for (const QString& t : tablas)
        nombres.append(cn.literal(t.trimmed()));
    ResultadoConsulta r;
    const QString sql = u"SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                        u"TABLE_SCHEMA=DATABASE() AND ENGINE='InnoDB' AND TABLE_NAME IN ("_s +
                        nombres.join(u',') + u')';
    return cn.consultar(sql, r) && !r.filas.isEmpty() && r.filas[0][0].texto().toInt() > 0;
}
// The point-of-sale columns the run reads: the key, the description, the mapped ones that exist,
// and those of `otras` that exist.
QStringList columnasDelPuntoDeVenta(BasesDD& pos, Conexion& cn, const clnCampos& campos,
                                    const QStringList& otras) {
    Recordset rs;
    pos.AbrirTabla(rs, cn, Consulta(u"productos"_s).limitar(0));
    QStringList columnas;
    for (int i = 0; i < rs.Count(); ++i) {
        const QString& nombre = rs.campo(i).Name;
        bool usada = nombre.compare(u"Clave"_s, Qt::CaseInsensitive) == 0 ||
                     nombre.compare(u"Descrip"_s, Qt::CaseInsensitive) == 0 ||
                     otras.contains(nombre, Qt::CaseInsensitive);
        for (const Estrucs& e : campos)
            usada = usada || e.DeVM.compare(nombre, Qt::CaseInsensitive) == 0;
        if (usada)
            columnas.append(nombre);
    }
    return columnas;
}

// One send run, step by step. Each step returns false when the run cannot go on; m_resumen then
// says why.
class Envio {
public:
    Envio(const DatosEnvio& datos, std::atomic<bool>& interrumpir, VentanaEnvio& ventana,
          clsFTP* ftp)
        : m_datos(datos)
        , m_a(datos.ajustes)
        , m_interrumpir(interrumpir)
        , m_ventana(ventana)
        , m_ftp(ftp)
        , m_bloqueo(datos.ajustes.RutaIni) {
        m_reloj.start();
        m_resumen.rutaBitacora = bitacora::rutaPara(m_a.RutaIni);
    }

    ResumenEnvio ejecutar() {
        if (!admitido())
            return m_resumen;
        m_interrumpir = false;
        if (abrir() && leerCatalogo() && prepararTienda()) {
            enviarProductos();
            m_planificador->soltarExistencias();
            retirarAusentes();
            vaciarCacheTienda();
            enviarImagenes();
            guardarEstadoTienda();
        }
        return cerrar();
    }

private:
    bool admitido();
    bool abrir();
    bool leerCatalogo();
    bool prepararTienda();
    void enviarProductos();
    bool enviarBloque(const QList<PlanProducto>& bloque);
    bool reabrirTienda();
    void contar(const QList<PlanProducto>& bloque, const QList<ResultadoProducto>& resultados);
    void retirarAusentes();
    void vaciarCacheTienda();
    void enviarImagenes();
    void guardarEstadoTienda();
    ResumenEnvio cerrar();
    bool detener(ResumenEnvio::Estado estado, const QString& mensaje);
    bool sinConexion(const QString& donde, const Conexion& cn) {
        return detener(ResumenEnvio::Estado::SinConexion,
                       u"No se abrió la base de datos %1: %2"_s.arg(donde, cn.ultimoError()));
    }
    // Products whose fate this run has settled: written, as they were, or failed.
    qint64 resueltos() const {
        return m_resumen.creados + m_resumen.actualizados + m_resumen.sinCambios +
               m_resumen.fallidos;
    }
    void avanzar(FaseEnvio fase, qint64 hechos) {
        m_ventana.avance({fase, hechos, m_resumen.leidos});
    }
    void fallaBloque(const QList<PlanProducto>& bloque, const QString& error) {
        m_resumen.fallidos += bloque.size();
        for (const PlanProducto& p : bloque)
            m_resumen.productosFallidos.append({p.clave, sinSentencia(error), p.descripcion});
    }

    const DatosEnvio& m_datos;
    const Ajustes& m_a;
    std::atomic<bool>& m_interrumpir;
    VentanaEnvio& m_ventana;
    clsFTP* m_ftp;
    QElapsedTimer m_reloj;
    BloqueoEnvio m_bloqueo;
    std::unique_ptr<BasesDD> m_web;
    BasesDD m_pos;
    Conexion m_cnPos;
    Conexion m_cnWeb;
    std::unique_ptr<BloqueoTienda> m_bloqueoTienda;
    QList<UsoDeTabla> m_usos; // what the run writes where
    QStringList m_tablasWeb;  // the product table first
    bool m_transaccional = false;
    Consulta m_lista;      // the products, the columns the run uses
    Recordset m_productos; // the page being sent
    std::unique_ptr<LectorProductos> m_lector;
    QStringList m_claves;              // every key, until the shop has learnt them
    QSet<QString> m_presentes;         // every key, when products that left are taken out of sale
    QList<Pertenencia> m_pertenencias; // the lines, sub-lines and brands of the products
    std::unique_ptr<BuscadorNombres> m_nombres;
    std::unique_ptr<PlanificadorEnvio> m_planificador;
    QStringList m_nombresOpcion;
    EscritorWeb::Configuracion m_config;
    std::unique_ptr<EscritorWeb> m_escritor;
    ResumenEnvio m_resumen;
    qint64 m_planificados = 0; // products compared so far
};

bool Envio::detener(ResumenEnvio::Estado estado, const QString& mensaje) {
    m_resumen.estado = estado;
    m_resumen.mensaje = mensaje;
    switch (estado) {
    case ResumenEnvio::Estado::SinConexion:
    case ResumenEnvio::Estado::ErrorLectura:
        qCCritical(lcNombres).noquote() << m_resumen.mensaje;
        break;
    case ResumenEnvio::Estado::Interrumpido:
        qCInfo(lcNombres).noquote() << m_resumen.mensaje;
        break;
    default:
        qCWarning(lcNombres).noquote() << m_resumen.mensaje;
    }
    return false;
}

// A mapping the run can use, and no other run on the same settings file.
bool Envio::admitido() {
    const QString ilegibles = motivoIlegibles(m_a, false);
    if (!ValidarCamposEnvio(m_datos.campos))
        detener(ResumenEnvio::Estado::MapeoInvalido,
                u"La relación de campos no sirve para enviar"_s);
    else if (!ilegibles.isEmpty())
        detener(ResumenEnvio::Estado::AjustesIlegibles, ilegibles);
    else if (!m_bloqueo.tomar())
        detener(ResumenEnvio::Estado::EnCurso, m_bloqueo.descripcion());
    else
        return true;
    m_ventana.fin(m_resumen);
    return false;
}

// Both connections, the shop's lock, and one transaction per block where the shop has them.
bool Envio::abrir() {
    if (!CrearObjeto(m_web, u"BasesDD"_s))
        m_web = std::make_unique<BasesDD>();
    ConexionTienda(*m_web, m_a);
    m_web->opciones.sqlMode = ModoSqlTienda;
    m_web->opciones.variasSentencias = envioPorLotes(m_a);
    m_pos.cRuta = m_datos.pos.servidor;
    m_pos.cPuerto = m_datos.pos.puerto;
    m_pos.cUsuario = m_datos.pos.usuario;
    m_pos.cPassword = m_datos.pos.contrasena;
    m_pos.cMiBase = m_datos.pos.base;

    qCInfo(lcNombres).noquote()
        << u"Envío iniciado%1: punto de venta %2; tienda %3, tabla «%4», campo para tallas o "
           u"colores «%5»; %6; %7 campos en la relación"_s
               .arg(m_datos.modoPrueba ? u" en modo de prueba"_s : QString(),
                    descripcionServidor(m_datos.pos),
                    descripcionServidor(m_web->datosConexion(m_a.BaseDatosWeb)),
                    m_a.TablaProductosWeb, m_a.CampoTallaColor,
                    m_a.UsaTallasOColores ? (m_a.UsaTallas ? u"con tallas"_s : u"con colores"_s)
                                          : u"sin tallas ni colores"_s)
               .arg(m_datos.campos.size());

    if (!m_pos.AbrirBdD(m_cnPos, m_pos.cMiBase))
        return sinConexion(u"del punto de venta"_s, m_cnPos);
    m_usos = TablasDelEnvio(m_datos.campos, m_a);
    m_tablasWeb = NombresDeTablas(m_usos);
    if (!m_web->AbrirBdD(m_cnWeb, m_web->cMiBase))
        return sinConexion(u"de la tienda"_s, m_cnWeb);
    // A preview writes nothing, so it neither waits for a send nor holds one up.
    m_bloqueoTienda =
        std::make_unique<BloqueoTienda>(m_web->datosConexion(m_web->cMiBase), m_web->opciones);
    if (!m_datos.simulacro && !m_bloqueoTienda->tomar())
        return detener(ResumenEnvio::Estado::EnCurso, m_bloqueoTienda->descripcion());
    m_transaccional = hayTablasTransaccionales(m_cnWeb, m_tablasWeb);
    if (m_transaccional) {
        // Each block's writes are one transaction; the session keeps this over reconnections.
        m_web->opciones.autocommit = false;
        if (!m_web->AbrirBdD(m_cnWeb, m_web->cMiBase))
            return sinConexion(u"de la tienda"_s, m_cnWeb);
    }
    m_ventana.inicio();
    avanzar(FaseEnvio::Leyendo, 0);
    return true;
}

// The point-of-sale keys (the products are read later, a page at a time), the stock rows and the
// size or colour names they use.
bool Envio::leerCatalogo() {
    m_lista = Consulta(u"productos"_s).ordenar(u"Clave"_s);
    const bool pertenencia = modoCategorias(m_a) != ModoCategorias::No || m_a.MarcasComoFabricantes;
    m_lista.columnas = columnasDelPuntoDeVenta(m_pos, m_cnPos, m_datos.campos,
                                               pertenencia ? PlanificadorEnvio::ColumnasPertenencia
                                                           : QStringList{});
    if (m_datos.modoPrueba)
        m_lista.limitar(LimiteModoPrueba);
    m_lector = std::make_unique<LectorProductos>(m_pos, m_cnPos, m_lista, ProductosPorLote);
    QString error;
    if (!m_lector->leerClaves(&m_claves, &error))
        return detener(ResumenEnvio::Estado::ErrorLectura,
                       u"No se pudo leer la tabla productos: "_s + error);
    m_resumen.leidos = m_lector->total();
    avanzar(FaseEnvio::Leyendo, 0);

    m_nombres = std::make_unique<BuscadorNombres>(m_pos, m_cnPos);
    m_planificador = std::make_unique<PlanificadorEnvio>(m_datos.campos, *m_nombres);
    if (pertenencia) {
        m_planificador->conPertenencia(true);
        if (!m_planificador->pertenencias(m_cnPos, m_lista, &m_pertenencias, &error))
            return detener(ResumenEnvio::Estado::ErrorLectura,
                           u"No se pudieron leer las líneas y marcas de los productos: "_s + error);
    }
    // A test run reads a part of the catalogue: what it does not read has not left it.
    if (modoBajas(m_a) != ModoBajas::Dejar && !m_datos.modoPrueba)
        m_presentes = QSet<QString>(m_claves.cbegin(), m_claves.cend());
    if (!m_a.UsaTallasOColores)
        return true;
    if (!m_planificador->cargarExistencias(m_cnPos, &error))
        return detener(ResumenEnvio::Estado::ErrorLectura,
                       u"No se pudo leer la tabla existenciaexterna: "_s + error);
    m_nombresOpcion = m_planificador->nombresDeExistencias(m_claves);
    return true;
}

// What the shop holds: its tables, the rows the keys find, the option values the sizes need.
bool Envio::prepararTienda() {
    m_config.tablaProductos = m_a.TablaProductosWeb;
    m_config.campoTallaColor = m_a.CampoTallaColor;
    m_config.usaTallasOColores = m_a.UsaTallasOColores;
    m_config.usaTallas = m_a.UsaTallas;
    m_config.carpetaPrograma = QFileInfo(m_a.RutaIni).absolutePath();
    m_config.transaccional = m_transaccional;
    m_config.codificar = m_a.CodificarTexto;
    m_config.tiendas = tiendasDe(m_a.Tiendas).value_or(QList<int>{0});
    m_config.porLotes = envioPorLotes(m_a);
    m_config.simulacro = m_datos.simulacro;
    m_config.ahora = QDateTime::currentDateTime();
    m_config.categorias = modoCategorias(m_a) != ModoCategorias::No;
    m_config.sublineas = modoCategorias(m_a) == ModoCategorias::LineaYSublinea;
    m_config.fabricantes = m_a.MarcasComoFabricantes;
    m_config.palabras = m_a.DireccionesSeo;
    m_config.bajas = modoBajas(m_a) != ModoBajas::Dejar && !m_datos.modoPrueba;
    m_config.bajasDesactivan = modoBajas(m_a) == ModoBajas::Desactivar;
    m_config.estadoSinExistencias = estadoSinExistencias(m_a);
    m_config.limiteBajas = limiteBajas(m_a);
    // The batched run remembers what it found for the next one; test runs and previews do not.
    if (!m_datos.modoPrueba)
        m_config.estado = EstadoTienda::rutaPara(m_a.RutaIni);
    m_config.identidadTienda = descripcionServidor(m_web->datosConexion(m_a.BaseDatosWeb));
    m_escritor = std::make_unique<EscritorWeb>(m_cnWeb, m_config, &m_ventana);
    m_escritor->setModelo(m_planificador->modelo());
    // Batched, a block is compared and then written, and the window says which; one product at a
    // time, both happen product by product, and the count of products written tells the progress.
    if (m_config.porLotes)
        m_escritor->setAlFase([this](FaseEnvio fase) {
            avanzar(fase, fase == FaseEnvio::Escribiendo ? resueltos() : m_planificados);
        });
    QString error;
    const bool bien =
        m_escritor->preparar(m_usos, m_nombresOpcion, m_planificador->columnas().first(), m_claves,
                             m_pertenencias, &error);
    m_claves = {};
    if (bien && !m_escritor->sinRegistro().isEmpty() &&
        (m_config.categorias || m_config.fabricantes || m_config.palabras || m_config.bajas))
        m_resumen.avisosEnvio.append(m_escritor->sinRegistro());
    if (const CatalogoTienda* catalogo = m_escritor->catalogo()) {
        m_resumen.categoriasCreadas = catalogo->categoriasCreadas();
        m_resumen.fabricantesCreados = catalogo->fabricantesCreados();
        m_resumen.palabrasCreadas += catalogo->palabrasCreadas();
    }
    if (bien)
        return true;
    if (m_escritor->tiendaNoSirve())
        return detener(ResumenEnvio::Estado::TiendaNoSirve,
                       u"La tienda no puede recibir este envío, no se escribió nada: "_s + error);
    return detener(ResumenEnvio::Estado::ErrorLectura, u"No se pudo leer la tienda: "_s + error);
}

// The products page by page, planned one by one and sent in blocks. A block not yet sent when the
// user interrupts is dropped whole: its products are not written. One product at a time, the
// product shown is written first.
void Envio::enviarProductos() {
    const qsizetype porBloque = m_config.porLotes ? ProductosPorLote : 1;
    QList<PlanProducto> bloque;
    qint64 n = 1;
    auto interrumpido = [&] {
        if (!m_interrumpir)
            return false;
        detener(ResumenEnvio::Estado::Interrumpido,
                u"Envío interrumpido antes del producto %1 de %2"_s
                    .arg(n - (porBloque > 1 ? bloque.size() : 0))
                    .arg(m_resumen.leidos));
        bloque.clear();
        return true;
    };
    QString errorPagina;
    bool seguir = true;
    while (seguir && m_lector->siguiente(m_productos, &errorPagina)) {
        for (m_productos.MoveFirst(); seguir && !m_productos.Eof(); m_productos.MoveNext(), ++n) {
            if (interrumpido())
                return;
            const QString clave = m_productos.valor(u"Clave"_s).texto();
            // A product added to the catalogue during the run may be read all the same.
            m_ventana.producto(clave, m_productos.valor(u"Descrip"_s).texto(), n,
                               qMax(m_resumen.leidos, n));
            m_planificados = n;
            if (porBloque > 1)
                avanzar(FaseEnvio::Comparando, n);
            else
                avanzar(FaseEnvio::Escribiendo, resueltos());
            PlanProducto plan;
            QString error;
            bool bien = m_planificador->planificar(m_productos, &plan, &error);
            if (!bien && m_cnPos.conexionPerdida() && m_pos.AbrirBdD(m_cnPos, m_pos.cMiBase))
                bien = m_planificador->planificar(m_productos, &plan, &error);
            if (!bien) {
                ++m_resumen.fallidos;
                m_resumen.productosFallidos.append(
                    {clave, sinSentencia(error), m_productos.valor(u"Descrip"_s).texto()});
                qCWarning(lcNombres).noquote()
                    << u"Producto «%1» no enviado: %2"_s.arg(clave, error);
                continue;
            }
            // As the shop holds it already, by the last send's state: nothing to read or write.
            if (porBloque > 1 && m_escritor->sinCambios(plan)) {
                ++m_resumen.sinCambios;
                continue;
            }
            bloque.append(std::move(plan));
            if (bloque.size() >= porBloque) {
                if (porBloque > 1 && interrumpido())
                    return;
                seguir = enviarBloque(bloque);
                bloque.clear();
            }
        }
    }
    // The products read so far are sent; those of a page that could not be read are not.
    if (!errorPagina.isEmpty())
        detener(ResumenEnvio::Estado::ErrorLectura,
                u"No se pudo leer la tabla productos: "_s + errorPagina);
    if (seguir && !bloque.isEmpty() && !interrumpido())
        enviarBloque(bloque);
    // Also when the last products were known to be as the shop holds them: none left to write.
    if (m_resumen.estado == ResumenEnvio::Estado::Terminado)
        avanzar(FaseEnvio::Escribiendo, resueltos());
}

// Sends a block; a lost connection is reopened and the block sent again from what the shop holds,
// and a block that fails is sent again product by product to find the culprit. False when the
// shop cannot be reached any more.
bool Envio::enviarBloque(const QList<PlanProducto>& bloque) {
    QList<ResultadoProducto> resultados;
    QString error;
    bool bien = m_web->AbrirBdD(m_cnWeb, m_web->cMiBase) &&
                m_escritor->EnviarBloque(bloque, &resultados, &error);
    if (!bien && !m_cnWeb.abierta()) {
        qCWarning(lcNombres).noquote()
            << u"Se perdió la conexión con la tienda en los productos «%1» a «%2»; se reabre"_s.arg(
                   bloque.first().clave, bloque.last().clave);
        if (!reabrirTienda()) {
            fallaBloque(bloque, m_resumen.mensaje);
            return false;
        }
        bien = m_escritor->EnviarBloque(bloque, &resultados, &error);
    }
    if (!bien && bloque.size() > 1) {
        qCWarning(lcNombres).noquote()
            << u"Un lote de %1 productos falló (%2); se envían uno a uno"_s.arg(bloque.size())
                   .arg(error);
        resultados.clear();
        for (const PlanProducto& p : bloque) {
            QList<ResultadoProducto> uno;
            QString errorUno;
            if (!m_escritor->EnviarBloque({p}, &uno, &errorUno)) {
                uno = {ResultadoProducto{}};
                uno[0].fallido = true;
                uno[0].error = errorUno;
            }
            resultados.append(uno.first());
        }
    } else if (!bien) {
        resultados = {ResultadoProducto{}};
        resultados[0].fallido = true;
        resultados[0].error = error;
    }
    contar(bloque, resultados);
    avanzar(FaseEnvio::Escribiendo, resueltos());
    m_escritor->anotarEnviados(bloque, resultados);
    return m_cnWeb.abierta();
}

// The shop's session and lock after the connection was lost: tried a few times with growing
// pauses, so a short cut or a server restarting does not end the run, but never for more than
// about half a minute (a dead server is given up on). False, with the run stopped, when the shop
// stays out of reach or the user interrupts.
bool Envio::reabrirTienda() {
    constexpr int Pausas[] = {1, 2, 4, 8};
    QElapsedTimer desde;
    desde.start();
    for (int intento = 0;; ++intento) {
        if (m_web->AbrirBdD(m_cnWeb, m_web->cMiBase)) {
            if (m_datos.simulacro || m_bloqueoTienda->asegurar())
                return true;
            if (m_bloqueoTienda->ocupado())
                return detener(ResumenEnvio::Estado::EnCurso, m_bloqueoTienda->descripcion());
        }
        if (intento >= int(std::size(Pausas)) || desde.elapsed() > 30000)
            return sinConexion(u"de la tienda"_s, m_cnWeb);
        qCWarning(lcNombres).noquote()
            << u"La tienda no responde (%1); nuevo intento en %2 s"_s.arg(m_cnWeb.ultimoError())
                   .arg(Pausas[intento]);
        for (int decimas = 0; decimas < Pausas[intento] * 10; ++decimas) {
            if (m_interrumpir)
                return detener(ResumenEnvio::Estado::Interrumpido,
                               u"Envío interrumpido mientras se esperaba a la tienda"_s);
            QThread::msleep(100);
        }
    }
}

void Envio::contar(const QList<PlanProducto>& bloque, const QList<ResultadoProducto>& resultados) {
    for (qsizetype i = 0; i < bloque.size(); ++i) {
        const ResultadoProducto& r = resultados[i];
        const QString& clave = bloque[i].clave;
        for (const QString& nota : r.notas)
            qCInfo(lcNombres).noquote() << u"Producto «%1»: %2"_s.arg(clave, nota);
        m_resumen.enlacesCategoria += r.enlacesNuevos;
        m_resumen.enlacesQuitados += r.enlacesQuitados;
        m_resumen.palabrasCreadas += r.palabras;
        m_resumen.vuelven += r.vuelven;
        if (r.gemela)
            ++m_resumen.gemelas;
        if (r.fallido || !r.omitidos.isEmpty()) {
            const QString error = r.fallido ? r.error : r.omitidos.join(u"; "_s);
            ++m_resumen.fallidos;
            m_resumen.productosFallidos.append({clave, sinSentencia(error), bloque[i].descripcion});
            qCWarning(lcNombres).noquote() << u"Producto «%1» no enviado: %2"_s.arg(clave, error);
            if (r.fallido)
                continue;
        }
        if (r.omitidos.isEmpty())
            ++(r.creado     ? m_resumen.creados
               : r.cambiado ? m_resumen.actualizados
                            : m_resumen.sinCambios);
        if (!r.avisos.isEmpty()) {
            ++m_resumen.conAvisos;
            for (const QString& aviso : r.avisos) {
                m_resumen.productosConAvisos.append({clave, aviso, bloque[i].descripcion});
                qCWarning(lcNombres).noquote()
                    << u"Producto «%1»: la tienda no guardó un valor como se envió: %2"_s.arg(
                           clave, aviso);
            }
        }
    }
}

// Products Vendaro made that the point of sale no longer has, when the whole catalogue was read.
void Envio::retirarAusentes() {
    if (!m_config.bajas || m_resumen.estado != ResumenEnvio::Estado::Terminado ||
        !m_cnWeb.abierta())
        return;
    ResultadoBajas bajas;
    QString error;
    if (!m_escritor->darDeBaja(m_presentes, m_resumen.leidos, &bajas, &error)) {
        detener(ResumenEnvio::Estado::SinConexion,
                u"No se pudieron retirar de la venta los productos que ya no están: "_s + error);
        return;
    }
    m_resumen.bajas = bajas.hechos;
    if (bajas.detenidas) {
        m_resumen.bajasDetenidas = bajas.mensaje;
        qCWarning(lcNombres).noquote() << bajas.mensaje;
    }
}

// OpenCart keeps its boxes and lists an hour in files of its cache folder: after a send that
// changed products, those of products (and brands) are deleted, when the folder is known.
void Envio::vaciarCacheTienda() {
    const bool cambios = m_resumen.creados + m_resumen.actualizados + m_resumen.bajas > 0;
    if (m_datos.simulacro || !cambios)
        return;
    const QString carpeta = m_a.CarpetaCacheTienda.trimmed();
    if (carpeta.isEmpty() || m_a.DireccionFTP.trimmed().isEmpty()) {
        m_resumen.cacheBorrada = -1;
        return;
    }
    QStringList prefijos{u"cache.product."_s};
    if (m_resumen.fabricantesCreados > 0 || m_a.MarcasComoFabricantes)
        prefijos.append(u"cache.manufacturer."_s);
    QString error;
    const int borrados = BorrarCacheTienda(m_a, carpeta, prefijos, m_ftp, &error);
    if (borrados < 0) {
        m_resumen.avisosEnvio.append(
            u"No se pudo vaciar la caché de la tienda en «%1»: %2"_s.arg(carpeta, error));
        qCWarning(lcNombres).noquote() << m_resumen.avisosEnvio.last();
        return;
    }
    m_resumen.cacheBorrada = borrados;
}

// What this send found in the shop, for the next one to read only what changed.
void Envio::guardarEstadoTienda() {
    if (!m_escritor || !m_cnWeb.abierta())
        return;
    QString error;
    if (!m_escritor->guardarEstado(m_resumen.estado == ResumenEnvio::Estado::Terminado, &error))
        qCWarning(lcNombres).noquote()
            << u"No se guardó lo que el envío sabe de la tienda (el próximo la lee entera): "_s +
                   error;
    m_resumen.viajesTienda = m_escritor->viajes();
}

// The pictures, when the window asked for them: every product's key and description once more.
void Envio::enviarImagenes() {
    m_resumen.viajesTienda = m_escritor->viajes();
    if (m_datos.simulacro || !m_ventana.imagenesPedidas())
        return;
    m_resumen.conImagenes = true;
    PasoImagenes imagenes(*m_web, m_cnWeb, m_a, m_planificador->columnas().first(),
                          m_config.carpetaPrograma, m_ftp);
    Consulta claveYNombre = m_lista;
    claveYNombre.columnas.removeIf([](const QString& c) {
        return c.compare(u"Clave"_s, Qt::CaseInsensitive) != 0 &&
               c.compare(u"Descrip"_s, Qt::CaseInsensitive) != 0;
    });
    m_pos.AbrirTabla(m_productos, m_cnPos, claveYNombre);
    m_productos.setActiveConnection(nullptr);
    const PasoImagenes::Cuenta cuenta =
        imagenes.enviar(PasoImagenes::productosDe(m_productos), m_interrumpir, m_ventana);
    m_pos.CierraTabla(m_productos);
    m_resumen.imagenesSubidas += cuenta.subidas;
    m_resumen.imagenesFallidas += cuenta.fallidas;
    if (m_resumen.motivoImagenes.isEmpty())
        m_resumen.motivoImagenes = cuenta.motivo;
    if (cuenta.interrumpido)
        m_resumen.estado = ResumenEnvio::Estado::Interrumpido;
}

ResumenEnvio Envio::cerrar() {
    m_ventana.limpiarImagenes();
    m_pos.CierraTabla(m_productos);
    m_pos.CierraBdD(m_cnPos);
    if (m_web)
        m_web->CierraBdD(m_cnWeb);
    // Before the time is taken: a hung shop must not hold the run past what it reports.
    if (m_bloqueoTienda)
        m_bloqueoTienda->soltar(m_resumen.estado == ResumenEnvio::Estado::SinConexion);
    m_resumen.sentencias = m_cnPos.sentenciasEnviadas() + m_cnWeb.sentenciasEnviadas();
    m_resumen.segundos = double(m_reloj.elapsed()) / 1000.0;
    // The window first, so a progress bar on the terminal ends its line before the log does.
    m_ventana.fin(m_resumen);
    // A preview writes nothing: its end is not told as a send's.
    qCInfo(lcNombres).noquote() << (m_datos.simulacro ? u"Vista previa terminada (no se escribió "
                                                        u"nada). "_s
                                                      : u"Envío terminado. "_s) +
                                       m_resumen.texto();
    return m_resumen;
}
} // namespace

ResumenEnvio clsProcedimenti::EnviarProductos(const DatosEnvio& datos,
                                              std::atomic<bool>& blInterruptus,
                                              VentanaEnvio& ventana, clsFTP* ftp) {
    return Envio(datos, blInterruptus, ventana, ftp).ejecutar();
}
