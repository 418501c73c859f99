// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "expected_presets.h"
#include "rotor_rig.h"

#include <cmath>
#include <gtest/gtest.h>

using rotavel::scene::findPreset;
using rotavel::scene::Host;
using rotavel::scene::kPresets;
using rotavel::scene::Preset;
using rotavel::surface::Call;
using Op = Call::Op;

namespace {

// The rig, loaded and activated, its log cleared; its frames' yields log themselves.
struct Bench : Host, rotavel::testing::RotorRig {
    Bench() : RotorRig(this) {
        rotor.load();
        rotor.activate();
        log.clear();
    }
    void processPendingEvents() override { log.append({.op = Op::Yield}); }
};

// The calls one pass makes: hub bar, hub circle (1 + 63), two pen changes, blade, two pen changes,
// pivot circle (1 + 63).
constexpr int kCallsPerPass = 1 + 64 + 2 + 1 + 2 + 64;

int linksFor(int n) {
    return (n == 2 || n == 4 || n == 6) ? 4 : 2;
}

} // namespace

// Loaded, the rotor has two short vanes, stopped and undrawn; Run draws the hub bar in the pen the
// area starts with, then switches the timer on.
TEST(Rotor, StartsWithTwoShortVanesStoppedAndUndrawnAndRunDrawsTheHubBar) {
    rotavel::testing::RotorRig rig;
    rig.rotor.load();
    EXPECT_EQ(rig.rotor.nvanes(), 2);
    EXPECT_EQ(rig.rotor.bladelen(), 5.5);
    EXPECT_FALSE(rig.timer.isEnabled());
    rig.rotor.run();
    ASSERT_EQ(rig.log.size(), 3u);
    EXPECT_EQ(formatCall(rig.log.calls()[0]), "scale -13 -18 13 13");
    EXPECT_EQ(formatCall(rig.log.calls()[1]), "line -1 0 1 0");
    EXPECT_EQ(formatCall(rig.log.calls()[2]), "timer on");
    EXPECT_EQ(rig.area.drawWidth(), 1);
    EXPECT_EQ(rig.area.foreColor(), 0x8000000Eu);
}

TEST(Rotor, PresetTableMatchesTheMenu) {
    const auto& expected = rotavel::testing::expectedPresets();
    ASSERT_EQ(kPresets.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kPresets[i].item, expected[i].item);
        EXPECT_EQ(kPresets[i].caption, expected[i].caption);
        EXPECT_EQ(kPresets[i].nvanes, expected[i].nvanes);
        EXPECT_EQ(kPresets[i].bladelen, expected[i].bladelen);
        EXPECT_EQ(findPreset(expected[i].item), &kPresets[i]);
    }
    EXPECT_EQ(findPreset("sseven"), nullptr);
}

