// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "scene/picture1.h"

#include <algorithm>
#include <cmath>

namespace rotavel::scene {

namespace {

constexpr int kPictureWidth = 503, kPictureHeight = 90;
constexpr std::uint32_t kCyan = 0xFF7DF5FBu;

// The arrows' x, in logical pixels. Each is a 6-pixel shaft from y 10 to 55, then a 12-pixel head
// narrowing to its point at y 71: a rectangle and a triangle that only share an edge.
constexpr double kArrowX[] = {127, 174, 217, 259, 303};
constexpr double kShaftTop = 10, kShaftBottom = 55, kPoint = 71;
constexpr double kShaftHalf = 3, kHeadHalf = 6;

struct Vertex {
    double x, y;
};

// Keeps the part of the convex polygon `in` (n vertices) where side(v) >= 0, side being linear;
// returns the vertex count of `out`.
template <typename Side> int clipPolygon(const Vertex* in, int n, Vertex* out, Side side) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const Vertex a = in[i], b = in[(i + 1) % n];
        const double sa = side(a), sb = side(b);
        if (sa >= 0)
            out[m++] = a;
        if ((sa >= 0) != (sb >= 0)) {
            const double t = sa / (sa - sb);
            out[m++] = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        }
    }
    return m;
}

// The area of the triangle inside the unit square with its top-left corner at (x, y).
double triangleInPixel(const Vertex (&triangle)[3], double x, double y) {
    Vertex a[8], b[8];
    int n = clipPolygon(triangle, 3, a, [x](Vertex v) { return v.x - x; });
    n = clipPolygon(a, n, b, [x](Vertex v) { return x + 1 - v.x; });
    n = clipPolygon(b, n, a, [y](Vertex v) { return v.y - y; });
    n = clipPolygon(a, n, b, [y](Vertex v) { return y + 1 - v.y; });
    double twice = 0;
    for (int i = 0; i < n; ++i) {
        const Vertex p = b[i], q = b[(i + 1) % n];
        twice += p.x * q.y - q.x * p.y;
    }
    return std::abs(twice) / 2;
}

// How much of [lo, hi] lies in [p, p + 1].
double overlap(double lo, double hi, double p) {
    return std::max(0.0, std::min(hi, p + 1) - std::max(lo, p));
}

// Black over cyan with coverage level 0..255, rounded per channel.
std::uint32_t shade(int level) {
    const auto channel = [level](std::uint32_t c) { return (c * (255 - level) + 127) / 255; };
    return 0xFF000000u | channel((kCyan >> 16) & 0xFF) << 16 | channel((kCyan >> 8) & 0xFF) << 8 |
           channel(kCyan & 0xFF);
}

} // namespace

void drawPicture1(std::uint32_t* pixels, std::ptrdiff_t stride, int imageWidth, int imageHeight,
                  double ratio) {
    const double r = ratio;
    const auto row = [&](int y) { return pixels + y * stride; };
    const int width = std::min(imageWidth, int(std::ceil(kPictureWidth * r)));
    const int height = std::min(imageHeight, int(std::ceil(kPictureHeight * r)));
    for (int y = 0; y < height; ++y)
        std::fill_n(row(y), width, kCyan);

    for (const double cx : kArrowX) {
        const double shaftLeft = (cx - kShaftHalf) * r, shaftRight = (cx + kShaftHalf) * r;
        const double top = kShaftTop * r, base = kShaftBottom * r, point = kPoint * r;
        const Vertex head[3] = {
            {(cx - kHeadHalf) * r, base}, {(cx + kHeadHalf) * r, base}, {cx * r, point}};
        const int x0 = std::max(0, int(std::floor(head[0].x)));
        const int x1 = std::min(width - 1, int(std::ceil(head[1].x)));
        const int y0 = std::max(0, int(std::floor(top)));
        const int y1 = std::min(height - 1, int(std::ceil(point)));
        for (int y = y0; y <= y1; ++y) {
            std::uint32_t* const pixel = row(y);
            const double shaftRows = overlap(top, base, y);
            for (int x = x0; x <= x1; ++x) {
                double covered = shaftRows * overlap(shaftLeft, shaftRight, x);
                if (y + 1 > base && y < point)
                    covered += triangleInPixel(head, x, y);
                const int level = std::clamp(int(covered * 255 + 0.5), 0, 255);
                if (level)
                    pixel[x] = shade(level);
            }
        }
    }
}

} // namespace rotavel::scene
