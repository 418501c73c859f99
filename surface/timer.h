// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <functional>

namespace rotavel::surface {

// The animation timer: switched on and off by the rotor logic; while on, it delivers a tick every
// `Interval` milliseconds, one at a time, on the event thread.
class Timer {
public:
    static constexpr int kIntervalMs = 10;

    virtual ~Timer() = default;

    // Switching it on while it is on leaves it running (it never restarts the period); switching it
    // off inside a tick lets that tick finish.
    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
    int Interval() const { return kIntervalMs; }

    // Who receives the ticks; set once, before the timer is first enabled.
    void setTickHandler(std::function<void()> handler) { m_onTick = std::move(handler); }

protected:
    void deliverTick() {
        if (m_onTick)
            m_onTick();
    }

private:
    std::function<void()> m_onTick;
};

} // namespace rotavel::surface
