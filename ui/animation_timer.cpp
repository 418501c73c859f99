// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/animation_timer.h"

#include <QSocketNotifier>
#include <QTimer>

#ifdef __linux__
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace rotavel::ui {

AnimationTimer::AnimationTimer(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("Timer1"));
#ifdef __linux__
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
#endif
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(QSocketNotifier::Read, this);
        m_notifier->setSocket(m_fd); // and left unwatched until switched on
        connect(m_notifier, &QSocketNotifier::activated, this, &AnimationTimer::onExpired);
    } else {
        m_fallback = new QTimer(this);
        m_fallback->setTimerType(Qt::PreciseTimer);
        m_fallback->setInterval(kIntervalMs);
        connect(m_fallback, &QTimer::timeout, this, &AnimationTimer::onExpired);
    }
}

AnimationTimer::~AnimationTimer() {
    if (m_notifier) {
        m_notifier->setEnabled(false); // unwatched before the descriptor goes
#ifdef __linux__
        ::close(m_fd);
#endif
    }
}

void AnimationTimer::setEnabled(bool on) {
    if (on == m_on)
        return; // on while on: the period under way stands
    m_on = on;
    if (m_fallback) {
        // A QTimer is not delivered again inside its own tick, so it may run through one.
        if (on)
            m_fallback->start();
        else
            m_fallback->stop();
        return;
    }
#ifdef __linux__
    const long ns = on ? kIntervalMs * 1'000'000L : 0;
    const itimerspec period{{0, ns}, {0, ns}}; // first expiry one period from now; zero disarms
    timerfd_settime(m_fd, 0, &period, nullptr);
#endif
    m_notifier->setEnabled(on);
}

void AnimationTimer::onExpired() {
#ifdef __linux__
    if (m_notifier) {
        // The count of periods gone by: one tick for all of them.
        std::uint64_t expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) < 0 && errno == EAGAIN)
            return;
    }
#endif
    if (m_on)
        deliverTick();
}

} // namespace rotavel::ui
