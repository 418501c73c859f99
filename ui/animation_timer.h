// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/timer.h"

#include <QSocketNotifier>

class QTimer;

namespace rotavel::ui {

// `Timer1` as the window holds it: on Linux the kernel keeps the 10 ms period (a timerfd, watched
// here), so the ticks come on a steady grid instead of the millisecond steps of a QTimer;
// elsewhere, or if the kernel refuses a timerfd, a precise QTimer stands in. It emits timeout()
// at most once per period; periods missed by a long tick are dropped, not queued.
class TickNotifier final : public QSocketNotifier {
    Q_OBJECT

public:
    explicit TickNotifier(QObject* parent);
    ~TickNotifier() override;

    // Switching it on while it is on keeps the period under way; switching it off disarms it, so
    // nothing wakes the program while stopped.
    void setActive(bool on);
    bool isActive() const { return m_on; }
    int interval() const { return surface::Timer::kIntervalMs; }
    Qt::TimerType timerType() const { return Qt::PreciseTimer; }
    // Milliseconds to the next tick, -1 while off.
    int remainingTime() const;

signals:
    void timeout();

private:
    void onExpired();
    void arm(bool on);

    int m_fd = -1;
    QTimer* m_fallback = nullptr;
    bool m_on = false;
};

// `Timer1` for the rotor: a tick for each timeout() of a TickNotifier that belongs to the window.
// One that comes while a tick runs (the tick yields to the event loop) is held by surface::Timer.
class AnimationTimer final : public surface::Timer {
public:
    // The TickNotifier is created as a child of `parent`, which owns it.
    explicit AnimationTimer(QObject* parent);
    ~AnimationTimer() override;

    AnimationTimer(const AnimationTimer&) = delete;
    AnimationTimer& operator=(const AnimationTimer&) = delete;

    void setEnabled(bool on) override { m_notifier->setActive(on); }
    bool isEnabled() const override { return m_notifier->isActive(); }

    // The toolkit's side of the timer, for wiring and inspection.
    TickNotifier* notifier() const { return m_notifier; }

private:
    TickNotifier* m_notifier;
};

} // namespace rotavel::ui
