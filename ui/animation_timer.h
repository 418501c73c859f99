#pragma once

#include "surface/timer.h"

#include <QTimer>

namespace rotavel::ui {

// `Timer1` on screen: the animation timer over a precise 10 ms QTimer that belongs to the window.
//
// Ticks never nest. Qt itself does not deliver a timer again while its own tick runs, but only as
// long as the timer keeps its id, so switching it on while it runs leaves it alone instead of
// restarting it; a tick that still arrives while one runs is dropped, and the next period brings
// the next one.
class AnimationTimer final : public surface::Timer {
public:
    // The QTimer is created as a child of `parent`, which owns it.
    explicit AnimationTimer(QObject* parent);
    ~AnimationTimer() override;

    AnimationTimer(const AnimationTimer&) = delete;
    AnimationTimer& operator=(const AnimationTimer&) = delete;

    void setEnabled(bool on) override;
    bool isEnabled() const override { return m_timer->isActive(); }

    // The toolkit's timer, for wiring and inspection.
    QTimer* qtimer() const { return m_timer; }

private:
    void onTimeout();

    QTimer* m_timer;
    bool m_inTick = false;
};

} // namespace rotavel::ui
