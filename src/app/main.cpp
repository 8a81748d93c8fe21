#include "linea_comandos.h"

#include "../services/bitacora.h"
#include "../services/decontroles_gui.h"
#include "../services/modoprueba.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
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
        return ejecutarEnvio(rutaIni, linea.imagenes, salida);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"vendaro"_s);
    QApplication::setApplicationVersion(QStringLiteral(VENDARO_VERSION));
    registrarClasesGui();
    errores << u"vendaro: la ventana del programa aún no está disponible en esta versión; use "
               u"--check\n"_s;
    return Salida::Fallo;
}
