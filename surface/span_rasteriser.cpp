#include "surface/span_rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

// ROTAVEL_SCALAR_PIXELS builds the plain path on a processor with SSE2 too, to check that both
// make the same bytes.
#if defined(__SSE2__) && !defined(ROTAVEL_SCALAR_PIXELS)
#define ROTAVEL_SSE2 1
#include <emmintrin.h>
#endif

namespace rotavel::surface {

namespace {

// Cuts the segment to the rectangle; false when nothing of it lies inside. Points cut away lie
// farther from the image than the pen reaches, so the picture does not change, and every
// coordinate left is small enough for single-precision work on pixels.
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

// v rounded up (or down) to a whole number and clamped into [lo, hi]; any double is safe. (The
// library's ceil and floor cost dozens of instructions without SSE4.1; truncation is enough.)
int clampedCeil(double v, int lo, int hi) {
    if (!(v >= lo))
        return lo;
    if (!(v <= hi))
        return hi;
    const int i = static_cast<int>(v);
    return i + int(i < v);
}

int clampedFloor(double v, int lo, int hi) {
    if (!(v >= lo))
        return lo;
    if (!(v <= hi))
        return hi;
    const int i = static_cast<int>(v);
    return i - int(i > v);
}

// One stroke's coverage. A pixel whose centre lies d from the segment is covered by
// clamp(reach - d, 0, 1), reach being the pen's radius plus half a pixel: a pixel-wide ramp
// centred on the stroke's edge, which is the pixel's area inside the stroke where the edge
// crosses it straight. The distance comes from the pixel's place along the segment (u, from its
// start) and across it (w): d = |(e, w)| with e how far u lies beyond either end. All lengths are
// kept times 255, the scale of the mask. Rows are worked four pixels at a time; the caller leaves
// room for a group reaching past the pixels wanted.
//
// Every build makes the same bytes: the vector and the plain path do the same single-precision
// operations in the same order (steps added lane by lane, an exact square root, ties rounded to
// even), so a build without SSE2, such as the browser's, draws what the desktop draws.
class StrokeCoverage {
public:
    StrokeCoverage(float vx, float vy, float reach) {
        const float length = std::sqrt(vx * vx + vy * vy);
        const bool dot = !(length > 1e-6f); // then any direction will do
        m_ux = dot ? 255.0f : vx / length * 255.0f;
        m_uy = dot ? 0.0f : vy / length * 255.0f;
        m_length = dot ? 0.0f : length * 255.0f;
        m_reach = reach * 255.0f;
    }

    // Raises `rows` rows of 4 * `quads` pixels from row[0] on (the next row `stride` further) to
    // this stroke's coverage; (dx, dy) is row[0]'s centre from the segment's start.
    void box(std::uint8_t* row, std::ptrdiff_t stride, int rows, int quads, float dx,
             float dy) const {
        // Along and across, for row[0] and per pixel step right and row step down.
        float u = dx * m_ux + dy * m_uy, w = dy * m_ux - dx * m_uy;
#if defined(ROTAVEL_SSE2)
        // Locals, so they stay in registers: the mask's byte stores could alias members.
        const __m128 lanes = _mm_setr_ps(0, 1, 2, 3);
        const __m128 uStep = _mm_set1_ps(4 * m_ux), wStep = _mm_set1_ps(-4 * m_uy);
        const __m128 uLanes = _mm_mul_ps(lanes, _mm_set1_ps(m_ux));
        const __m128 wLanes = _mm_mul_ps(lanes, _mm_set1_ps(-m_uy));
        const __m128 length = _mm_set1_ps(m_length), reach = _mm_set1_ps(m_reach);
        const __m128 sign = _mm_set1_ps(-0.0f), zero = _mm_setzero_ps();
        const auto level = [&](__m128 along, __m128 across) {
            const __m128 beyond =
                _mm_max_ps(_mm_max_ps(_mm_xor_ps(along, sign), _mm_sub_ps(along, length)), zero);
            const __m128 d2 = _mm_add_ps(_mm_mul_ps(beyond, beyond), _mm_mul_ps(across, across));
            // The exact root: the approximate reciprocal one differs from processor to processor.
            const __m128 d = _mm_sqrt_ps(d2);
            // reach - d, rounded; packing with saturation clamps it to 0..255.
            return _mm_cvtps_epi32(_mm_sub_ps(reach, d));
        };
        for (int r = 0; r < rows; ++r, row += stride, u += m_uy, w += m_ux) {
            __m128 along = _mm_add_ps(_mm_set1_ps(u), uLanes);
            __m128 across = _mm_add_ps(_mm_set1_ps(w), wLanes);
            std::uint8_t* p = row;
            int q = quads;
            for (; q >= 2; q -= 2, p += 8) {
                const __m128i a = level(along, across);
                along = _mm_add_ps(along, uStep), across = _mm_add_ps(across, wStep);
                const __m128i b = level(along, across);
                along = _mm_add_ps(along, uStep), across = _mm_add_ps(across, wStep);
                const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), a);
                const __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_max_epu8(bytes, old));
            }
            if (q) {
                const __m128i a = level(along, across);
                const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, a), a);
                std::uint32_t old;
                std::memcpy(&old, p, 4);
                const auto raised = std::uint32_t(
                    _mm_cvtsi128_si32(_mm_max_epu8(bytes, _mm_cvtsi32_si128(int(old)))));
                std::memcpy(p, &raised, 4);
            }
        }
