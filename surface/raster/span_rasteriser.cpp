// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/raster/span_rasteriser.h"

#include "surface/raster/composite_row.h"
#include "surface/raster/stroke_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace rotavel::raster {

using span_pixels::compositeRow;
using span_pixels::StrokeCoverage;

namespace {

// Cuts the segment to the rectangle; false when nothing of it lies inside, and for any non-finite
// coordinate. Points cut away lie farther from the image than the pen reaches, so the picture
// does not change, and every coordinate left is small enough for single-precision work on pixels.
bool clipToRect(double& ax, double& ay, double& bx, double& by, double left, double top,
                double right, double bottom) {
    const double dx = bx - ax, dy = by - ay;
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return false;
    enum Edge { None, Left, Right, Top, Bottom };
    double t0 = 0, t1 = 1;
    Edge enter = None, leave = None;
    // One edge: p * t <= q keeps the point inside.
    const auto edge = [&](double p, double q, Edge e) {
        if (p == 0)
            return q >= 0;
        const double t = q / p;
        if (p < 0) {
            if (t > t1)
                return false;
            if (t > t0)
                t0 = t, enter = e;
        } else {
            if (t < t0)
                return false;
            if (t < t1)
                t1 = t, leave = e;
        }
        return true;
    };
    if (!edge(-dx, ax - left, Left) || !edge(dx, right - ax, Right) || !edge(-dy, ay - top, Top) ||
        !edge(dy, bottom - ay, Bottom))
        return false;
    // A cut point lies on its edge exactly: with far-off ends, a + t * d would lose the edge's
    // coordinate to rounding (a horizontal line from -1e30 to 1e30 would shrink to a dot).
    const auto cut = [&](double t, Edge e, double& x, double& y) {
        double cx = ax + t * dx, cy = ay + t * dy;
        if (e == Left || e == Right)
            cx = e == Left ? left : right;
        if (e == Top || e == Bottom)
            cy = e == Top ? top : bottom;
        // Rounding on absurdly distant input must not carry a point back out of reach.
        x = std::clamp(cx, left, right);
        y = std::clamp(cy, top, bottom);
    };
    double x0 = ax, y0 = ay, x1 = bx, y1 = by;
    cut(t0, enter, x0, y0);
    cut(t1, leave, x1, y1);
    ax = x0, ay = y0, bx = x1, by = y1;
    return true;
}

// v rounded down, for v well inside the range of int. (The library's floor and ceil cost dozens
// of instructions without SSE4.1; truncation is enough.)
int floorOf(double v) {
    const int i = static_cast<int>(v);
    return i - int(i > v);
}

// v rounded down (or up) to a whole number and clamped into [lo, hi]; any double is safe.
int clampedFloor(double v, int lo, int hi) {
    if (!(v >= lo))
        return lo;
    if (!(v <= hi))
        return hi;
    return floorOf(v);
}

int clampedCeil(double v, int lo, int hi) {
    return -clampedFloor(-v, -hi, -lo);
}

// A short stroke, as the circles are made of, has every row take the whole box, which costs less
// than working out each row's part.
bool isShort(const Box& box) {
    return box.x1 - box.x0 < 16;
}

} // namespace

void SpanRasteriser::RowSpans::resize(int rows) {
    lo.assign(rows, INT_MAX);
    hi.assign(rows, -1);
    top = rows;
    bottom = -1;
}

void SpanRasteriser::RowSpans::markAll(int width) {
    std::fill(lo.begin(), lo.end(), 0);
    std::fill(hi.begin(), hi.end(), width - 1);
    top = 0;
    bottom = int(lo.size()) - 1;
}

