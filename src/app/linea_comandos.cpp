#include "linea_comandos.h"

#include "historial_envios.h"

#include "../config/ajustes.h"
#include "../config/certificado_ftp.h"
#include "../ftp/clsftp.h"
#include "../ftp/destino_ftp.h"
#include "../services/bitacora.h"
#include "../services/componentes.h"
#include "../services/instalacion.h"
#include "../services/plataforma.h"
#include "../services/texto_seguro.h"
#include "../sync/clsprocedimenti.h"
#include "../sync/comprobacion.h"
#include "../sync/tablas_envio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <atomic>
#include <csignal>

using namespace Qt::StringLiterals;

LineaComandos analizarLineaComandos(const QStringList& argumentos) {
    LineaComandos linea;
    for (qsizetype i = 0; i < argumentos.size(); ++i) {
        const QString& a = argumentos[i];
        if (a == u"--check"_s) {
            linea.accion = LineaComandos::Accion::Comprobar;
        } else if (a == u"--send"_s) {
            linea.accion = LineaComandos::Accion::Enviar;
        } else if (a == u"--pictures"_s) {
            linea.imagenes = true;
        } else if (a == u"--dry-run"_s) {
            linea.simulacro = true;
        } else if (a == u"--ini"_s) {
            if (i + 1 >= argumentos.size()) {
                linea.accion = LineaComandos::Accion::Error;
                linea.error = u"--ini necesita la ruta del archivo de configuración"_s;
                return linea;
            }
            linea.rutaIni = QFileInfo(argumentos[++i]).absoluteFilePath();
        } else if (a.startsWith(u"--ini="_s)) {
            linea.rutaIni = QFileInfo(a.mid(6)).absoluteFilePath();
        } else if (a == u"--help"_s || a == u"-h"_s) {
            linea.accion = LineaComandos::Accion::Ayuda;
            return linea;
        } else if (a == u"--version"_s) {
            linea.accion = LineaComandos::Accion::Version;
            return linea;
        } else if (a.contains(u"-qvtx"_s)) {
            // Test mode: read by EnModoPrueba wherever it stands.
        } else if (a.startsWith(u"--"_s)) {
            linea.accion = LineaComandos::Accion::Error;
            linea.error = u"opción desconocida: "_s + a;
            return linea;
        }
    }
    if (linea.imagenes && linea.accion != LineaComandos::Accion::Enviar) {
        linea.accion = LineaComandos::Accion::Error;
        linea.error = u"--pictures solo acompaña a --send"_s;
    }
    if (linea.simulacro && (linea.accion != LineaComandos::Accion::Enviar || linea.imagenes)) {
        linea.accion = LineaComandos::Accion::Error;
        linea.error = u"--dry-run solo acompaña a --send, sin --pictures"_s;
    }
    return linea;
}

QString rutaIniPredeterminada() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString junto = exe.absolutePath() + u'/' + exe.completeBaseName() + u".ini"_s;
    if (plataforma::carpetaEscribible(exe.absolutePath()) || QFileInfo(junto).isWritable())
        return junto;
    // Installed for every user (a folder like /usr/bin or Program Files): each user keeps settings
    // of their own.
    return plataforma::carpetaConfiguracionUsuario() + u'/' + exe.completeBaseName() + u".ini"_s;
}

QString textoAyuda() {
    return u"Uso: vendaro [opciones]\n"
           "Sin opciones inicia el programa en la bandeja del sistema.\n"
           "\n"
           "  --send [--pictures]  hace un envío de productos sin ventana y muestra el resumen;\n"
           "                       --pictures también sube las imágenes de los productos\n"
           "  --send --dry-run     muestra lo que el envío insertaría y actualizaría en cada "
           "tabla,\n"
           "                       sin escribir nada\n"
           "  --check              comprueba la instalación de Velmora Premium y las conexiones\n"
           "  --ini ARCHIVO        usa otro archivo de configuración (su carpeta hace de carpeta\n"
           "                       del programa)\n"
           "  -qvtx                modo de prueba: ventana visible, envíos de 50 productos\n"
           "  --help, --version\n"
           "\n"
           "Códigos de salida de --send y --check: 0 todo correcto, 1 algo falló,\n"
           "2 configuración inutilizable (no se encontró la instalación, o falta la llave de los\n"
           "valores cifrados).\n"_s;
}

