// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/animation_timer.h"

#include <QTimer>

#ifdef __linux__
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace rotavel::ui {

TickNotifier::TickNotifier(QObject* parent) : QSocketNotifier(QSocketNotifier::Read, parent) {
    setObjectName(QStringLiteral("Timer1"));
#ifdef __linux__
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
#endif
    if (m_fd >= 0) {
        setSocket(m_fd); // and left unwatched until switched on
        connect(this, &QSocketNotifier::activated, this, [this] { onExpired(); });
    } else {
        m_fallback = new QTimer(this);
        m_fallback->setTimerType(Qt::PreciseTimer);
        m_fallback->setInterval(interval());
        connect(m_fallback, &QTimer::timeout, this, [this] { onExpired(); });
    }
}

TickNotifier::~TickNotifier() {
    if (m_fd >= 0) {
        setEnabled(false); // unwatched before the descriptor goes
#ifdef __linux__
        ::close(m_fd);
#endif
    }
}

void TickNotifier::setActive(bool on) {
    if (on == m_on)
        return; // on while on: the period under way stands
    m_on = on;
    arm(on);
}

void TickNotifier::arm(bool on) {
    if (m_fallback) {
        // A QTimer is not delivered again inside its own tick, so it may run through one.
        if (on)
            m_fallback->start();
        else
            m_fallback->stop();
        return;
    }
#ifdef __linux__
    const long ns = on ? interval() * 1'000'000L : 0;
    const itimerspec period{{0, ns}, {0, ns}}; // first expiry one period from now; zero disarms
    timerfd_settime(m_fd, 0, &period, nullptr);
#endif
    setEnabled(on);
}

int TickNotifier::remainingTime() const {
    if (!m_on)
        return -1;
    if (m_fallback)
        return m_fallback->remainingTime();
#ifdef __linux__
    itimerspec left{};
    if (timerfd_gettime(m_fd, &left) == 0)
        return static_cast<int>(left.it_value.tv_sec * 1000 + left.it_value.tv_nsec / 1'000'000);
#endif
    return 0;
}

void TickNotifier::onExpired() {
#ifdef __linux__
    if (m_fd >= 0) {
        // The count of periods gone by: one tick for all of them.
        std::uint64_t expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) < 0 && errno == EAGAIN)
            return;
    }
#endif
    if (m_on)
        emit timeout();
}

AnimationTimer::AnimationTimer(QObject* parent) : m_notifier(new TickNotifier(parent)) {
    QObject::connect(m_notifier, &TickNotifier::timeout, m_notifier, [this] { deliverTick(); });
}

AnimationTimer::~AnimationTimer() {
    // The notifier outlives this object until its parent goes; it must not call back in between.
    m_notifier->setActive(false);
    QObject::disconnect(m_notifier, &TickNotifier::timeout, m_notifier, nullptr);
}

} // namespace rotavel::ui
