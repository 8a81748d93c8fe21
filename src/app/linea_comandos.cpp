#include "linea_comandos.h"

#include "../config/ajustes.h"
#include "../config/certificado_ftp.h"
#include "../ftp/clsftp.h"
#include "../ftp/destino_ftp.h"
#include "../services/bitacora.h"
#include "../services/componentes.h"
#include "../services/instalacion.h"
#include "../services/plataforma.h"
#include "../services/texto_seguro.h"
#include "../services/tunel_ssh.h"
#include "../sync/clsprocedimenti.h"
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
    if (QFileInfo(exe.absolutePath()).isWritable() || QFileInfo(junto).isWritable())
        return junto;
    // Installed for every user (a folder like /usr/bin): each user keeps settings of their own.
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
// Headless there is nobody to agree to a new key: the run stops and says which file is missing.
bool llaveUtilizable(const Componentes& c, const QString& rutaIni, QTextStream& salida) {
    const QString problema = ComprobarLlave(*c.qvtx, *c.utilerias, rutaIni);
    if (problema.isEmpty())
        return true;
    salida << problema
           << u"\nPonga en su lugar una copia de ese archivo, o abra el programa para crear una "
              u"llave nueva y escribir de nuevo los valores cifrados.\n"_s;
    salida.flush();
    return false;
}
} // namespace

namespace {
// A file that is not a settings file is never rewritten; lines that mean nothing (a file cut
// short) and keys given twice are shown. False when the file cannot be used at all.
bool archivoUtilizable(const Componentes& c, const QString& rutaIni, QTextStream& salida,
                       bool* completo) {
    const libQVTX::EstadoIni estado = c.qvtx->EstadoArchivo(rutaIni);
    if (!estado.problema.isEmpty()) {
        salida << u"El archivo de configuración "_s << rutaIni << u' ' << estado.problema
               << u"; no se usa ni se modifica.\n"_s;
        salida.flush();
        return false;
    }
    for (const QString& linea : estado.sinSentido)
        salida << u"Archivo de configuración, "_s << textoSeguro::paraMostrar(linea)
               << u": no es una sección ni una clave (¿el archivo quedó cortado?)\n"_s;
    for (const QString& repetida : estado.repetidas)
        salida << u"Aviso: en el archivo de configuración "_s << textoSeguro::paraMostrar(repetida)
               << u'\n';
    if (completo)
        *completo = estado.sinSentido.isEmpty();
    return true;
}

// The way to the shop's database: with a tunnel, its SSH session (host key and login) before the
// database is tried through it. False when the tunnel does not open.
bool probarRutaTienda(QTextStream& salida, BasesDD& web, int& resultado) {
    TunelSsh* tunel = web.opciones.tunel.get();
    if (!tunel)
        return true;
    salida << u"Ruta a la tienda: por túnel SSH "_s << textoSeguro::paraMostrar(tunel->ruta());
    if (tunel->abrirCanal(web.cRuta, web.cPuerto)) {
        salida << u", llave del servidor "_s << tunel->huella() << u'\n';
        return true;
    }
    if (!tunel->huella().isEmpty())
        salida << u", llave del servidor "_s << tunel->huella();
    salida << u": no se pudo abrir ("_s << textoSeguro::paraMostrar(tunel->ultimoError())
           << u")\n"_s;
    resultado = Salida::Fallo;
    return false;
}
} // namespace

