// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/timer.h"

#include <QObject>

class QSocketNotifier;
class QTimer;

namespace rotavel::ui {

// `Timer1` on screen, a child of the window. On Linux the kernel keeps the 10 ms period (a
// timerfd, watched by a socket notifier), so the ticks come on a steady grid instead of the
// millisecond steps of a QTimer; elsewhere, or if the kernel refuses a timerfd, a precise QTimer
// stands in. A tick comes at most once per period; periods missed by a long tick are dropped, not
// queued. One that comes while a tick runs (the tick yields to the event loop) is held by
// surface::Timer.
class AnimationTimer final : public QObject, public surface::Timer {
    Q_OBJECT

public:
    explicit AnimationTimer(QObject* parent);
    ~AnimationTimer() override;

    // Switching it on while it is on keeps the period under way; switching it off disarms it, so
    // nothing wakes the program while stopped.
    void setEnabled(bool on) override;
    bool isEnabled() const override { return m_on; }

private:
    void onExpired();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr; // watches m_fd while on
    QTimer* m_fallback = nullptr;          // without a timerfd
    bool m_on = false;
};

} // namespace rotavel::ui