namespace {
// Prints the steps; true when none failed.
bool imprimir(const QList<PasoComprobacion>& pasos, QTextStream& salida) {
    bool bien = true;
    for (const PasoComprobacion& p : pasos) {
        salida << p.texto << u'\n';
        bien = bien && !p.fallo();
    }
    salida.flush();
    return bien;
}
} // namespace

int ejecutarComprobacion(const QString& rutaIni, QTextStream& salida) {
    Componentes c;
    if (!c.crear())
        return Salida::AjustesInutiles;
    DatosComprobacion datos;
    bool utilizable = false;
    const bool ajustesBien = imprimir(comprobarAjustes(c, rutaIni, &datos, &utilizable), salida);
    if (!utilizable)
        return Salida::AjustesInutiles;
    const bool conexionesBien = imprimir(comprobarConexiones(datos), salida);
    return ajustesBien && conexionesBien ? Salida::Bien : Salida::Fallo;
}

namespace {
std::atomic<bool>* g_interrupcion = nullptr;

void alInterrumpir(int) {
    if (g_interrupcion)
        *g_interrupcion = true;
}

// The run on the terminal: a progress bar redrawn in place on a terminal, plain lines otherwise.
class VentanaTerminal final : public VentanaEnvio {
public:
    VentanaTerminal(QTextStream& salida, bool imagenes)
        : m_salida(salida)
        , m_imagenes(imagenes)
        , m_terminal(plataforma::salidaEsTerminal()) {}

    void producto(const QString& claveLeida, const QString& descripcionLeida, qint64 n,
                  qint64 total) override {
        // Point-of-sale data may hold line breaks or terminal commands.
        const QString clave = textoSeguro::paraMostrar(claveLeida);
        const QString descripcion = textoSeguro::paraMostrar(descripcionLeida);
        if (!m_terminal) {
            m_salida << u"Producto "_s << n << u" de "_s << total << u": "_s << clave << u" "_s
                     << descripcion << u'\n';
            m_salida.flush();
            return;
        }
        constexpr int Ancho = 30;
        const int lleno = total > 0 ? int(n * Ancho / total) : Ancho;
        m_salida << u"\r["_s << QString(lleno, u'#') << QString(Ancho - lleno, u'.') << u"] "_s << n
                 << u'/' << total << u' ' << clave.left(20).leftJustified(20);
        m_salida.flush();
        m_barra = true;
    }
    void imagenProducto(const QString& claveLeida, const QString&, qint64 n,
                        qint64 total) override {
        const QString clave = textoSeguro::paraMostrar(claveLeida);
        if (m_terminal) {
            m_salida << u"\rImágenes: "_s << n << u'/' << total << u' '
                     << clave.left(20).leftJustified(20);
            m_barra = true;
        } else {
            m_salida << u"Imágenes del producto "_s << n << u" de "_s << total << u": "_s << clave
                     << u'\n';
        }
        m_salida.flush();
    }
    bool imagenesPedidas() override { return m_imagenes; }
    void limpiarImagenes() override { m_imagenes = false; }
    void cambioPrevisto(const CambioPrevisto& cambio) override { m_cambios.append(cambio); }
    void fin(const ResumenEnvio& resumen) override {
        if (m_barra)
            m_salida << u'\n';
        imprimirCambios();
        if (!resumen.mensaje.isEmpty())
            m_salida << textoSeguro::paraMostrar(resumen.mensaje) << u'\n';
        m_salida << resumen.texto() << u'\n' << u"Bitácora: "_s
                 << QDir::toNativeSeparators(resumen.rutaBitacora) << u'\n';
        m_salida.flush();
    }

private:
    // What a dry run found, by table and then product, in the order the send would write it.
    void imprimirCambios() {
        if (m_cambios.isEmpty())
            return;
        QStringList tablas;
        for (const CambioPrevisto& c : m_cambios)
            if (!tablas.contains(c.tabla))
                tablas.append(c.tabla);
        auto texto = [](const Valor& v) {
            return v.esNulo() ? u"NULL"_s : u'«' + textoSeguro::paraMostrar(v.texto()) + u'»';
        };
        for (const QString& tabla : tablas) {
            m_salida << u"Tabla "_s << tabla << u":\n"_s;
            QString producto;
            bool insercion = false;
            for (const CambioPrevisto& c : m_cambios) {
                if (c.tabla != tabla)
                    continue;
                if (c.clave != producto || c.insercion != insercion || c.clave.isEmpty()) {
                    producto = c.clave;
                    insercion = c.insercion;
                    m_salida << u"  "_s << (c.insercion ? u"insertar"_s : u"actualizar"_s)
                             << (c.clave.isEmpty()
                                     ? QString()
                                     : u" producto «"_s + textoSeguro::paraMostrar(c.clave) + u'»')
                             << u":\n"_s;
                }
                m_salida << u"    "_s << c.columna << u": "_s
                         << (c.insercion ? texto(c.posterior)
                                         : texto(c.anterior) + u" → "_s + texto(c.posterior))
                         << u'\n';
            }
        }
        m_salida << m_cambios.size() << u" valores cambiarían; no se escribió nada.\n"_s;
    }

