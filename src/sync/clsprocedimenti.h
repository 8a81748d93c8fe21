#pragma once

#include "config/ajustes.h"
#include "config/estrucs.h"
#include "services/conexion.h"
#include "ventana_envio.h"

#include <QList>

#include <atomic>

struct Componentes;
class clsFTP;

// Everything a send run works on, copied when it starts so that settings saved meanwhile (or the
// window's mapping being rebuilt) cannot change the running send.
struct DatosEnvio {
    Ajustes ajustes;
    DatosConexion pos; // the point-of-sale database, as located at start
    clnCampos campos;
    bool modoPrueba = false;
    // Reads both sides and reports what would change (VentanaEnvio::cambioPrevisto), writing
    // nothing.
    bool simulacro = false;
};

// Loading of the settings and the field mapping, and the product send run.
class clsProcedimenti {
public:
    clsProcedimenti(Componentes& compartidos, Ajustes& ajustes);

    // Loads section "Configuración" into the settings record (writing defaults for missing keys)
    // and rebuilds the mapping. The window shows the result; nothing here touches it. False when
    // the defaults could not be written into the settings file (ajustesInutiles(): the mapping is
    // read all the same) or the point-of-sale database did not open; ultimoError() says why.
    bool LeerConfiguracion(clnCampos& campos, QList<Estrucs>* filas = nullptr);
    QString ultimoError() const { return m_ultimoError; }
    bool ajustesInutiles() const { return m_ajustesInutiles; }

    // Rebuilds the mapping from the columns of `productos` and section "Campos", and reads the
    // point-of-sale configuration (sizes/colours, picture folder). *filas receives one row per
    // column for the mapping page. False when the point-of-sale database did not open: the
    // collection is then empty and the configuration members and rows keep what they had.
    bool LeerDeLosCampos(clnCampos& campos, QList<Estrucs>* filas = nullptr);

    // The copy a run works on.
    DatosEnvio datosEnvio(const clnCampos& campos) const;

    // One send run on the calling thread with the current settings. The FTP client uploads the
    // pictures when the window asks for them (null: a client of the run's own).
    ResumenEnvio EnviarProductos(const clnCampos& campos, std::atomic<bool>& blInterruptus,
                                 VentanaEnvio& ventana, clsFTP* ftp = nullptr) const;
    // One send run on a copy; may run on a worker thread (it opens its own connections, and uses
    // the FTP client only there meanwhile).
    static ResumenEnvio EnviarProductos(const DatosEnvio& datos, std::atomic<bool>& blInterruptus,
                                        VentanaEnvio& ventana, clsFTP* ftp = nullptr);

private:
    Componentes& m_compartidos;
    Ajustes& m_ajustes;
    QString m_ultimoError;
    bool m_ajustesInutiles = false;
};

// How the point-of-sale configuration stores its flags: a number other than 0, or a yes-like word.
bool aBooleano(const Valor& valor);

// The picture folder with its closing separator.
QString conSeparadorFinal(const QString& carpeta);
