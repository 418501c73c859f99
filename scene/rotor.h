// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The rotor logic: its state, the vane presets, Run, the frame drawn on every tick, and the two
// plotting routines all drawing goes through.
//
// It knows nothing of Qt: it draws on a `surface::Surface`, switches a `surface::Timer`, and
// yields to a `Host` once per frame; the window (ui/) and the headless driver (tools/) each supply
// the three. The layering is told in the README.
#pragma once

#include "scene/presets.h"
#include "surface/surface.h"
#include "surface/timer.h"

#include <cstdint>

namespace rotavel::scene {

// What the frame yields to: whoever runs the event loop.
class Host {
public:
    virtual ~Host() = default;
    // Handles every event already pending, once, without waiting for new ones. A Run, a preset
    // or a close may arrive here, between the frame's drawing and its stop test.
    virtual void processPendingEvents() = 0;
};

class Rotor {
public:
    static constexpr double kStep = 0.05;           // radians a tick
    static constexpr double kTwoPi = 6.28318;       // the rotor's own five-decimal 2*pi
    static constexpr double kStopAngle = 25.132736; // 8 * 3.141592: four turns
    static constexpr double kPivotRadius = 6;
    static constexpr surface::Colour kGreen = 0x0000FF00; // blades
    static constexpr surface::Colour kWhite = 0x00FFFFFF; // hubs, pivot circles, links

    Rotor(surface::Surface& area, surface::Timer& timer, Host& host)
        : m_area(area), m_timer(timer), m_host(host) {}

    // The window's events.
    void load();     // coordinates of the drawing area and the start-up state
    void activate(); // the persistent image on
    void run();      // hub bar, timer on, angle back to 0
    void choose(const Preset& preset);
    // One frame, yielding to the host between its drawing and its stop test. The timer never
    // nests ticks (surface::Timer holds one that falls due in the yield).
    void tick();
    // The window is gone: from now on nothing touches the drawing area or the timer, not even the
    // rest of a tick whose yield handled the close.
    void close() { m_closed = true; }

    double angle() const { return m_angle; }
    std::int16_t nvanes() const { return m_nvanes; }
    double bladelen() const { return m_bladelen; }
    bool isClosed() const { return m_closed; }

    // A segment from (a, b) to (x, y); the third coordinates are ignored.
    void line3d(double a, double b, double c, double x, double y, double z);
    // An arc of radius r about (crx, cry) from angle a to b in steps of 0.1 rad, as one point and
    // a chain of segments; crz is ignored.
    void arc3dxy(double crx, double cry, double crz, double a, double b, double r);

private:
    surface::Surface& m_area;
    surface::Timer& m_timer;
    Host& m_host;

    double m_angle = 0;
    std::int16_t m_nvanes = 2;
    double m_bladelen = 5.5;

    bool m_closed = false;
};

} // namespace rotavel::scene