#else
        const float uStep = 4 * m_ux, wStep = -4 * m_uy;
        for (int r = 0; r < rows; ++r, row += stride, u += m_uy, w += m_ux) {
            float along[4], across[4];
            for (int l = 0; l < 4; ++l)
                along[l] = u + float(l) * m_ux, across[l] = w + float(l) * -m_uy;
            for (std::uint8_t* p = row; p < row + quads * 4; p += 4) {
                for (int l = 0; l < 4; ++l) {
                    const float beyond = std::max(std::max(-along[l], along[l] - m_length), 0.0f);
                    const float d = std::sqrt(beyond * beyond + across[l] * across[l]);
                    const float c = m_reach - d;
                    const int level = c >= 255.0f ? 255 : c > 0.0f ? int(std::nearbyint(c)) : 0;
                    p[l] = std::max(p[l], std::uint8_t(level));
                    along[l] += uStep, across[l] += wStep;
                }
            }
        }
#endif
    }

    static int quadsFor(int pixels) {
        return (pixels + 3) / 4;
    }

private:
    float m_ux, m_uy; // unit vector along the segment
    float m_length;   // the segment's length
    float m_reach;
};

// src over dst with coverage a (0..255), both opaque: per channel (src * a + dst * (255 - a))
// / 255, rounded; two channels at a time.
std::uint32_t blend(std::uint32_t dst, std::uint32_t src, std::uint32_t a) {
    const std::uint32_t ia = 255 - a;
    std::uint32_t rb = (src & 0xFF00FFu) * a + (dst & 0xFF00FFu) * ia;
    std::uint32_t ag = ((src >> 8) & 0xFF00FFu) * a + ((dst >> 8) & 0xFF00FFu) * ia;
    rb = ((rb + ((rb >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
    ag = (ag + ((ag >> 8) & 0xFF00FFu) + 0x800080u) & 0xFF00FF00u;
    return ag | rb;
}

// Composites one row's coverage in `colour` over the pixels from `lo` to `hi` (inclusive), and
// empties the mask there; returns through `first` and `last` a span holding every pixel changed
// (untouched when none). Mask bytes past `hi` up to `end` are zero, so pixels up to `end` may be
// worked in whole groups: blending nothing leaves a pixel as it was.
void compositeRow(std::uint32_t* pixels, std::uint8_t* mask, int lo, int hi, int end,
                  std::uint32_t colour, int& first, int& last) {
    int x = lo;
#if defined(ROTAVEL_SSE2)
    const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi8(char(0xFF));
    const __m128i src = _mm_set1_epi32(int(colour));
    const __m128i srcWords = _mm_unpacklo_epi8(src, zero); // two pixels, a channel a lane
    const __m128i full = _mm_set1_epi16(255), round = _mm_set1_epi16(128);
    // Two pixels of `dst` with coverage words `a`: the same rounding as `blend`.
    const auto mix = [&](__m128i dst, __m128i a) {
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(srcWords, a),
                                  _mm_mullo_epi16(dst, _mm_sub_epi16(full, a)));
        v = _mm_add_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), round);
        return _mm_srli_epi16(v, 8);
    };
    // Four pixels at p with coverage bytes in the low four bytes of `cov`.
    const auto four = [&](std::uint32_t* p, __m128i cov) {
        __m128i a = _mm_unpacklo_epi8(cov, zero); // a0..a3 as words
        a = _mm_unpacklo_epi16(a, a);             // a0 a0 a1 a1 a2 a2 a3 a3
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i lo2 = mix(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi32(a, a));
        const __m128i hi2 = mix(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi32(a, a));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(lo2, hi2));
    };
    for (; x <= hi && x + 15 <= end; x += 16) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + x));
        const int empty = _mm_movemask_epi8(_mm_cmpeq_epi8(m, zero));
        if (empty == 0xFFFF)
            continue; // most of a run's span is empty
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mask + x), zero);
        first = std::min(first, x);
        last = x + 15;
        std::uint32_t* const p = pixels + x;
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, ones)) == 0xFFFF) {
            for (int q = 0; q < 16; q += 4)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + q), src);
            continue;
        }
        if ((empty & 0x000F) != 0x000F)
            four(p, m);
        if ((empty & 0x00F0) != 0x00F0)
            four(p + 4, _mm_srli_si128(m, 4));
        if ((empty & 0x0F00) != 0x0F00)
            four(p + 8, _mm_srli_si128(m, 8));
        if ((empty & 0xF000) != 0xF000)
            four(p + 12, _mm_srli_si128(m, 12));
    }
