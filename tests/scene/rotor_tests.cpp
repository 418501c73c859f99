// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

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
    ASSERT_EQ(kPresets.size(), 7u);
    EXPECT_EQ(kPresets[0].caption, "1 vane ");
    EXPECT_EQ(kPresets[1].caption, "2 Vanes");
    EXPECT_EQ(findPreset("eeight")->nvanes, 8);
    EXPECT_EQ(findPreset("mv2")->bladelen, 4.2);
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

TEST(Rotor, EveryPresetDrawsNPlusOnePassesAndItsLinks) {
    for (const Preset& p : kPresets) {
        SCOPED_TRACE(std::string(p.item));
        Bench b;
        b.rotor.choose(p);
        b.rotor.run();
        b.log.clear();
        b.timer.fire();
        const int n = p.nvanes;
        // cls, the passes, the links, the yield; the timer stays on.
        EXPECT_EQ(int(b.log.size()), 1 + (n + 1) * kCallsPerPass + linksFor(n) + 1);
        EXPECT_EQ(b.log.calls().front().op, Op::Cls);
        EXPECT_EQ(b.log.calls().back().op, Op::Yield);
        EXPECT_EQ(b.count(Op::PSet), 2 * (n + 1));
        EXPECT_EQ(b.count(Op::Line), 2 * (n + 1) + linksFor(n));
        EXPECT_EQ(b.count(Op::Timer), 0);
        EXPECT_NEAR(b.rotor.angle(), 0.05, 1e-15);
    }
}

TEST(Rotor, PassesDrawHubBladeAndPivotInOrderWithTheirPens) {
    Bench b;
    b.rotor.choose(*findPreset("tthree"));
    b.rotor.run();
    b.log.clear();
    b.timer.fire();
    const auto& c = b.log.calls();
    const double angle = 0.05;
    for (int i = 0; i <= 3; ++i) {
        SCOPED_TRACE(i);
        const std::size_t at = 1 + std::size_t(i) * kCallsPerPass;
        EXPECT_EQ(formatCall(c[at]), "line -1 0 1 0");
        EXPECT_EQ(formatCall(c[at + 1]), "pset 1 0");
        EXPECT_EQ(formatCall(c[at + 65]), "drawwidth 4");
        EXPECT_EQ(formatCall(c[at + 66]), "forecolor 0x0000FF00");
        const double theta = i * 6.28318 / 3 + angle, x = 6 * std::cos(theta),
                     y = 6 * std::sin(theta);
        const Call blade = c[at + 67];
        ASSERT_EQ(blade.op, Op::Line);
        EXPECT_EQ(blade.x1, float(x + 5 * std::cos(theta / 2)));
        EXPECT_EQ(blade.y2, float(y - 5 * std::sin(theta / 2)));
        EXPECT_EQ(formatCall(c[at + 68]), "drawwidth 2");
        EXPECT_EQ(formatCall(c[at + 69]), "forecolor 0x00FFFFFF");
        ASSERT_EQ(c[at + 70].op, Op::PSet);
        EXPECT_EQ(c[at + 70].x1, float(x + 2));
        EXPECT_EQ(c[at + 70].y1, float(y));
    }
}

// The hub links end on the hub circle and on the last vane's pivot circle, one on each side of the
// line from the hub to that pivot; the opposite links reach the pivot circle across the hub.
TEST(Rotor, LinksJoinTheHubCircleToTheFirstVaneAndOnToTheOppositeOne) {
    for (const int n : {1, 2, 3, 4, 5, 6, 8}) {
        SCOPED_TRACE(n);
        Bench b;
        b.rotor.choose(Preset{"x", "x", std::int16_t(n), 3});
        b.rotor.run();
        for (int t = 0; t < 37; ++t)
            b.timer.fire();
        b.log.clear();
        b.timer.fire();
        const double a = b.rotor.angle(), theta = n * 6.28318 / n + a;
        const double px = 6 * std::cos(theta), py = 6 * std::sin(theta);
        const auto& c = b.log.calls();
        const std::size_t first = 1 + std::size_t(n + 1) * kCallsPerPass;
        ASSERT_EQ(c.size(), first + linksFor(n) + 1);
        for (int k = 0; k < 2; ++k) {
            const Call link = c[first + k];
            ASSERT_EQ(link.op, Op::Line);
            EXPECT_NEAR(std::hypot(link.x1, link.y1), 1, 1e-5);
            EXPECT_NEAR(std::hypot(link.x2 - px, link.y2 - py), 2, 1e-4);
            // perpendicular to the hub-to-pivot direction, on opposite sides
            const double side = (link.x1 * py - link.y1 * px) / 6;
            EXPECT_NEAR(std::abs(side), 1, 1e-5);
            EXPECT_EQ(side < 0, k == 0) << "hub links on the wrong sides";
        }
        if (linksFor(n) == 4) {
            const Call out = c[first + 2], back = c[first + 3];
            EXPECT_NEAR(std::hypot(out.x1 - px, out.y1 - py), 2, 1e-4);
            EXPECT_NEAR(std::hypot(out.x2 + px, out.y2 + py), 2, 1e-4);
            EXPECT_NEAR(std::hypot(back.x1 + px, back.y1 + py), 2, 1e-4);
            EXPECT_NEAR(std::hypot(back.x2 - px, back.y2 - py), 2, 1e-4);
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
