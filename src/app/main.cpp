#include "linea_comandos.h"

#include "../services/bitacora.h"
#include "../services/decontroles_gui.h"
#include "../services/dialogos_gui.h"
#include "../services/modoprueba.h"
#include "../services/plataforma.h"
#include "clsinicio_tray.h"
#include "frminicial_window.h"
#include "instancia_unica.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QTextStream>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    plataforma::prepararProceso();
    plataforma::conectarConsola();
    QStringList argumentos;
    for (int i = 1; i < argc; ++i)
        argumentos.append(QString::fromLocal8Bit(argv[i]));
    const LineaComandos linea = analizarLineaComandos(argumentos);
    establecerLineaComandos(argumentos);

    QTextStream salida(stdout);
    QTextStream errores(stderr);
    if (linea.accion == LineaComandos::Accion::Error) {
        errores << u"vendaro: "_s << linea.error << u"\n"_s << textoAyuda();
        return Salida::AjustesInutiles;
    }
    if (linea.accion == LineaComandos::Accion::Ayuda) {
        salida << textoAyuda();
        return Salida::Bien;
    }
    if (linea.accion == LineaComandos::Accion::Version) {
        salida << u"vendaro "_s << QStringLiteral(VENDARO_VERSION) << u'\n';
        return Salida::Bien;
    }

    if (linea.accion == LineaComandos::Accion::Comprobar ||
        linea.accion == LineaComandos::Accion::Enviar) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(u"vendaro"_s);
        QCoreApplication::setApplicationVersion(QStringLiteral(VENDARO_VERSION));
        const QString rutaIni = linea.rutaIni.isEmpty() ? rutaIniPredeterminada() : linea.rutaIni;
        bitacora::iniciar(bitacora::rutaPara(rutaIni), bitacora::Opciones{});
        if (linea.accion == LineaComandos::Accion::Comprobar)
            return ejecutarComprobacion(rutaIni, salida);
        return ejecutarEnvio(rutaIni, linea.imagenes, salida, linea.simulacro);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"vendaro"_s);
    QApplication::setApplicationVersion(QStringLiteral(VENDARO_VERSION));
    QApplication::setWindowIcon(QIcon(u":/vendaro/vendaro.svg"_s));
    // The window lives in the notification area: hiding it must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    registrarClasesGui();
    const QString rutaIni = linea.rutaIni.isEmpty() ? rutaIniPredeterminada() : linea.rutaIni;
    // A copy already running on these settings shows its window instead (before the log is
    // opened, which is that copy's).
    InstanciaUnica unica(rutaIni);
    if (unica.avisarOTomar())
        return Salida::Bien;
    bitacora::iniciar(bitacora::rutaPara(rutaIni), bitacora::Opciones{});
    DialogosQt dialogos;
    Dialogos::instalar(&dialogos);
    int resultado = Salida::Bien;
    {
        frmInicial ventana(rutaIni);
        dialogos.setVentana(&ventana);
        // The start at logon repeats the settings file option, and only that.
        QStringList orden{QCoreApplication::applicationFilePath()};
        if (!linea.rutaIni.isEmpty())
            orden << u"--ini"_s << linea.rutaIni;
        ventana.setOrdenInicio(orden);
        QObject::connect(&unica, &InstanciaUnica::mostrarPedido, &ventana,
                         [&ventana] { clsInicio::Restaurar(&ventana); });
        if (!ventana.Form_Load())
            resultado = Salida::AjustesInutiles;
        else
            resultado = app.exec();
        dialogos.setVentana(nullptr);
    }
    Dialogos::instalar(nullptr);
    bitacora::terminar();
    return resultado;
}