void SpanRasteriser::attach(PixelBuffer& image, const PixelBuffer& background) {
    m_image = nullptr;
    // Pixels are restored from a background of the same size.
    if (image.isNull() || background.width() != image.width() ||
        background.height() != image.height())
        return;
    m_image = &image;
    m_width = image.width();
    m_height = image.height();
    m_ratio = image.devicePixelRatio();
    m_radius = float(m_penWidth * m_ratio / 2);
    m_stride = m_width + kMaskPadding;
    m_mask.assign(std::size_t(m_stride) * m_height, 0);
    m_heldLongBox = m_heldShort = Box{};
    m_changed = Bands(m_height);
    m_changed.add({0, 0, m_width - 1, m_height - 1}); // a new image: every pixel is news
    m_flushed = Bands(m_height);
    m_heldLong.resize(m_height);
    m_drawn.resize(m_height);
    m_drawn.markAll(m_width); // what the image holds now is unknown: the first clear restores all
    m_restoreFrom.resize(std::size_t(m_height));
    for (int y = 0; y < m_height; ++y) {
        const std::uint32_t* row = background.row(y);
        const bool asAbove =
            y > 0 && std::equal(row, row + m_width, m_restoreFrom[std::size_t(y - 1)]);
        m_restoreFrom[std::size_t(y)] = asAbove ? m_restoreFrom[std::size_t(y - 1)] : row;
    }
}

void SpanRasteriser::detach() {
    m_image = nullptr; // and with it the background rows: nothing is drawn or cleared
}

void SpanRasteriser::setPen(std::uint32_t colour, int width) {
    m_colour = colour;
    m_penWidth = std::min(width, kMaxPenWidth);
    m_radius = float(m_penWidth * m_ratio / 2);
}

void SpanRasteriser::segment(Point from, Point to) {
    capsule(from.x * m_ratio, from.y * m_ratio, to.x * m_ratio, to.y * m_ratio);
}

void SpanRasteriser::dot(Point at) {
    capsule(at.x * m_ratio, at.y * m_ratio, at.x * m_ratio, at.y * m_ratio);
}

// Built with everything it calls inlined, the pixel loops among them.
[[gnu::flatten]] void SpanRasteriser::capsule(double ax, double ay, double bx, double by) {
    if (!m_image)
        return;
    const double margin = Stroke::reachOf(m_radius) + 1;
    const double right = m_width + margin, bottom = m_height + margin;
    // A non-finite coordinate is never inside, and the clip drops it.
    const bool inside = ax >= -margin && ax <= right && bx >= -margin && bx <= right &&
                        ay >= -margin && ay <= bottom && by >= -margin && by <= bottom;
    if (!inside && !clipToRect(ax, ay, bx, by, -margin, -margin, right, bottom))
        return;
    const Stroke stroke{ax, ay, bx, by, m_radius};
    const Box box = boxOf(stroke);
    if (box.empty())
        return;

    // A run ends when the colour changes or a stroke touches nothing of it: strokes that share
    // no pixel composite the same either way, and a tight run keeps compositing cheap.
    // (An empty box meets nothing, and compositing nothing does nothing.)
    if (m_colour != m_heldColour || !(m_heldShort.meets(box) || m_heldLongBox.meets(box)))
        composite();
    m_heldColour = m_colour;
    cover(stroke, box);
}

[[gnu::always_inline]] inline Box SpanRasteriser::boxOf(const Stroke& s) const {
    // Pixel (x, y) has its centre at (x + 0.5, y + 0.5) and is touched when that centre lies
    // closer than `reach` to the segment. Every coordinate lies within the margin.
    const double reach = s.reach();
    return {std::max(0, floorOf(std::min(s.ax, s.bx) - reach - 0.5) + 1),
            std::max(0, floorOf(std::min(s.ay, s.by) - reach - 0.5) + 1),
            std::min(m_width - 1, -floorOf(-(std::max(s.ax, s.bx) + reach - 0.5)) - 1),
            std::min(m_height - 1, -floorOf(-(std::max(s.ay, s.by) + reach - 0.5)) - 1)};
}