    QTextStream& m_salida;
    bool m_imagenes;
    bool m_terminal;
    bool m_barra = false;
    QList<CambioPrevisto> m_cambios;
};
} // namespace

int ejecutarEnvio(const QString& rutaIni, bool imagenes, QTextStream& salida, bool simulacro) {
    Componentes c;
    if (!c.crear())
        return Salida::AjustesInutiles;
    // The settings as --check reads them; the lines are shown only when something is wrong.
    DatosComprobacion leidos;
    bool utilizable = false;
    for (const PasoComprobacion& p : comprobarAjustes(c, rutaIni, &leidos, &utilizable))
        if (p.estado != PasoComprobacion::Estado::Bien)
            salida << p.texto << u'\n';
    salida.flush();
    if (!utilizable)
        return Salida::AjustesInutiles;
    Ajustes ajustes;
    ajustes.RutaIni = rutaIni;
    clnCampos campos;
    clsProcedimenti procedimiento(c, ajustes);
    if (!procedimiento.LeerConfiguracion(campos)) {
        // Without the point of sale there is nothing to send; the mapping is not at fault.
        salida << textoSeguro::paraMostrar(procedimiento.ultimoError()) << u'\n';
        salida.flush();
        return procedimiento.ajustesInutiles() ? Salida::AjustesInutiles : Salida::Fallo;
    }

    std::atomic<bool> interrupcion{false};
    g_interrupcion = &interrupcion;
    // Ctrl+C stops the run between products, so the product being written is finished first.
    auto anterior = std::signal(SIGINT, alInterrumpir);
    VentanaTerminal ventana(salida, imagenes);
    DatosEnvio datos = procedimiento.datosEnvio(campos);
    datos.simulacro = simulacro;
    const ResumenEnvio resumen = clsProcedimenti::EnviarProductos(datos, interrupcion, ventana);
    std::signal(SIGINT, anterior);
    g_interrupcion = nullptr;

    if (resumen.estado == ResumenEnvio::Estado::MapeoInvalido ||
        resumen.estado == ResumenEnvio::Estado::AjustesIlegibles)
        return Salida::AjustesInutiles;
    // Kept with the window's runs, which shows them among its last ones.
    if (!simulacro && resumen.estado != ResumenEnvio::Estado::EnCurso) {
        HistorialEnvios historial(rutaIni);
        historial.leer();
        QString error;
        if (!historial.agregar(resumen, QDateTime::currentDateTime(), &error))
            salida << u"No se guardó el envío en "_s << historial.ruta() << u": "_s << error
                   << u'\n';
        salida.flush();
    }
    if (simulacro)
        return resumen.estado == ResumenEnvio::Estado::Terminado ? Salida::Bien : Salida::Fallo;
    return resumen.completo() ? Salida::Bien : Salida::Fallo;
}
