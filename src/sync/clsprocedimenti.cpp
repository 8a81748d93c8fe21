#include "clsprocedimenti.h"

#include "bitacora_envio.h"
#include "bloqueo_envio.h"
#include "bloqueo_tienda.h"
#include "escritor_web.h"
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
#ifdef Q_OS_WIN
    return carpeta + u'\\';
#else
    // A folder written the Windows way keeps its backslash; a local one gets a slash.
    return carpeta + (carpeta.contains(u'\\') ? u'\\' : u'/');
#endif
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
    if (conImagenes)
        t += u"imágenes subidas: %1; imágenes con error: %2; "_s.arg(imagenesSubidas)
                 .arg(imagenesFallidas);
    return t + u"tiempo: %1 s; sentencias enviadas: %2"_s.arg(segundos, 0, 'f', 1).arg(sentencias);
}

clsProcedimenti::clsProcedimenti(Componentes& compartidos, Ajustes& ajustes)
    : m_compartidos(compartidos)
    , m_ajustes(ajustes) {}

bool clsProcedimenti::LeerConfiguracion(clnCampos& campos, QList<Estrucs>* filas) {
    CargarAjustes(m_ajustes, *m_compartidos.qvtx, *m_compartidos.utilerias);
    return LeerDeLosCampos(campos, filas);
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
// The point-of-sale columns the run reads: the key, the description and the mapped ones that exist.
QStringList columnasDelPuntoDeVenta(BasesDD& pos, Conexion& cn, const clnCampos& campos) {
    Recordset rs;
    pos.AbrirTabla(rs, cn, Consulta(u"productos"_s).limitar(0));
    QStringList columnas;
    for (int i = 0; i < rs.Count(); ++i) {
        const QString& nombre = rs.campo(i).Name;
        bool usada = nombre.compare(u"Clave"_s, Qt::CaseInsensitive) == 0 ||
                     nombre.compare(u"Descrip"_s, Qt::CaseInsensitive) == 0;
        for (const Estrucs& e : campos)
            usada = usada || e.DeVM.compare(nombre, Qt::CaseInsensitive) == 0;
        if (usada)
            columnas.append(nombre);
    }
    return columnas;
}
} // namespace

