#include "ui/animation_timer.h"

#include <QScopedValueRollback>

namespace rotavel::ui {

AnimationTimer::AnimationTimer(QObject* parent) : m_timer(new QTimer(parent)) {
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(kIntervalMs);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] { onTimeout(); });
}

AnimationTimer::~AnimationTimer() {
    // The QTimer outlives this object until its parent goes; it must not call back in between.
    m_timer->stop();
    QObject::disconnect(m_timer, &QTimer::timeout, m_timer, nullptr);
}

void AnimationTimer::setEnabled(bool on) {
    if (!on) {
        m_timer->stop();
    } else if (!m_timer->isActive()) {
        // start() on a running QTimer would restart it under a new id, which Qt would then deliver
        // inside the running tick's yield.
        m_timer->start();
    }
}

void AnimationTimer::onTimeout() {
    if (m_inTick)
        return;
    const QScopedValueRollback inTick(m_inTick, true);
    deliverTick();
}

} // namespace rotavel::ui
