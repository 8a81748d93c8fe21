#pragma once

#include "sync/clsprocedimenti.h"

#include <QObject>
#include <QPointer>

#include <atomic>

class QThread;
class clsFTP;

// Runs one send at a time on a worker thread, so the window never freezes on a slow network; what
// the run shows reaches the window through queued signals.
class EnvioEnSegundoPlano : public QObject {
    Q_OBJECT
public:
    explicit EnvioEnSegundoPlano(QObject* padre = nullptr);
    // Asks a running send to stop and waits for it.
    ~EnvioEnSegundoPlano() override;

    // From the start of a send until it has told its end.
    bool activo() const { return m_activo; }
    // Starts a send on the copy; false when one is running. The FTP client is used by the run's
    // thread until the run has ended.
    bool iniciar(const DatosEnvio& datos, clsFTP* ftp = nullptr);
    // The confirmed interruption: the run stops before its next product.
    void interrumpir() { m_interrupcion = true; }
    // The state of the picture request, read by the run when its products are done.
    void setImagenesPedidas(bool pedidas) { m_imagenes = pedidas; }
    // Waits until the running send has finished (for shutting down).
    void esperar();

Q_SIGNALS:
    void inicio();
    void producto(const QString& clave, const QString& descripcion, qint64 n, qint64 total);
    void avance(const AvanceEnvio& avance);
    void imagenesLimpiadas();
    void imagenProducto(const QString& clave, const QString& descripcion, qint64 n, qint64 total);
    void subiendoArchivos(bool subiendo);
    // A dry run's finding (the run is called with DatosEnvio::simulacro).
    void cambioPrevisto(const CambioPrevisto& cambio);
    void terminado(const ResumenEnvio& resumen);

private:
    class Ventana;
    QPointer<QThread> m_hilo; // may still be finishing after the run told its end
    std::atomic<bool> m_activo{false};
    std::atomic<bool> m_interrupcion{false};
    std::atomic<bool> m_imagenes{false};
};