// A frame: its clear, n + 1 passes of hub bar, hub circle, green 4-wide pen, blade, white 2-wide
// pen and pivot circle, the links, the yield, the timer left on until the stop. Every point is
// worked out here from the frame's own formulas, for pass i of n vanes
// with blade length L at the rotor's angle a:
//   s = i * 6.28318 / n,   t = s + a,   u = s - a
//   pivot            (X, Y) = (6 cos t, 6 sin t)
//   blade ends       (X + L cos(t/2), Y + L sin(t/2)) to (X - L cos(t/2), Y - L sin(t/2))
//   link points      P+ = (X + 2 sin u, Y + 2 cos t),   P- = (X - 2 sin u, Y - 2 cos t)
// A pivot circle starts at (X + 2, Y). After the last pass the links join (-Y/6, X/6) to P+ and
// (Y/6, -X/6) to P-, and for 2, 4 and 6 vanes P- to -P+ and -P- to P+.
TEST(Rotor, EveryFrameDrawsItsPassesAndLinksWhereTheFormulasPutThem) {
    struct Point {
        double x, y;
    };
    const auto expectAt = [](float x, float y, Point p, const std::string& what) {
        EXPECT_NEAR(x, p.x, 1e-4) << what;
        EXPECT_NEAR(y, p.y, 1e-4) << what;
    };
    for (const auto& row : rotavel::testing::expectedPresets()) {
        for (const int ticks : {1, 38, 251, 503}) {
            SCOPED_TRACE(row.caption + ", tick " + std::to_string(ticks));
            Bench b;
            const Preset preset = row.preset();
            b.rotor.run();
            b.rotor.choose(preset); // chosen while running: the next frames take it
            double a = 0;
            for (int t = 0; t < ticks; ++t) {
                a += 0.05;
                b.log.clear();
                b.timer.fire();
            }
            const int n = row.nvanes;
            const double len = row.bladelen;
            const auto& c = b.log.calls();
            ASSERT_EQ(c.size(), 1 + std::size_t(n + 1) * kCallsPerPass + linksFor(n) + 1 +
                                    (ticks == 503 ? 1 : 0));
            EXPECT_NEAR(b.rotor.angle(), a, 1e-12);
            EXPECT_EQ(c.front().op, Op::Cls);
            EXPECT_EQ(formatCall(c.back()), ticks == 503 ? "timer off" : "yield");
            EXPECT_EQ(b.count(Op::PSet), 2 * (n + 1));
            EXPECT_EQ(b.count(Op::Line), 2 * (n + 1) + linksFor(n));
            Point pivot{}, plus{}, minus{};
            for (int i = 0; i <= n; ++i) {
                const double s = i * 6.28318 / n, t = s + a, u = s - a;
                pivot = {6 * std::cos(t), 6 * std::sin(t)};
                plus = {pivot.x + 2 * std::sin(u), pivot.y + 2 * std::cos(t)};
                minus = {pivot.x - 2 * std::sin(u), pivot.y - 2 * std::cos(t)};
                const Point blade{len * std::cos(t / 2), len * std::sin(t / 2)};
                const std::size_t at = 1 + std::size_t(i) * kCallsPerPass;
                const std::string pass = "pass " + std::to_string(i);
                EXPECT_EQ(formatCall(c[at]), "line -1 0 1 0") << pass;
                EXPECT_EQ(formatCall(c[at + 1]), "pset 1 0") << pass;
                EXPECT_EQ(formatCall(c[at + 65]), "drawwidth 4") << pass;
                EXPECT_EQ(formatCall(c[at + 66]), "forecolor 0x0000FF00") << pass;
                EXPECT_EQ(formatCall(c[at + 68]), "drawwidth 2") << pass;
                EXPECT_EQ(formatCall(c[at + 69]), "forecolor 0x00FFFFFF") << pass;
                ASSERT_EQ(c[at + 67].op, Op::Line) << pass;
                ASSERT_EQ(c[at + 70].op, Op::PSet) << pass;
                const Call& bladeLine = c[at + 67];
                expectAt(bladeLine.x1, bladeLine.y1, {pivot.x + blade.x, pivot.y + blade.y},
                         pass + ": blade's first end");
                expectAt(bladeLine.x2, bladeLine.y2, {pivot.x - blade.x, pivot.y - blade.y},
                         pass + ": blade's second end");
                expectAt(c[at + 70].x1, c[at + 70].y1, {pivot.x + 2, pivot.y},
                         pass + ": pivot circle");
            }
            const std::size_t links = 1 + std::size_t(n + 1) * kCallsPerPass;
            const std::vector<std::pair<Point, Point>> expected = {
                {{-pivot.y / 6, pivot.x / 6}, plus},
                {{pivot.y / 6, -pivot.x / 6}, minus},
                {minus, {-plus.x, -plus.y}},
                {{-minus.x, -minus.y}, plus},
            };
            for (int k = 0; k < linksFor(n); ++k) {
                const Call& link = c[links + std::size_t(k)];
                ASSERT_EQ(link.op, Op::Line);
                expectAt(link.x1, link.y1, expected[std::size_t(k)].first,
                         "link " + std::to_string(k) + ": first end");
                expectAt(link.x2, link.y2, expected[std::size_t(k)].second,
                         "link " + std::to_string(k) + ": second end");
            }
        }
    }
}
