// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "expected_presets.h"
#include "rotor_rig.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using rotavel::scene::findPreset;
using rotavel::scene::Host;
using rotavel::scene::kPresets;
using rotavel::scene::Preset;
using rotavel::scene::Rotor;
using rotavel::surface::Call;
using rotavel::surface::CallLog;
using rotavel::surface::ManualTimer;
using rotavel::surface::RecordingSurface;
using Op = Call::Op;

namespace {

// A host whose yield logs itself and then runs whatever the test put in `pending`, once.
struct ScriptedHost : Host {
    explicit ScriptedHost(CallLog& log) : log(log) {}
    void processPendingEvents() override {
        log.append({.op = Op::Yield});
        auto events = std::move(pending);
        pending = nullptr;
        if (events)
            events();
    }
    CallLog& log;
    std::function<void()> pending;
};

// The rig with that host, loaded and activated, its log cleared.
struct Bench : rotavel::testing::RotorRig {
    Bench() : RotorRig(&host) {
        rotor.load();
        rotor.activate();
        log.clear();
    }
    ScriptedHost host{log};
};

// The calls one pass makes: hub bar, hub circle (1 + 63), two pen changes, blade, two pen changes,
// pivot circle (1 + 63).
constexpr int kCallsPerPass = 1 + 64 + 2 + 1 + 2 + 64;

int linksFor(int n) {
    return (n == 2 || n == 4 || n == 6) ? 4 : 2;
}

} // namespace

TEST(Rotor, StartsWithTwoShortVanesStoppedAndUndrawn) {
    CallLog log;
    RecordingSurface area(log);
    ManualTimer timer(&log);
    ScriptedHost host(log);
    Rotor rotor(area, timer, host);
    rotor.load();
    EXPECT_EQ(rotor.nvanes(), 2);
    EXPECT_EQ(rotor.bladelen(), 5.5);
    EXPECT_EQ(rotor.angle(), 0);
    EXPECT_FALSE(timer.isEnabled());
    ASSERT_EQ(log.size(), 1u); // the coordinates only: nothing drawn, the timer untouched
    EXPECT_EQ(formatCall(log.calls()[0]), "scale -13 -18 13 13");
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

TEST(Rotor, PresetChangesStateOnlyAndTheLastChoiceWins) {
    Bench b;
    b.rotor.choose(*findPreset("eeight"));
    b.rotor.choose(*findPreset("oone"));
    EXPECT_EQ(b.rotor.nvanes(), 1);
    EXPECT_EQ(b.rotor.bladelen(), 8);
    EXPECT_EQ(b.log.size(), 0u);
    EXPECT_FALSE(b.timer.isEnabled());
}

TEST(Rotor, RunDrawsTheHubBarInTheInitialPenThenStartsTheTimer) {
    Bench b;
    b.rotor.run();
    ASSERT_EQ(b.log.size(), 2u);
    EXPECT_EQ(formatCall(b.log.calls()[0]), "line -1 0 1 0");
    EXPECT_EQ(formatCall(b.log.calls()[1]), "timer on");
    EXPECT_EQ(b.area.drawWidth(), 1);
    EXPECT_EQ(b.area.foreColor(), 0x8000000Eu);
    EXPECT_EQ(b.rotor.angle(), 0);
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
            b.rotor.choose(preset);
            b.rotor.run();
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

TEST(Rotor, StopsOnTick503AndNeverTicksAgainUntilRun) {
    Bench b;
    b.rotor.run();
    b.log.clear();
    EXPECT_EQ(b.runToStop(), 503);
    EXPECT_EQ(b.count(Op::Timer), 1);
    EXPECT_EQ(formatCall(b.log.calls().back()), "timer off");
    EXPECT_GT(b.rotor.angle(), 25.132736);
    EXPECT_FALSE(b.timer.fire());
    b.rotor.run();
    EXPECT_EQ(b.runToStop(), 503);
}

TEST(Rotor, RunDuringARunRestartsTheFourTurns) {
    Bench b;
    b.rotor.run();
    for (int t = 0; t < 200; ++t)
        b.timer.fire();
    b.log.clear();
    b.rotor.run();
    EXPECT_EQ(formatCall(b.log.calls().back()), "timer on") << "the running timer is set on again";
    EXPECT_EQ(b.runToStop(), 503);
}

TEST(Rotor, PresetChosenMidRunShapesTheNextFrames) {
    Bench b;
    b.rotor.run();
    for (int t = 0; t < 100; ++t)
        b.timer.fire();
    b.rotor.choose(*findPreset("tthree"));
    b.log.clear();
    b.timer.fire();
    EXPECT_EQ(b.count(Op::PSet), 2 * 4);
    const auto& c = b.log.calls();
    const Call blade = c[1 + 67];
    EXPECT_NEAR(std::hypot(blade.x2 - blade.x1, blade.y2 - blade.y1), 10, 1e-5);
    EXPECT_EQ(101 + b.runToStop(), 503);
}

TEST(Rotor, RunHandledInTheYieldRestartsBeforeTheStopTest) {
    Bench b;
    b.rotor.run();
    for (int t = 0; t < 502; ++t)
        b.timer.fire();
    b.host.pending = [&] { b.rotor.run(); };
    b.log.clear();
    EXPECT_TRUE(b.timer.fire());
    EXPECT_EQ(b.rotor.angle(), 0);
    EXPECT_TRUE(b.timer.isEnabled());
    EXPECT_EQ(b.count(Op::Timer), 1) << "only the Run's own switch-on";
    EXPECT_EQ(b.runToStop(), 503);
}

TEST(Rotor, CloseHandledInTheYieldEndsTheTickUntouched) {
    Bench b;
    b.rotor.run();
    for (int t = 0; t < 502; ++t)
        b.timer.fire();
    b.host.pending = [&] { b.rotor.close(); };
    b.log.clear();
    b.timer.fire(); // the stop test of this tick would switch the timer off
    EXPECT_EQ(b.log.calls().back().op, Op::Yield);
    EXPECT_EQ(b.count(Op::Timer), 0);
    b.log.clear();
    b.rotor.run();
    b.rotor.tick();
    b.rotor.activate();
    b.rotor.load();
    EXPECT_EQ(b.log.size(), 0u) << "a closed window is never drawn on again";
}

TEST(Rotor, TicksFallingDueInTheYieldWaitForTheRunningTickAndEachFollowsIt) {
    Bench b;
    b.rotor.run();
    b.host.pending = [&] {
        EXPECT_TRUE(b.timer.fire()); // held: must not draw here
        EXPECT_TRUE(b.timer.fire());
        EXPECT_EQ(b.log.calls().back().op, Op::Yield);
    };
    b.log.clear();
    b.timer.fire();
    EXPECT_EQ(b.count(Op::Cls), 3) << "each held tick ran once, after the first";
    EXPECT_EQ(b.count(Op::Yield), 3);
    EXPECT_NEAR(b.rotor.angle(), 0.15, 1e-15);
}

TEST(Rotor, HeldTickIsDroppedWhenTheRunningTickStopsTheTimer) {
    Bench b;
    b.rotor.run();
    for (int t = 0; t < 502; ++t)
        b.timer.fire();
    b.host.pending = [&] { b.timer.fire(); };
    b.log.clear();
    b.timer.fire();
    EXPECT_EQ(b.count(Op::Cls), 1);
    EXPECT_FALSE(b.timer.isEnabled());
    b.rotor.run();
    b.log.clear();
    b.timer.fire();
    EXPECT_EQ(b.count(Op::Cls), 1) << "the dropped tick is not kept for the next run";
}
