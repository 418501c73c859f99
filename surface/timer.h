// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <functional>

namespace rotavel::surface {

// The animation timer: switched on and off by the rotor logic; while on, it delivers a tick every
// `kIntervalMs` milliseconds on the event thread.
//
// Ticks never nest, and this class alone sees to it, for the window's timer and the hand-ticked
// one alike: every tick enters through deliverTick(). A tick that falls due while one runs (in
// the frame's yield) is held and delivered right after the running tick returns, and only if the
// timer is still on then; each held tick is delivered, one after another.
class Timer {
public:
    static constexpr int kIntervalMs = 10;

    virtual ~Timer() = default;

    // Switching it on while it is on leaves it running (it never restarts the period); switching it
    // off inside a tick lets that tick finish and drops the ticks held behind it.
    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;

    // Who receives the ticks; set once, before the timer is first enabled.
    void setTickHandler(std::function<void()> handler) { m_onTick = std::move(handler); }

protected:
    // The one entry of every tick, from whatever makes the timer fire.
    void deliverTick();

private:
    std::function<void()> m_onTick;
    bool m_ticking = false;
    std::size_t m_held = 0; // ticks that fell due during the running one
};

} // namespace rotavel::surface
