// Test entry point: a Qt application object (QApplication on the offscreen platform for the window
// tests), and a configuration folder of the run's own so the encryption key never touches the
// user's.
#include "services/plataforma.h"

#include <QTemporaryDir>

#ifdef VENDARO_PRUEBAS_GUI
#include <QApplication>
using Aplicacion = QApplication;
#else
#include <QCoreApplication>
using Aplicacion = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // As the program's own main() does.
    plataforma::prepararProceso();
    QTemporaryDir configuracion;
    qputenv("XDG_CONFIG_HOME", configuracion.path().toUtf8());
#ifdef VENDARO_PRUEBAS_GUI
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // On Windows the offscreen platform reads font files from a folder of its own, empty unless
    // named: without fonts no size resolves (QFontInfo answers -1 pixels). The system's fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR") && !qEnvironmentVariableIsEmpty("WINDIR"))
        qputenv("QT_QPA_FONTDIR",
                (qEnvironmentVariable("WINDIR") + QStringLiteral("\\Fonts")).toUtf8());
#endif
    Aplicacion app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
