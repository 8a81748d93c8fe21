#pragma once

#include <QObject>
#include <QString>

class QTimer;

// The one-second tick that drives the countdown. Replaceable so that the scheduler's tests advance
// time by hand instead of sleeping.
class Reloj : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void iniciar() = 0;
    virtual void detener() = 0;
    virtual bool activo() const = 0;
Q_SIGNALS:
    void tic();
};

// A QTimer firing every 1000 ms.
class RelojQt final : public Reloj {
    Q_OBJECT
public:
    explicit RelojQt(QObject* padre = nullptr);
    void iniciar() override;
    void detener() override;
    bool activo() const override;

private:
    QTimer* m_timer;
};

// The send scheduler: counts seconds and minutes while the timer is on, tells the time left until
// the next automatic send, and asks for a send when the counted minutes reach the interval.
class Programador : public QObject {
    Q_OBJECT
public:
    // Takes ownership of the clock.
    explicit Programador(Reloj* reloj, QObject* padre = nullptr);

    void setIntervaloMinutos(int minutos) { m_intervalo = minutos; }
    int intervaloMinutos() const { return m_intervalo; }
    int SegundosTranscurridos() const { return m_segundos; }
    int MinutosTranscurridos() const { return m_minutos; }
    void setTranscurrido(int minutos, int segundos) {
        m_minutos = minutos;
        m_segundos = segundos;
    }

    // Timer1 on and off. Without an interval it stays off: only the user starts a send then.
    void encender() {
        if (m_intervalo > 0)
            m_reloj->iniciar();
    }
    void apagar() { m_reloj->detener(); }
    bool encendido() const { return m_reloj->activo(); }
    Reloj* reloj() const { return m_reloj; }

    struct Restante {
        int horas = 0;
        int minutos = 0;
        int segundos = 0;
    };
    // The time left until the next automatic send (never below zero).
    static Restante TiempoRestante(int intervaloMinutos, int minutos, int segundos);
    // "h hors. m min. s segs."
    static QString textoRestante(const Restante& r);

Q_SIGNALS:
    // The countdown label's new text.
    void cuenta(const QString& texto);
    // The interval has passed: the window sends now.
    void tiempoCumplido();

private:
    void Timer1_Timer();

    Reloj* m_reloj;
    int m_intervalo = 0;
    int m_segundos = 0;
    int m_minutos = 0;
};