ResumenEnvio clsProcedimenti::EnviarProductos(const DatosEnvio& datos,
                                              std::atomic<bool>& blInterruptus,
                                              VentanaEnvio& ventana, clsFTP* ftp) {
    QElapsedTimer reloj;
    reloj.start();
    ResumenEnvio resumen;
    resumen.rutaBitacora = bitacora::rutaPara(datos.ajustes.RutaIni);
    const Ajustes& a = datos.ajustes;

    if (!ValidarCamposEnvio(datos.campos)) {
        resumen.estado = ResumenEnvio::Estado::MapeoInvalido;
        resumen.mensaje = u"La relación de campos no sirve para enviar"_s;
        qCWarning(lcNombres).noquote() << resumen.mensaje;
        ventana.fin(resumen);
        return resumen;
    }
    BloqueoEnvio bloqueo(a.RutaIni);
    if (!bloqueo.tomar()) {
        resumen.estado = ResumenEnvio::Estado::EnCurso;
        resumen.mensaje = bloqueo.descripcion();
        qCWarning(lcNombres).noquote() << resumen.mensaje;
        ventana.fin(resumen);
        return resumen;
    }

    blInterruptus = false;
    std::unique_ptr<BasesDD> web;
    if (!CrearObjeto(web, u"BasesDD"_s))
        web = std::make_unique<BasesDD>();
    web->cMiBase = a.BaseDatosWeb;
    web->cRuta = a.DireccionIP;
    web->cUsuario = a.UsuarioWeb;
    web->cPassword = a.ContrasenaWeb;
    web->cPuerto = a.PuertoWeb;
    web->opciones.sqlMode = ModoSqlTienda;
    web->opciones.variasSentencias = envioPorLotes(a);
    OpcionesTlsTienda(web->opciones, a);
    BasesDD pos;
    pos.cRuta = datos.pos.servidor;
    pos.cPuerto = datos.pos.puerto;
    pos.cUsuario = datos.pos.usuario;
    pos.cPassword = datos.pos.contrasena;
    pos.cMiBase = datos.pos.base;

    qCInfo(lcNombres).noquote()
        << u"Envío iniciado%1: punto de venta %2; tienda %3, tabla «%4», campo para tallas o "
           u"colores «%5»; %6; %7 campos en la relación"_s
               .arg(datos.modoPrueba ? u" en modo de prueba"_s : QString(),
                    descripcionServidor(datos.pos),
                    descripcionServidor(web->datosConexion(a.BaseDatosWeb)), a.TablaProductosWeb,
                    a.CampoTallaColor,
                    a.UsaTallasOColores ? (a.UsaTallas ? u"con tallas"_s : u"con colores"_s)
                                        : u"sin tallas ni colores"_s)
               .arg(datos.campos.size());

    Conexion cnPos;
    Conexion cnWeb;
    Recordset productos; // the page being sent
    auto cerrar = [&] {
        ventana.limpiarImagenes();
        pos.CierraTabla(productos);
        pos.CierraBdD(cnPos);
        web->CierraBdD(cnWeb);
        resumen.sentencias = cnPos.sentenciasEnviadas() + cnWeb.sentenciasEnviadas();
        resumen.segundos = double(reloj.elapsed()) / 1000.0;
        // The window first, so a progress bar on the terminal ends its line before the log does.
        ventana.fin(resumen);
        qCInfo(lcNombres).noquote() << u"Envío terminado. "_s + resumen.texto();
        return resumen;
    };
    auto enCurso = [&](const QString& mensaje) {
        resumen.estado = ResumenEnvio::Estado::EnCurso;
        resumen.mensaje = mensaje;
        qCWarning(lcNombres).noquote() << resumen.mensaje;
        return cerrar();
    };
    auto sinConexion = [&](const QString& donde, const Conexion& cn) {
        resumen.estado = ResumenEnvio::Estado::SinConexion;
        resumen.mensaje = u"No se abrió la base de datos %1: %2"_s.arg(donde, cn.ultimoError());
        qCCritical(lcNombres).noquote() << resumen.mensaje;
    };

    if (!pos.AbrirBdD(cnPos, pos.cMiBase)) {
        sinConexion(u"del punto de venta"_s, cnPos);
        return cerrar();
    }
    QStringList tablasWeb{a.TablaProductosWeb};
    for (const Estrucs& e : datos.campos)
        if (!e.TablaExterna.isEmpty())
            tablasWeb.append(e.TablaExterna);
    if (a.UsaTallasOColores)
        for (const char16_t* t : {u"option_value", u"option_value_description", u"product_option",
                                  u"product_option_value"})
            tablasWeb << EscritorWeb::prefijoDe(a.TablaProductosWeb) + QString::fromUtf16(t);
    if (!web->AbrirBdD(cnWeb, web->cMiBase)) {
        sinConexion(u"de la tienda"_s, cnWeb);
        return cerrar();
    }
    // A preview writes nothing, so it neither waits for a send nor holds one up.
    BloqueoTienda bloqueoTienda(web->datosConexion(web->cMiBase), web->opciones);
    if (!datos.simulacro && !bloqueoTienda.tomar())
        return enCurso(bloqueoTienda.descripcion());
    const bool transaccional = hayTablasTransaccionales(cnWeb, tablasWeb);
    if (transaccional) {
        // Each product's writes are one transaction; the session keeps this over reconnections.
        web->opciones.autocommit = false;
        if (!web->AbrirBdD(cnWeb, web->cMiBase)) {
            sinConexion(u"de la tienda"_s, cnWeb);
            return cerrar();
        }
    }
    ventana.inicio();

    // Only the columns the run uses, a page at a time.
    Consulta lista = Consulta(u"productos"_s).ordenar(u"Clave"_s);
    lista.columnas = columnasDelPuntoDeVenta(pos, cnPos, datos.campos);
    if (datos.modoPrueba)
        lista.limitar(LimiteModoPrueba);
    LectorProductos lector(pos, cnPos, lista, ProductosPorLote);
    auto errorLectura = [&](const QString& mensaje) {
        resumen.estado = ResumenEnvio::Estado::ErrorLectura;
        resumen.mensaje = mensaje;
        qCCritical(lcNombres).noquote() << resumen.mensaje;
    };
    QStringList claves;
    {
        QString error;
        if (!lector.leerClaves(&claves, &error)) {
            errorLectura(u"No se pudo leer la tabla productos: "_s + error);
            return cerrar();
        }
    }
    resumen.leidos = lector.total();

    BuscadorNombres nombres(pos, cnPos);
    PlanificadorEnvio planificador(datos.campos, nombres);
    QStringList nombresOpcion;
    if (a.UsaTallasOColores) {
        QString error;
        if (!planificador.cargarExistencias(cnPos, &error)) {
            errorLectura(u"No se pudo leer la tabla existenciaexterna: "_s + error);
            return cerrar();
        }
        nombresOpcion = planificador.nombresDeExistencias(claves);
    }
    EscritorWeb::Configuracion config;
    config.tablaProductos = a.TablaProductosWeb;
    config.campoTallaColor = a.CampoTallaColor;
    config.usaTallasOColores = a.UsaTallasOColores;
    config.usaTallas = a.UsaTallas;
    config.carpetaPrograma = QFileInfo(a.RutaIni).absolutePath();
    config.transaccional = transaccional;
    config.codificar = a.CodificarTexto;
    config.tiendas = tiendasDe(a.Tiendas).value_or(QList<int>{0});
    config.porLotes = envioPorLotes(a);
    config.simulacro = datos.simulacro;
    config.ahora = QDateTime::currentDateTime();
    EscritorWeb escritor(cnWeb, config, &ventana);
    {
        QString error;
        if (!escritor.preparar(tablasWeb.mid(1), nombresOpcion, planificador.columnas().first(),
                               claves, &error)) {
            errorLectura(u"No se pudo leer la tienda: "_s + error);
            return cerrar();
        }
        claves = {};
    }

    // Sends a block; a lost connection is reopened and the block sent again from what the shop
    // holds, and a block that fails is sent again product by product to find the culprit.
    auto enviarBloque = [&](const QList<PlanProducto>& bloque) {
        QList<ResultadoProducto> resultados;
        QString error;
        bool bien = web->AbrirBdD(cnWeb, web->cMiBase) &&
                    escritor.EnviarBloque(bloque, &resultados, &error);
        if (!bien && !cnWeb.abierta()) {
            qCWarning(lcNombres).noquote()
                << u"Se perdió la conexión con la tienda en los productos «%1» a «%2»; se reabre"_s
                       .arg(bloque.first().clave, bloque.last().clave);
            if (!web->AbrirBdD(cnWeb, web->cMiBase)) {
                resumen.fallidos += bloque.size();
                for (const PlanProducto& p : bloque)
                    resumen.productosFallidos.append({p.clave, cnWeb.ultimoError()});
                sinConexion(u"de la tienda"_s, cnWeb);
                return false;
            }
            if (!datos.simulacro && !bloqueoTienda.asegurar()) {
                resumen.fallidos += bloque.size();
                for (const PlanProducto& p : bloque)
                    resumen.productosFallidos.append({p.clave, bloqueoTienda.descripcion()});
                resumen.estado = ResumenEnvio::Estado::EnCurso;
                resumen.mensaje = bloqueoTienda.descripcion();
                qCWarning(lcNombres).noquote() << resumen.mensaje;
                return false;
            }
            bien = escritor.EnviarBloque(bloque, &resultados, &error);
        }
        if (!bien && bloque.size() > 1) {
            qCWarning(lcNombres).noquote()
                << u"Un lote de %1 productos falló (%2); se envían uno a uno"_s.arg(bloque.size())
                       .arg(error);
            resultados.clear();
            for (const PlanProducto& p : bloque) {
                QList<ResultadoProducto> uno;
                QString errorUno;
                if (!escritor.EnviarBloque({p}, &uno, &errorUno)) {
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
        for (qsizetype i = 0; i < bloque.size(); ++i) {
            const ResultadoProducto& r = resultados[i];
            const QString& clave = bloque[i].clave;
            if (r.fallido) {
                ++resumen.fallidos;
                resumen.productosFallidos.append({clave, r.error});
                qCWarning(lcNombres).noquote()
                    << u"Producto «%1» no enviado: %2"_s.arg(clave, r.error);
                continue;
            }
            ++(r.creado ? resumen.creados : r.cambiado ? resumen.actualizados : resumen.sinCambios);
            if (!r.avisos.isEmpty()) {
                ++resumen.conAvisos;
                for (const QString& aviso : r.avisos)
                    qCWarning(lcNombres).noquote()
                        << u"Producto «%1»: la tienda no guardó un valor como se envió: %2"_s.arg(
                               clave, aviso);
            }
        }
        return cnWeb.abierta();
    };

    const qsizetype porBloque = config.porLotes ? ProductosPorLote : 1;
    QList<PlanProducto> bloque;
    qint64 n = 1;
    bool seguir = true;
    // A block not yet sent when the user interrupts is dropped whole: its products are not
    // written. One product at a time, the product shown is written first.
    auto interrumpido = [&] {
        if (!blInterruptus)
            return false;
        resumen.estado = ResumenEnvio::Estado::Interrumpido;
        resumen.mensaje = u"Envío interrumpido antes del producto %1 de %2"_s
                              .arg(n - (porBloque > 1 ? bloque.size() : 0))
                              .arg(resumen.leidos);
        qCInfo(lcNombres).noquote() << resumen.mensaje;
        bloque.clear();
        return true;
    };
    QString errorPagina;
    bool parar = false;
    while (seguir && !parar && lector.siguiente(productos, &errorPagina)) {
        for (productos.MoveFirst(); seguir && !productos.Eof(); productos.MoveNext(), ++n) {
            if (interrumpido()) {
                parar = true;
                break;
            }
            const QString clave = productos.valor(u"Clave"_s).texto();
            ventana.producto(clave, productos.valor(u"Descrip"_s).texto(), n, resumen.leidos);
            PlanProducto plan;
            QString error;
            bool bien = planificador.planificar(productos, &plan, &error);
            if (!bien && cnPos.conexionPerdida() && pos.AbrirBdD(cnPos, pos.cMiBase))
                bien = planificador.planificar(productos, &plan, &error);
            if (!bien) {
                ++resumen.fallidos;
                resumen.productosFallidos.append({clave, error});
                qCWarning(lcNombres).noquote()
                    << u"Producto «%1» no enviado: %2"_s.arg(clave, error);
                continue;
            }
            bloque.append(std::move(plan));
            if (bloque.size() >= porBloque) {
                if (porBloque > 1 && interrumpido()) {
                    parar = true;
                    break;
                }
                seguir = enviarBloque(bloque);
                bloque.clear();
            }
        }
    }
    // The products read so far are sent; those of the page that could not be read are not.
    if (!errorPagina.isEmpty())
        errorLectura(u"No se pudo leer la tabla productos: "_s + errorPagina);
    if (seguir && !bloque.isEmpty() && !interrumpido())
        enviarBloque(bloque);
    resumen.viajesTienda = escritor.viajes();

    if (!datos.simulacro && ventana.imagenesPedidas()) {
        resumen.conImagenes = true;
        PasoImagenes imagenes(*web, cnWeb, a, planificador.columnas().first(),
                              config.carpetaPrograma, ftp);
        Consulta claveYNombre = lista;
        claveYNombre.columnas.removeIf([](const QString& c) {
            return c.compare(u"Clave"_s, Qt::CaseInsensitive) != 0 &&
                   c.compare(u"Descrip"_s, Qt::CaseInsensitive) != 0;
        });
        pos.AbrirTabla(productos, cnPos, claveYNombre);
        productos.setActiveConnection(nullptr);
        const PasoImagenes::Cuenta cuenta =
            imagenes.enviar(PasoImagenes::productosDe(productos), blInterruptus, ventana);
        pos.CierraTabla(productos);
        resumen.imagenesSubidas += cuenta.subidas;
        resumen.imagenesFallidas += cuenta.fallidas;
        if (cuenta.interrumpido)
            resumen.estado = ResumenEnvio::Estado::Interrumpido;
    }
    return cerrar();
}
