// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <algorithm>
#include <climits>

namespace rotavel::raster {

// A point in pixels, logical or device as the context says.
struct Point {
    double x = 0, y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle of whole pixels by its corner and size; empty when it has no area.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A rectangle of pixels by its first and last row and column, inclusive; the empty one is inside
// out, so that adding to it and testing it against another need no special case.
struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;

    bool empty() const { return x0 > x1 || y0 > y1; }
    bool meets(const Box& o) const { return o.x0 <= x1 && x0 <= o.x1 && o.y0 <= y1 && y0 <= o.y1; }
    void add(const Box& o) {
        x0 = std::min(x0, o.x0), y0 = std::min(y0, o.y0);
        x1 = std::max(x1, o.x1), y1 = std::max(y1, o.y1);
    }
};

} // namespace rotavel::raster
