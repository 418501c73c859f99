// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "rotor_rig.h"

#include <cmath>
#include <gtest/gtest.h>

using rotavel::surface::Call;
using Op = Call::Op;
using Plotter = rotavel::testing::RotorRig;

// The third coordinates are ignored, and the others narrowed to single precision at the call.
TEST(Plotting, Line3dIsOneLineInSinglePrecisionIgnoringTheThirdCoordinates) {
    Plotter p;
    p.rotor.line3d(-1, 0, 10, 1, 0, 10);
    p.rotor.line3d(-1, 0, -7e30, 1, 0, std::nan(""));
    p.rotor.line3d(0.1, 1.0 / 3, 0, 6.28318, -2.5e-8, 0);
    const auto& c = p.log.calls();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0], c[1]);
    EXPECT_EQ(formatCall(c[0]), "line -1 0 1 0");
    EXPECT_EQ(c[2].x1, 0.1f);
    EXPECT_EQ(c[2].y1, float(1.0 / 3));
    EXPECT_EQ(c[2].x2, 6.28318f);
    EXPECT_EQ(c[2].y2, -2.5e-8f);
}

// The angle grows by repeated addition of 0.1 from 0 while it is not above the end: a closed
// circle is one point then 63 segments past the start. Every point, also past those 64 and from
// -0, is the fresh cosine and sine of the angle.
TEST(Plotting, ArcsArePointsAtTheSummedAnglesExactly) {
    for (const auto& [end, points] : {std::pair{6.3, 64u}, {7.0, 71u}}) {
        Plotter p;
        p.rotor.arc3dxy(0, 0, 10, 0, end, 1);
        const auto& c = p.log.calls();
        ASSERT_EQ(c.size(), points);
        EXPECT_EQ(formatCall(c[0]), "pset 1 0");
        double t = 0;
        for (std::size_t k = 0; k < c.size(); ++k, t += 0.1) {
            EXPECT_EQ(c[k].op, k == 0 ? Op::PSet : Op::LineTo) << k;
            EXPECT_EQ(c[k].x1, float(std::cos(t))) << k;
            EXPECT_EQ(c[k].y1, float(std::sin(t))) << k;
        }
    }
    Plotter p;
    p.rotor.arc3dxy(0, -0.0, 10, -0.0, 0, 1);
    EXPECT_TRUE(std::signbit(p.log.calls().back().y1)) << "-0 + sin(-0) is -0";
}

TEST(Plotting, ArcAboutAPivotScalesAndShiftsDownToAZeroRadius) {
    for (const double r : {2.0, 0.0}) {
        Plotter p;
        p.rotor.arc3dxy(3.5, -2, 10, 0, 6.3, r);
        const auto& c = p.log.calls();
        ASSERT_EQ(c.size(), 64u) << r;
        EXPECT_EQ(c[0].x1, float(3.5 + r));
        EXPECT_EQ(c[0].y1, -2);
        for (const Call& k : c)
            EXPECT_NEAR(std::hypot(k.x1 - 3.5, k.y1 + 2), r, 1e-5);
    }
}

// Backwards or from NaN an arc draws nothing, over a zero range only its point; where the step
// no longer moves the angle, it stops instead of looping for ever.
TEST(Plotting, ArcsOfNoRangeDrawAtMostTheirPoint) {
    Plotter p;
    p.rotor.arc3dxy(0, 0, 10, 1, 0.5, 1);
    p.rotor.arc3dxy(0, 0, 10, std::nan(""), 6.3, 1);
    EXPECT_EQ(p.log.size(), 0u);
    p.rotor.arc3dxy(0, 0, 10, 2, 2, 1);
    p.rotor.arc3dxy(0, 0, 10, 1e17, 2e17, 1);
    ASSERT_EQ(p.log.size(), 2u);
    EXPECT_EQ(p.log.calls()[0].op, Op::PSet);
    EXPECT_EQ(p.log.calls()[1].op, Op::PSet);
}