#else
    (void)end;
#endif
    for (; x <= hi; ++x) {
        if (const std::uint32_t c = mask[x]) {
            pixels[x] = c == 255 ? colour : blend(pixels[x], colour, c);
            mask[x] = 0;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
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
    m_background = nullptr;
    // Pixels are restored from a background of the same size.
    if (image.isNull() || background.width() != image.width() ||
        background.height() != image.height())
        return;
    m_image = &image;
    m_background = &background;
    m_width = image.width();
    m_height = image.height();
    m_ratio = image.devicePixelRatio();
    m_radius = float(m_penWidth * m_ratio / 2);
    m_stride = m_width + kMaskPadding;
    m_mask.assign(std::size_t(m_stride) * m_height, 0);
    m_held = m_heldShort = Box{};
    m_changed = Box{0, 0, m_width - 1, m_height - 1}; // a new image: every pixel is news
    m_heldLong.resize(m_height);
    m_drawn.resize(m_height);
    m_drawn.markAll(m_width); // what the image holds now is unknown: the first clear restores all
}

void SpanRasteriser::detach() {
    m_image = nullptr;
    m_background = nullptr;
}

void SpanRasteriser::setPen(std::uint32_t colour, int width) {
    m_colour = colour | 0xFF000000u;
    m_penWidth = std::clamp(width, 1, kMaxPenWidth);
    m_radius = float(m_penWidth * m_ratio / 2);
}

void SpanRasteriser::segment(Point from, Point to) {
    if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) ||
        !std::isfinite(to.y))
        return;
    capsule(from.x * m_ratio, from.y * m_ratio, to.x * m_ratio, to.y * m_ratio);
}

void SpanRasteriser::dot(Point at) {
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return;
    capsule(at.x * m_ratio, at.y * m_ratio, at.x * m_ratio, at.y * m_ratio);
}

