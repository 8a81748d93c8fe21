#include "envio_segundo_plano.h"

#include <QThread>

class EnvioEnSegundoPlano::Ventana final : public VentanaEnvio {
public:
    explicit Ventana(EnvioEnSegundoPlano* dueno)
        : m_dueno(dueno) {}
    void inicio() override { Q_EMIT m_dueno->inicio(); }
    void producto(const QString& clave, const QString& descripcion, qint64 n,
                  qint64 total) override {
        Q_EMIT m_dueno->producto(clave, descripcion, n, total);
    }
    void avance(const AvanceEnvio& avance) override { Q_EMIT m_dueno->avance(avance); }
    void imagenProducto(const QString& clave, const QString& descripcion, qint64 n,
                        qint64 total) override {
        Q_EMIT m_dueno->imagenProducto(clave, descripcion, n, total);
    }
    void subiendoArchivos(bool subiendo) override { Q_EMIT m_dueno->subiendoArchivos(subiendo); }
    void cambioPrevisto(const CambioPrevisto& cambio) override {
        Q_EMIT m_dueno->cambioPrevisto(cambio);
    }
    bool imagenesPedidas() override { return m_dueno->m_imagenes; }
    void limpiarImagenes() override {
        m_dueno->m_imagenes = false;
        Q_EMIT m_dueno->imagenesLimpiadas();
    }
    void fin(const ResumenEnvio& resumen) override {
        // A new send may be asked for as soon as the window hears of this one's end.
        m_dueno->m_activo = false;
        Q_EMIT m_dueno->terminado(resumen);
    }

private:
    EnvioEnSegundoPlano* m_dueno;
};

EnvioEnSegundoPlano::EnvioEnSegundoPlano(QObject* padre)
    : QObject(padre) {
    qRegisterMetaType<ResumenEnvio>("ResumenEnvio");
    qRegisterMetaType<CambioPrevisto>("CambioPrevisto");
    qRegisterMetaType<AvanceEnvio>("AvanceEnvio");
}

EnvioEnSegundoPlano::~EnvioEnSegundoPlano() {
    m_interrupcion = true;
    esperar();
}

void EnvioEnSegundoPlano::esperar() {
    if (m_hilo)
        m_hilo->wait();
}

bool EnvioEnSegundoPlano::iniciar(const DatosEnvio& datos, clsFTP* ftp) {
    if (m_activo)
        return false;
    esperar(); // the previous thread has told its end and is only returning
    m_activo = true;
    m_hilo = QThread::create([this, datos, ftp] {
        Ventana ventana(this);
        clsProcedimenti::EnviarProductos(datos, m_interrupcion, ventana, ftp);
    });
    connect(m_hilo, &QThread::finished, m_hilo, &QObject::deleteLater);
    m_hilo->start();
    return true;
}
