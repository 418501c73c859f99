// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The span rasteriser's pixel loops: the plain build against the SSE2 one.
#include "surface/raster/composite_row.h"
#include "surface/raster/stroke_coverage.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#if defined(__SSE2__)
// Processors without SSE2 run the plain loops: the pixels must be the same to the byte
// everywhere. Random strokes over a mask that already holds coverage (so the larger value must
// win), and random coverage composited over random pixels, by both builds of each loop.
TEST(SpanRasteriser, PlainLoopsGiveTheSameBytesAsTheVectorOnes) {
    using namespace rotavel::raster::span_pixels;
    std::mt19937 random(7);
    const auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    const auto below = [&](int n) { return int(random() % unsigned(n)); };

    constexpr int kStride = 48, kRows = 24;
    std::vector<std::uint8_t> plain(kStride * kRows), other(plain.size());
    int coverageDiffers = 0;
    for (int i = 0; i < 4000; ++i) {
        for (auto& b : plain)
            b = below(4) ? 0 : std::uint8_t(random());
        const auto before = plain;
        const float reach = std::vector<float>{1.0f, 1.5f, 2.5f, 4.5f, 40.5f}[below(5)];
        // Now and then a dot, an axis-parallel stroke or a sliver.
        float vx = uniform(-12, 12), vy = uniform(-12, 12);
        if (i % 7 == 0)
            vx = vy = 0;
        else if (i % 7 == 1)
            vy = 0;
        else if (i % 7 == 2)
            vx = uniform(-1e-3f, 1e-3f);
        const StrokeCoverage stroke(vx, vy, reach);
        const int rows = 1 + below(kRows), quads = 1 + below(kStride / 4);
        const float dx = uniform(-20, 8), dy = uniform(-20, 8);
        stroke.box<Path::Scalar>(plain.data(), kStride, rows, quads, dx, dy);
        other = before;
        stroke.box<Path::Simd>(other.data(), kStride, rows, quads, dx, dy);
        coverageDiffers += plain != other;
    }
    EXPECT_EQ(coverageDiffers, 0) << "of 4000 strokes";

    constexpr int kWidth = 80;
    int compositeDiffers = 0;
    for (int i = 0; i < 4000; ++i) {
        std::vector<std::uint8_t> maskPlain(kWidth + 16);
        std::vector<std::uint32_t> pixelsPlain(kWidth);
        const int lo = below(kWidth), hi = std::min(kWidth - 1, lo + below(kWidth));
        for (int x = lo; x <= hi; ++x)
            maskPlain[x] = std::vector<std::uint8_t>{0, 0, 255, std::uint8_t(random())}[below(4)];
        for (auto& p : pixelsPlain)
            p = 0xFF000000u | std::uint32_t(random());
        const std::uint32_t colour = 0xFF000000u | std::uint32_t(random());
        const auto maskBefore = maskPlain;
        const auto pixelsBefore = pixelsPlain;
        int firstPlain = INT_MAX, lastPlain = -1;
        compositeRow<Path::Scalar>(pixelsPlain.data(), maskPlain.data(), lo, hi, kWidth - 1, colour,
                                   firstPlain, lastPlain);
        auto mask = maskBefore;
        auto pixels = pixelsBefore;
        int first = INT_MAX, last = -1;
        compositeRow<Path::Simd>(pixels.data(), mask.data(), lo, hi, kWidth - 1, colour, first,
                                 last);
        // The spans may differ (the vector build reports whole groups); the pixels may not.
        compositeDiffers += pixelsPlain != pixels || maskPlain != mask ||
                            (firstPlain <= lastPlain) != (first <= last) ||
                            (firstPlain <= lastPlain && (first > firstPlain || last < lastPlain));
    }
    EXPECT_EQ(compositeDiffers, 0) << "of 4000 rows";
}
#endif