[[gnu::always_inline]] inline void SpanRasteriser::cover(const Stroke& s, const Box& box) {
    if (isShort(box)) {
        const int quads = StrokeCoverage::quadsFor(box.x1 - box.x0 + 1);
        m_heldShort.add({box.x0, box.y0, box.x0 + quads * 4 - 1, box.y1});
    } else {
        m_heldLongBox.add(box);
    }
    // After clipping every coordinate is small: single precision is ample from here on.
    const float fx = float(s.ax), fy = float(s.ay), vx = float(s.bx - s.ax),
                vy = float(s.by - s.ay);
    const float r = float(s.reach());
    const StrokeCoverage stroke(vx, vy, r);
    std::uint8_t* const mask = m_mask.data();
    const auto [x0, y0, x1, y1] = box;

    if (isShort(box)) {
        stroke.box(mask + std::size_t(y0) * m_stride + x0, m_stride, y1 - y0 + 1,
                   StrokeCoverage::quadsFor(x1 - x0 + 1), float(x0) + 0.5f - fx,
                   float(y0) + 0.5f - fy);
        return;
    }

    // A long one: each row takes only the columns near the part of the segment that lies within
    // `reach` of it vertically.
    const float invVy = vy != 0 ? 1.0f / vy : 0.0f;
    for (int y = y0; y <= y1; ++y) {
        const float dy = float(y) + 0.5f - fy;
        float left, right;
        if (vy != 0) {
            float ta = (dy - r) * invVy, tb = (dy + r) * invVy;
            if (ta > tb)
                std::swap(ta, tb);
            ta = std::max(ta, 0.0f);
            tb = std::min(tb, 1.0f);
            if (ta > tb)
                continue;
            left = std::min(ta * vx, tb * vx);
            right = std::max(ta * vx, tb * vx);
        } else {
            if (std::abs(dy) >= r)
                continue;
            left = std::min(0.0f, vx);
            right = std::max(0.0f, vx);
        }
        const int c0 = std::max(x0, clampedCeil(fx + left - r - 0.5f, 0, m_width));
        const int c1 = std::min(x1, clampedFloor(fx + right + r - 0.5f, -1, m_width - 1));
        if (c0 > c1)
            continue;
        const int quads = StrokeCoverage::quadsFor(c1 - c0 + 1);
        stroke.box(mask + std::size_t(y) * m_stride + c0, m_stride, 1, quads, float(c0) + 0.5f - fx,
                   dy);
        m_heldLong.add(y, c0, c0 + quads * 4 - 1);
    }
}

template <typename F> void SpanRasteriser::drainHeld(F f) {
    const Box held = m_heldShort;
    for (int y = held.y0; y <= held.y1; ++y)
        m_heldLong.add(y, held.x0, held.x1);
    m_heldLong.drain(f);
    m_heldLongBox = m_heldShort = Box{};
}

[[gnu::flatten]] void SpanRasteriser::composite() {
    if ((m_heldShort.empty() && m_heldLongBox.empty()) || !m_image)
        return;
    std::uint32_t* const image = m_image->data();
    const std::ptrdiff_t stride = m_image->stride();
    const int width = m_width, lastColumn = m_width - 1;
    const std::uint32_t colour = m_heldColour;
    std::uint8_t* const maskRows = m_mask.data();
    const std::size_t maskStride = std::size_t(m_stride);
    drainHeld([&](int y, int lo, int hi) {
        std::uint8_t* const mask = maskRows + std::size_t(y) * maskStride;
        std::uint32_t* const pixels = image + y * stride;
        int first = INT_MAX, last = -1;
        compositeRow(pixels, mask, lo, std::min(hi, lastColumn), lastColumn, colour, first, last);
        // Coverage past the image's last column lies in the mask's spare room: dropped.
        if (hi > lastColumn)
            std::memset(mask + width, 0, std::size_t(hi - lastColumn));
        if (first <= last) {
            m_changed.addRow(y, first, last);
            m_drawn.add(y, first, last);
        }
    });
}

const Bands& SpanRasteriser::flush() {
    composite();
    std::swap(m_changed, m_flushed);
    m_changed.clear();
    return m_flushed;
}

void SpanRasteriser::clear() {
    if (!m_image)
        return;
    drainHeld([&](int y, int lo, int hi) {
        std::memset(m_mask.data() + std::size_t(y) * m_stride + lo, 0, std::size_t(hi - lo + 1));
    });
    if (m_drawn.empty())
        return;
    m_drawn.drain([&](int y, int lo, int hi) {
        std::memcpy(m_image->row(y) + lo, m_restoreFrom[std::size_t(y)] + lo,
                    std::size_t(hi - lo + 1) * 4);
        m_changed.addRow(y, lo, hi);
    });
}

} // namespace rotavel::raster
