// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/call_log.h"
#include "surface/manual_timer.h"
#include "surface/recording_surface.h"

#include <gtest/gtest.h>

using namespace rotavel::surface;

TEST(CallLog, FormatsEveryCallAsTheTraceLine) {
    EXPECT_EQ(formatCall({Call::Op::Scale, -13, -18, 13, 13}), "scale -13 -18 13 13");
    EXPECT_EQ(formatCall({Call::Op::Cls}), "cls");
    EXPECT_EQ(formatCall({Call::Op::Line, -1, 0, 1, 0.5f}), "line -1 0 1 0.5");
    EXPECT_EQ(formatCall({Call::Op::LineTo, 0.1f, -2e-8f}), "lineto 0.100000001 -1.99999999e-08");
    EXPECT_EQ(formatCall({Call::Op::PSet, 1, 0}), "pset 1 0");
    EXPECT_EQ(formatCall({.op = Call::Op::DrawWidth, .width = 4}), "drawwidth 4");
    EXPECT_EQ(formatCall({.op = Call::Op::ForeColor, .colour = 0xFF00}), "forecolor 0x0000FF00");
    EXPECT_EQ(formatCall({.op = Call::Op::ForeColor, .colour = kHighlightText}),
              "forecolor 0x8000000E");
    EXPECT_EQ(formatCall({.op = Call::Op::AutoRedraw, .on = true}), "autoredraw on");
    EXPECT_EQ(formatCall({.op = Call::Op::Timer, .on = false}), "timer off");
    EXPECT_EQ(formatCall({.op = Call::Op::Yield}), "yield");
}

// "%.9g" gives back the exact float, so a trace can be compared bit for bit.
TEST(CallLog, CoordinatesSurviveTheRoundTrip) {
    for (const float f : {6.28318f, 1e-30f, -123456.789f, 0.05f, 3.4e38f}) {
        const std::string text = formatCall({Call::Op::PSet, f, 0});
        EXPECT_EQ(std::strtof(text.c_str() + 5, nullptr), f) << text;
    }
}

TEST(CallLog, ClearKeepsItsStorage) {
    CallLog log(16);
    for (int i = 0; i < 16; ++i)
        log.append({Call::Op::Cls});
    const Call* before = log.calls().data();
    log.clear();
    log.append({Call::Op::Cls});
    EXPECT_EQ(log.calls().data(), before);
    EXPECT_EQ(log.size(), 1u);
}

TEST(RecordingSurface, LogsInOrderAndForwardsWithTheSameState) {
    CallLog log, forwarded;
    RecordingSurface inner(forwarded);
    RecordingSurface area(log, &inner);
    EXPECT_EQ(area.drawWidth(), 1);
    EXPECT_EQ(area.foreColor(), kHighlightText);
    EXPECT_FALSE(area.autoRedraw());
    area.setAutoRedraw(true);
    area.setAutoRedraw(true);
    area.Scale(-13, -18, 13, 13);
    area.Cls();
    area.PSet(1, 2);
    area.Line(3, 4);
    area.Line(5, 6, 7, 8);
    area.setDrawWidth(4);
    area.setForeColor(0xFF00);
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log.calls(), forwarded.calls());
    EXPECT_EQ(formatCall(log.calls()[1]), "autoredraw on") << "every assignment is logged";
    EXPECT_EQ(formatCall(log.calls()[5]), "lineto 3 4");
    EXPECT_EQ(area.drawWidth(), 4);
    EXPECT_EQ(inner.foreColor(), 0xFF00u);
}

// A fire delivers a tick only while the timer is on, and every switch is logged; switching it off
// inside a tick lets that tick finish.
TEST(ManualTimer, DeliversOnlyWhileEnabledAndLogsEveryAssignment) {
    CallLog log;
    ManualTimer timer(&log);
    int steps = 0;
    timer.setTickHandler([&] {
        ++steps;
        timer.setEnabled(false);
        ++steps;
    });
    EXPECT_FALSE(timer.fire());
    timer.setEnabled(true);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.fire());
    EXPECT_FALSE(timer.fire());
    EXPECT_EQ(steps, 2) << "one tick, run to its end";
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(formatCall(log.calls()[1]), "timer on");
    EXPECT_EQ(formatCall(log.calls()[2]), "timer off");
}

TEST(Colours, ResolveToRgbWithSystemColoursFromTheLightScheme) {
    EXPECT_EQ(toRgb(0x00C00000), 0x0000C0u);
    EXPECT_EQ(toRgb(0x0000FF00), 0x00FF00u);
    EXPECT_EQ(toRgb(0x000000FF), 0xFF0000u);
    EXPECT_EQ(toRgb(kHighlightText), 0xFFFFFFu);
    EXPECT_EQ(toRgb(0x80FFFFFF), 0x000000u) << "an unknown system colour must not fail";
}