void SpanRasteriser::capsule(double ax, double ay, double bx, double by) {
    if (!m_image)
        return;
    const double reach = double(m_radius) + 0.5;
    const double margin = reach + 1;
    const double right = m_width + margin, bottom = m_height + margin;
    const bool inside = ax >= -margin && ax <= right && bx >= -margin && bx <= right &&
                        ay >= -margin && ay <= bottom && by >= -margin && by <= bottom;
    if (!inside && !clipToRect(ax, ay, bx, by, -margin, -margin, right, bottom))
        return;

    // Pixel (x, y) has its centre at (x + 0.5, y + 0.5) and is touched when that centre lies
    // within `reach` of the segment.
    const int x0 = clampedCeil(std::min(ax, bx) - reach - 0.5, 0, m_width);
    const int x1 = clampedFloor(std::max(ax, bx) + reach - 0.5, -1, m_width - 1);
    const int y0 = clampedCeil(std::min(ay, by) - reach - 0.5, 0, m_height);
    const int y1 = clampedFloor(std::max(ay, by) + reach - 0.5, -1, m_height - 1);
    if (x0 > x1 || y0 > y1)
        return;

    // A run ends when the colour changes or a stroke touches nothing of it: strokes that share
    // no pixel composite the same either way, and a tight run keeps compositing cheap.
    const Box box{x0, y0, x1, y1};
    if (!m_held.empty() && (m_colour != m_heldColour || !m_held.meets(box)))
        composite();
    m_heldColour = m_colour;
    m_held.add(box);

    // After clipping every coordinate is small: single precision is ample from here on.
    const float fx = float(ax), fy = float(ay), vx = float(bx - ax), vy = float(by - ay);
    const float r = float(reach);
    const StrokeCoverage stroke(vx, vy, r);
    std::uint8_t* const mask = m_mask.data();

    if (x1 - x0 < 16) {
        // A short stroke, as the circles are made of: every row takes the whole box, which
        // costs less than working out each row's part.
        const int quads = StrokeCoverage::quadsFor(x1 - x0 + 1);
        stroke.box(mask + std::size_t(y0) * m_stride + x0, m_stride, y1 - y0 + 1, quads,
                   float(x0) + 0.5f - fx, float(y0) + 0.5f - fy);
        m_heldShort.add({x0, y0, x0 + quads * 4 - 1, y1});
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
    const int top = std::min(m_heldShort.y0, m_heldLong.top);
    const int bottom = std::max(m_heldShort.y1, m_heldLong.bottom);
    for (int y = top; y <= bottom; ++y) {
        int lo = m_heldLong.lo[y], hi = m_heldLong.hi[y];
        m_heldLong.lo[y] = INT_MAX;
        m_heldLong.hi[y] = -1;
        if (y >= m_heldShort.y0 && y <= m_heldShort.y1)
            lo = std::min(lo, m_heldShort.x0), hi = std::max(hi, m_heldShort.x1);
        if (lo <= hi)
            f(y, lo, hi);
    }
    m_heldLong.top = m_height;
    m_heldLong.bottom = -1;
    m_held = m_heldShort = Box{};
}

void SpanRasteriser::composite() {
    if (m_held.empty() || !m_image)
        return;
    const int lastColumn = m_width - 1;
    Box changed;
    drainHeld([&](int y, int lo, int hi) {
        std::uint8_t* const mask = m_mask.data() + std::size_t(y) * m_stride;
        std::uint32_t* const pixels = m_image->row(y);
        int first = INT_MAX, last = -1;
        compositeRow(pixels, mask, lo, std::min(hi, lastColumn), lastColumn, m_heldColour, first,
                     last);
        // Coverage past the image's last column lies in the mask's spare room: dropped.
        if (hi > lastColumn)
            std::memset(mask + m_width, 0, std::size_t(hi - lastColumn));
        if (first <= last) {
            m_drawn.add(y, first, last);
            changed.x0 = std::min(changed.x0, first), changed.x1 = std::max(changed.x1, last);
            changed.y0 = std::min(changed.y0, y), changed.y1 = y;
        }
    });
    m_changed.add(changed);
}

Box SpanRasteriser::flush() {
    composite();
    return std::exchange(m_changed, Box{});
}

void SpanRasteriser::clear() {
    if (!m_image)
        return;
    drainHeld([&](int y, int lo, int hi) {
        std::memset(m_mask.data() + std::size_t(y) * m_stride + lo, 0, std::size_t(hi - lo + 1));
    });
    if (m_drawn.empty())
        return;
    Box erased;
    m_drawn.drain([&](int y, int lo, int hi) {
        std::memcpy(m_image->row(y) + lo, m_background->row(y) + lo, std::size_t(hi - lo + 1) * 4);
        erased.x0 = std::min(erased.x0, lo), erased.x1 = std::max(erased.x1, hi);
        erased.y0 = std::min(erased.y0, y), erased.y1 = y;
    });
    m_changed.add(erased);
}

} // namespace rotavel::surface
