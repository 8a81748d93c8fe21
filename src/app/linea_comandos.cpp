#include "linea_comandos.h"

#include "../config/ajustes.h"
#include "../services/bitacora.h"
#include "../services/componentes.h"
#include "../services/instalacion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

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
    return linea;
}

QString rutaIniPredeterminada() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return exe.absolutePath() + u'/' + exe.completeBaseName() + u".ini"_s;
}

QString textoAyuda() {
    return u"Uso: vendaro [opciones]\n"
           "Sin opciones inicia el programa en la bandeja del sistema.\n"
           "\n"
           "  --send [--pictures]  hace un envío de productos sin ventana y muestra el resumen;\n"
           "                       --pictures también sube las imágenes de los productos\n"
           "  --check              comprueba la instalación de Velmora Premium y las conexiones\n"
           "  --ini ARCHIVO        usa otro archivo de configuración (su carpeta hace de carpeta\n"
           "                       del programa)\n"
           "  -qvtx                modo de prueba: ventana visible, envíos de 50 productos\n"
           "  --help, --version\n"
           "\n"
           "Códigos de salida de --send y --check: 0 todo correcto, 1 algo falló,\n"
           "2 configuración inutilizable (no se encontró la instalación).\n"_s;
}

int ejecutarComprobacion(const QString& rutaIni, QTextStream& salida) {
    Componentes c;
    if (!c.crear())
        return Salida::AjustesInutiles;
    salida << u"Archivo de configuración: "_s << rutaIni << u'\n';
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
    CargarAjustes(ajustes, *c.qvtx, *c.utilerias);

    int resultado = Salida::Bien;
    Conexion pos;
    const QString servidor = (c.bases->cRuta.isEmpty() ? u"localhost"_s : c.bases->cRuta) + u':' +
                             QString::number(c.bases->cPuerto);
    if (c.bases->AbrirBdD(pos, c.bases->cMiBase)) {
        salida << u"Base de datos del punto de venta «"_s << c.bases->cMiBase << u"» en "_s
               << servidor << u": conexión correcta\n"_s;
    } else {
        salida << u"Base de datos del punto de venta «"_s << c.bases->cMiBase << u"» en "_s
               << servidor << u": no se pudo abrir ("_s << pos.ultimoError() << u")\n"_s;
        resultado = Salida::Fallo;
    }
    c.bases->CierraBdD(pos);
    salida.flush();
    return resultado;
}
