#include "programador.h"

#include <QTimer>

using namespace Qt::StringLiterals;

RelojQt::RelojQt(QObject* padre)
    : Reloj(padre)
    , m_timer(new QTimer(this)) {
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &Reloj::tic);
}

void RelojQt::iniciar() {
    m_timer->start();
}
void RelojQt::detener() {
    m_timer->stop();
}
bool RelojQt::activo() const {
    return m_timer->isActive();
}

Programador::Programador(Reloj* reloj, QObject* padre)
    : QObject(padre)
    , m_reloj(reloj) {
    m_reloj->setParent(this);
    connect(m_reloj, &Reloj::tic, this, &Programador::Timer1_Timer);
}

Programador::Restante Programador::TiempoRestante(int intervaloMinutos, int minutos, int segundos) {
    const qint32 transcurrido = qint32(minutos) * 60 + segundos;
    // An interval saved below the minutes already counted leaves nothing to wait for; the next tick
    // sends.
    const qint32 resto = std::max<qint32>(0, qint32(intervaloMinutos) * 60 - transcurrido);
    Restante r;
    r.horas = resto / 3600;
    const qint32 sinHoras = resto - r.horas * 3600;
    r.minutos = sinHoras / 60;
    r.segundos = sinHoras % 60;
    return r;
}

QString Programador::textoRestante(const Restante& r) {
    return QString::number(r.horas) + u" hors. "_s + QString::number(r.minutos) + u" min. "_s +
           QString::number(r.segundos) + u" segs."_s;
}

void Programador::Timer1_Timer() {
    if (++m_segundos > 59) {
        m_segundos = 0;
        ++m_minutos;
    }
    Q_EMIT cuenta(textoRestante(TiempoRestante(m_intervalo, m_minutos, m_segundos)));
    if (m_intervalo > 0 && m_minutos >= m_intervalo) {
        m_segundos = 0;
        m_minutos = 0;
        Q_EMIT tiempoCumplido();
    }
}
