// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "scene/rotor.h"

#include <array>
#include <cmath>

namespace rotavel::scene {

namespace {

// Every circle of a frame starts at angle 0 and steps through the same 64 angles: 1,150 cosines
// and sines a frame for 8 vanes. They are worked out once, from the same sums of 0.1 the arc's
// loop makes, so every point comes out exactly as if computed afresh.
struct Turn {
    double cos, sin;
};
constexpr int kKnownTurns = 64;

const std::array<Turn, kKnownTurns>& turnsFromZero() {
    static const std::array<Turn, kKnownTurns> turns = [] {
        std::array<Turn, kKnownTurns> steps{};
        double t = 0;
        for (Turn& step : steps) {
            step = {std::cos(t), std::sin(t)};
            t += 0.1;
        }
        return steps;
    }();
    return turns;
}

} // namespace

void Rotor::load() {
    if (m_closed)
        return;
    m_area.Scale(-13, -18, 13, 13);
    m_nvanes = 2;
    m_bladelen = 5.5; // not the 7.3 of the "2 Vanes" preset: choosing it lengthens the blades
}

void Rotor::activate() {
    if (m_closed)
        return;
    m_area.setAutoRedraw(true);
}

void Rotor::run() {
    if (m_closed)
        return;
    line3d(-1, 0, 10, 1, 0, 10);
    m_timer.setEnabled(true);
    m_angle = 0;
}

void Rotor::choose(const Preset& preset) {
    m_bladelen = preset.bladelen;
    m_nvanes = preset.nvanes;
}

void Rotor::tick() {
    if (m_closed)
        return;
    m_angle += kStep;
    m_area.Cls();

    const int n = m_nvanes;
    const double len = m_bladelen;
    double x = 0, y = 0;           // the pivot
    double plusX = 0, plusY = 0;   // link point on one side of the pivot circle
    double minusX = 0, minusY = 0; // and on the other
    for (int i = 0; i <= n; ++i) { // n + 1 passes: the first vane is drawn twice
        const double s = (i * kTwoPi) / n;
        const double theta = s + m_angle;
        const double thetaMinus = s - m_angle;
        x = kPivotRadius * std::cos(theta);
        y = kPivotRadius * std::sin(theta);
        plusX = x + 2 * std::sin(thetaMinus);
        plusY = y + 2 * std::cos(theta);
        minusX = x - 2 * std::sin(thetaMinus);
        minusY = y - 2 * std::cos(theta);
        const double bladeX = len * std::cos(theta / 2);
        const double bladeY = len * std::sin(theta / 2);

        line3d(-1, 0, 10, 1, 0, 10);  // hub bar
        arc3dxy(0, 0, 10, 0, 6.3, 1); // hub circle
        m_area.setDrawWidth(4);
        m_area.setForeColor(kGreen);
        line3d(x + bladeX, y + bladeY, 10, x - bladeX, y - bladeY, 10); // blade
        m_area.setDrawWidth(2);
        m_area.setForeColor(kWhite);
        arc3dxy(x, y, 10, 0, 6.3, 2); // pivot circle
    }

    // Links from the hub circle to the last vane's pivot circle, one along each side.
    line3d(-y / 6, x / 6, 10, plusX, plusY, 10);
    line3d(y / 6, -x / 6, 10, minusX, minusY, 10);
    if (n == 2 || n == 4 || n == 6) { // and on to the opposite vane
        line3d(minusX, minusY, 10, -plusX, -plusY, 10);
        line3d(-minusX, -minusY, 10, plusX, plusY, 10);
    }

    m_host.processPendingEvents();
    if (m_closed)
        return; // the window went away in the yield: leave it alone
    if (m_angle > kStopAngle)
        m_timer.setEnabled(false);
}

void Rotor::line3d(double a, double b, double, double x, double y, double) {
    m_area.Line(static_cast<float>(a), static_cast<float>(b), static_cast<float>(x),
                static_cast<float>(y));
}

void Rotor::arc3dxy(double crx, double cry, double, double a, double b, double r) {
    const std::array<Turn, kKnownTurns>& known = turnsFromZero();
    const bool fromZero = a == 0 && !std::signbit(a); // from -0 the sines keep their sign
    int step = 0;
    for (double t = a; t <= b; t += 0.1, ++step) {
        const bool isKnown = fromZero && step < kKnownTurns;
        const double cos = isKnown ? known[step].cos : std::cos(t);
        const double sin = isKnown ? known[step].sin : std::sin(t);
        const auto px = static_cast<float>(crx + r * cos);
        const auto py = static_cast<float>(cry + r * sin);
        if (t == a) {
            m_area.PSet(px, py);
        } else {
            m_area.Line(px, py);
        }
        // Past about 2^53 * 0.1 the step no longer moves t; stop rather than loop for ever.
        if (t + 0.1 == t)
            break;
    }
}

} // namespace rotavel::scene
