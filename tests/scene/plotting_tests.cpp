// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "rotor_rig.h"

#include <cmath>
#include <gtest/gtest.h>

using rotavel::surface::Call;
using Op = Call::Op;
using Plotter = rotavel::testing::RotorRig;

TEST(Plotting, Line3dIsOneLineIgnoringTheThirdCoordinates) {
    Plotter p;
    p.rotor.line3d(-1, 0, 10, 1, 0, 10);
    p.rotor.line3d(-1, 0, -7e30, 1, 0, std::nan(""));
    ASSERT_EQ(p.log.size(), 2u);
    EXPECT_EQ(p.log.calls()[0], p.log.calls()[1]);
    EXPECT_EQ(formatCall(p.log.calls()[0]), "line -1 0 1 0");
}

TEST(Plotting, Line3dNarrowsToSinglePrecisionAtTheCall) {
    Plotter p;
    p.rotor.line3d(0.1, 1.0 / 3, 0, 6.28318, -2.5e-8, 0);
    const Call c = p.log.calls().at(0);
    EXPECT_EQ(c.x1, 0.1f);
    EXPECT_EQ(c.y1, float(1.0 / 3));
    EXPECT_EQ(c.x2, 6.28318f);
    EXPECT_EQ(c.y2, -2.5e-8f);
}

// The angle grows by repeated addition of 0.1 from 0 while it is not above 6.3: 64 points.
TEST(Plotting, ClosedCircleIsOnePointThen63SegmentsPastTheStart) {
    Plotter p;
    p.rotor.arc3dxy(0, 0, 10, 0, 6.3, 1);
    const auto& c = p.log.calls();
    ASSERT_EQ(c.size(), 64u);
    EXPECT_EQ(formatCall(c[0]), "pset 1 0");
    double t = 0;
    for (std::size_t k = 1; k < c.size(); ++k) {
        t += 0.1;
        ASSERT_EQ(c[k].op, Op::LineTo) << k;
        EXPECT_EQ(c[k].x1, float(std::cos(t))) << k;
        EXPECT_EQ(c[k].y1, float(std::sin(t))) << k;
    }
    EXPECT_LE(t, 6.3);
    EXPECT_GT(t + 0.1, 6.3);
    EXPECT_GT(c.back().y1, 0) << "the last segment ends just past the start point";
}

// Past the circle's 64 angles, and from -0, the points are still the fresh cosines and sines.
TEST(Plotting, LongerArcsAndArcsFromMinusZeroKeepExactPoints) {
    Plotter p;
    p.rotor.arc3dxy(0, 0, 10, 0, 7, 1);
    const auto& c = p.log.calls();
    ASSERT_EQ(c.size(), 71u);
    double t = 0;
    for (std::size_t k = 0; k < c.size(); ++k, t += 0.1) {
        EXPECT_EQ(c[k].x1, float(std::cos(t))) << k;
        EXPECT_EQ(c[k].y1, float(std::sin(t))) << k;
    }
    p.rotor.arc3dxy(0, -0.0, 10, -0.0, 0, 1);
    EXPECT_TRUE(std::signbit(p.log.calls().back().y1)) << "-0 + sin(-0) is -0";
}

TEST(Plotting, ArcAboutAPivotScalesAndShifts) {
    Plotter p;
    p.rotor.arc3dxy(3.5, -2, 10, 0, 6.3, 2);
    const auto& c = p.log.calls();
    ASSERT_EQ(c.size(), 64u);
    EXPECT_EQ(formatCall(c[0]), "pset 5.5 -2");
    for (const Call& k : c)
        EXPECT_NEAR(std::hypot(k.x1 - 3.5, k.y1 + 2), 2, 1e-5);
}

TEST(Plotting, ArcDrawsNothingBackwardsAndOnlyThePointForAZeroRange) {
    Plotter p;
    p.rotor.arc3dxy(0, 0, 10, 1, 0.5, 1);
    p.rotor.arc3dxy(0, 0, 10, std::nan(""), 6.3, 1);
    EXPECT_EQ(p.log.size(), 0u);
    p.rotor.arc3dxy(0, 0, 10, 2, 2, 1);
    ASSERT_EQ(p.log.size(), 1u);
    EXPECT_EQ(p.log.calls()[0].op, Op::PSet);
}

TEST(Plotting, ZeroRadiusArcPlotsTheCentreAndZeroLengthSegments) {
    Plotter p;
    p.rotor.arc3dxy(4, 5, 10, 0, 6.3, 0);
    ASSERT_EQ(p.log.size(), 64u);
    for (const Call& k : p.log.calls()) {
        EXPECT_EQ(k.x1, 4);
        EXPECT_EQ(k.y1, 5);
    }
}

// Where the step no longer moves the angle, the arc stops instead of looping for ever.
TEST(Plotting, ArcFarOutOnTheAngleAxisEnds) {
    Plotter p;
    p.rotor.arc3dxy(0, 0, 10, 1e17, 2e17, 1);
    EXPECT_EQ(p.log.size(), 1u);
}