int ejecutarComprobacion(const QString& rutaIni, QTextStream& salida) {
    Componentes c;
    if (!c.crear())
        return Salida::AjustesInutiles;
    salida << u"Archivo de configuración: "_s << rutaIni << u'\n';
    bool completo = true;
    if (!archivoUtilizable(c, rutaIni, salida, &completo))
        return Salida::AjustesInutiles;
    if (!llaveUtilizable(c, rutaIni, salida))
        return Salida::AjustesInutiles;
    if (!LocalizarInstalacion(*c.qvtx, *c.registro, *c.bases, rutaIni, true)) {
        const QString carpeta = c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, rutaIni);
        salida << u"Instalación de Velmora Premium: no se encontró en «"_s << carpeta
               << u"» (falta el archivo velmora.ini); corrija «"_s << ClaveRutaHost
               << u"» en el archivo de configuración.\n"_s;
        salida.flush();
        return Salida::AjustesInutiles;
    }
    salida << u"Instalación de Velmora Premium: encontrada ("_s
           << c.qvtx->LeeIni(SeccionConfiguracion, ClaveRutaHost, rutaIni) << u")\n"_s;

    Ajustes ajustes;
    ajustes.RutaIni = rutaIni;
    clnCampos campos;
    clsProcedimenti procedimiento(c, ajustes);
    procedimiento.LeerConfiguracion(campos);
    if (procedimiento.ajustesInutiles()) {
        salida << textoSeguro::paraMostrar(procedimiento.ultimoError()) << u'\n';
        salida.flush();
        return Salida::AjustesInutiles;
    }

    int resultado = completo ? Salida::Bien : Salida::Fallo;
    auto probar = [&](const QString& nombre, BasesDD& bases, const QString& base, Conexion& cn) {
        const QString servidor = (bases.cRuta.isEmpty() ? u"localhost"_s : bases.cRuta) + u':' +
                                 QString::number(bases.cPuerto);
        salida << nombre << u" «"_s << textoSeguro::paraMostrar(base) << u"» en "_s
               << textoSeguro::paraMostrar(servidor);
        if (bases.AbrirBdD(cn, base)) {
            const QString cifrado = cn.cifrado();
            salida << u": conexión correcta, "_s
                   << (cifrado.isEmpty() ? u"sin cifrar"_s : u"cifrada ("_s + cifrado + u')')
                   << (cn.comprimida() ? u", comprimida"_s : QString()) << u'\n';
            return true;
        }
        salida << u": no se pudo abrir ("_s << textoSeguro::paraMostrar(cn.ultimoError())
               << u")\n"_s;
        resultado = Salida::Fallo;
        return false;
    };
    Conexion cnPos;
    probar(u"Base de datos del punto de venta"_s, *c.bases, c.bases->cMiBase, cnPos);
    c.bases->CierraBdD(cnPos);
    BasesDD web;
    ConexionTienda(web, ajustes);
    Conexion cnWeb;
    if (probarRutaTienda(salida, web, resultado) &&
        probar(u"Base de datos de la tienda"_s, web, ajustes.BaseDatosWeb, cnWeb)) {
        // What a send would write, checked as the send checks it before writing.
        const QList<UsoDeTabla> usos = TablasDelEnvio(campos, ajustes);
        QHash<QString, TablaTienda> esquema;
        QString error;
        QStringList problemas;
        if (campos.isEmpty())
            problemas.append(u"la relación de campos no está definida"_s);
        else if (!LeerEsquemaTienda(cnWeb, NombresDeTablas(usos), &esquema, &error))
            problemas.append(error);
        else
            problemas = ComprobarTablas(cnWeb, usos, esquema, true, true);
        if (problemas.isEmpty()) {
            salida << u"Relación de campos en la tienda: las tablas y columnas existen y el "_s
                      u"usuario puede escribirlas\n"_s;
        } else {
            for (const QString& p : problemas)
                salida << u"Relación de campos en la tienda: "_s << textoSeguro::paraMostrar(p)
                       << u'\n';
            resultado = Salida::Fallo;
        }
    }
    web.CierraBdD(cnWeb);

    if (ajustes.DireccionFTP.trimmed().isEmpty()) {
        salida << u"Servidor FTP: sin configurar\n"_s;
    } else if (const QString ilegibles = motivoIlegibles(ajustes, true); !ilegibles.isEmpty()) {
        salida << u"Servidor FTP: "_s << ilegibles << u'\n';
        resultado = Salida::Fallo;
    } else {
        clsFTP ftp;
        PrepararClienteFTP(ftp, ajustes);
        salida << u"Servidor FTP «"_s
               << textoSeguro::paraMostrar(DestinoFTP::sinContrasena(ajustes.DireccionFTP))
               << u"» como «"_s << textoSeguro::paraMostrar(ajustes.UsuarioFTP) << u'»';
        if (ftp.OpenConnection(ajustes.DireccionFTP, ajustes.UsuarioFTP, ajustes.PasswordFTP)) {
            salida << u": sesión correcta\n"_s;
            if (!ftp.IsEncrypted())
                salida << u"Aviso: la sesión FTP no está cifrada (el servidor no ofrece TLS): "_s
                          u"la contraseña y las imágenes viajan en claro. Use una dirección "_s
                          u"ftpes://, ftps:// o sftp:// si el servidor lo permite.\n"_s;
            ftp.CloseConnection();
        } else {
            salida << u": no se pudo entrar ("_s
                   << textoSeguro::paraMostrar(MensajeErrorFTP(ftp, ajustes)) << u")\n"_s;
            resultado = Salida::Fallo;
        }
    }
    salida.flush();
    return resultado;
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
        m_salida << resumen.texto() << u'\n' << u"Bitácora: "_s << resumen.rutaBitacora << u'\n';
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
    if (!c.crear() || !archivoUtilizable(c, rutaIni, salida, nullptr) ||
        !llaveUtilizable(c, rutaIni, salida))
        return Salida::AjustesInutiles;
    if (!LocalizarInstalacion(*c.qvtx, *c.registro, *c.bases, rutaIni, true)) {
        salida << u"No se encontró la instalación de Velmora Premium indicada en "_s << rutaIni
               << u"\n"_s;
        salida.flush();
        return Salida::AjustesInutiles;
    }
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
    if (simulacro)
        return resumen.estado == ResumenEnvio::Estado::Terminado ? Salida::Bien : Salida::Fallo;
    return resumen.completo() ? Salida::Bien : Salida::Fallo;
}
