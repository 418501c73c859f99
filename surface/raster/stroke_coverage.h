// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/span_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rotavel::raster::span_pixels {

// One stroke's coverage. A pixel whose centre lies d from the segment is covered by
// clamp(reach - d, 0, 1), reach being the pen's radius plus half a pixel: a pixel-wide ramp
// centred on the stroke's edge, which is the pixel's area inside the stroke where the edge
// crosses it straight. The distance comes from the pixel's place along the segment (from its
// middle) and across it: d = |(max(|along| - length / 2, 0), across)|. All lengths are kept times
// 255, the scale of the mask. Rows are worked four pixels (a quad) at a time; the caller leaves
// room for a quad reaching past the pixels wanted.
class StrokeCoverage {
public:
    // The segment runs from its start by (vx, vy); reach as above, in pixels.
    StrokeCoverage(float vx, float vy, float reach);

    // Raises `rows` rows of 4 * `quads` pixels from row[0] on (the next row `stride` further) to
    // this stroke's coverage; (dx, dy) is row[0]'s centre from the segment's start.
    template <Path P = kNative>
    void box(std::uint8_t* row, std::ptrdiff_t stride, int rows, int quads, float dx,
             float dy) const;

    static int quadsFor(int pixels) { return (pixels + 3) / 4; }

private:
    float m_ux, m_uy; // unit vector along the segment
    float m_half;     // half the segment's length
    float m_reach;
};

// Definitions, here so that the rasteriser's loops take them in whole.

namespace detail {

// One pixel's coverage as the SSE2 build computes four: the same operations in the same order,
// and its rounding (to nearest, ties to even) and saturation (to 0..255).
inline std::uint8_t level(float along, float across, float half, float reach) {
    float beyond = std::fabs(along) - half;
    beyond = beyond > 0.0f ? beyond : 0.0f;
    const float d2 = beyond * beyond + across * across;
    const float c = std::clamp(reach - std::sqrt(d2), -1.0f, 256.0f);
    // Adding and taking away 1.5 * 2^23 rounds to a whole number, ties to even.
    const float rounded = (c + 12582912.0f) - 12582912.0f;
    return static_cast<std::uint8_t>(std::clamp(static_cast<int>(rounded), 0, 255));
}

#if defined(__SSE2__)
// Four lanes rounded to whole numbers, ties to even, as SSE2's conversion does. On the page that
// conversion is taken one lane at a time through the C library, which made it most of a frame's
// cost; WebAssembly's own rounding and conversion give the same for every coverage a pen up to
// the widest can give (well inside 32 bits).
inline __m128i rounded(__m128 v) {
#if defined(__wasm_simd128__)
    return wasm_i32x4_trunc_sat_f32x4(wasm_f32x4_nearest(v));
#else
    return _mm_cvtps_epi32(v);
#endif
}
#endif

} // namespace detail

inline StrokeCoverage::StrokeCoverage(float vx, float vy, float reach) {
    const float length = std::sqrt(vx * vx + vy * vy);
    const bool dot = !(length > 1e-6f); // then any direction will do
    const float scale = dot ? 0.0f : 255.0f / length;
    m_ux = dot ? 255.0f : vx * scale;
    m_uy = dot ? 0.0f : vy * scale;
    m_half = dot ? 0.0f : length * 127.5f;
    m_reach = reach * 255.0f;
}

// Every pixel's along and across come from row[0]'s by the same steps in both builds: lane j of
// a row starts at (u + j * ux, w - j * uy), moves by (4 ux, -4 uy) a quad, and a row's start
// moves by (uy, ux) a row.
template <>
inline void StrokeCoverage::box<Path::Scalar>(std::uint8_t* row, std::ptrdiff_t stride, int rows,
                                              int quads, float dx, float dy) const {
    const float ux = m_ux, uy = m_uy, half = m_half, reach = m_reach;
    const float u = dx * ux + dy * uy - half, w = dy * ux - dx * uy;
    const float quadU = 4.0f * ux, quadW = -4.0f * uy;
    float rowAlong[4], rowAcross[4];
    for (int j = 0; j < 4; ++j) {
        rowAlong[j] = u + float(j) * ux;
        rowAcross[j] = w + float(j) * -uy;
    }
    for (int r = 0; r < rows; ++r, row += stride) {
        float along[4], across[4];
        std::copy(rowAlong, rowAlong + 4, along);
        std::copy(rowAcross, rowAcross + 4, across);
        for (int q = 0; q < quads; ++q) {
            for (int j = 0; j < 4; ++j) {
                std::uint8_t& p = row[4 * q + j];
                p = std::max(p, detail::level(along[j], across[j], half, reach));
                along[j] += quadU;
                across[j] += quadW;
            }
        }
        for (int j = 0; j < 4; ++j) {
            rowAlong[j] += uy;
            rowAcross[j] += ux;
        }
    }
}

#if defined(__SSE2__)
// Inlined where the rasteriser calls it: most boxes are a few quads, which cost little more than
// the call, and a long stroke's rows of one are worked without the loop over rows.
template <>
[[gnu::always_inline]] inline void
StrokeCoverage::box<Path::Simd>(std::uint8_t* row, std::ptrdiff_t stride, int rows, int quads,
                                float dx, float dy) const {
    // Lane j starts at (u + j ux, w - j uy), moves by (4 ux, -4 uy) a quad and by (uy, ux) a row.
    const float ux = m_ux, uy = m_uy;
    const float u = dx * ux + dy * uy - m_half, w = dy * ux - dx * uy;
    const __m128 lanes = _mm_setr_ps(0, 1, 2, 3);
    __m128 rowAlong = _mm_add_ps(_mm_set1_ps(u), _mm_mul_ps(lanes, _mm_set1_ps(ux)));
    __m128 rowAcross = _mm_add_ps(_mm_set1_ps(w), _mm_mul_ps(lanes, _mm_set1_ps(-uy)));
    const __m128 quadU = _mm_set1_ps(4.0f * ux), quadW = _mm_set1_ps(-4.0f * uy);
    const __m128 stepU = _mm_set1_ps(uy), stepW = _mm_set1_ps(ux);
    const __m128 half = _mm_set1_ps(m_half), reach = _mm_set1_ps(m_reach);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 zero = _mm_setzero_ps();
    // Four pixels' coverage, rounded; packing with saturation clamps it to 0..255.
    const auto levelAt = [&](__m128 along, __m128 across) {
        const __m128 beyond = _mm_max_ps(_mm_sub_ps(_mm_and_ps(along, magnitude), half), zero);
        const __m128 d2 = _mm_add_ps(_mm_mul_ps(beyond, beyond), _mm_mul_ps(across, across));
        return detail::rounded(_mm_sub_ps(reach, _mm_sqrt_ps(d2)));
    };
    // The next quad along, as the plain build steps it.
    const auto level = [&](__m128& along, __m128& across) {
        const __m128i c = levelAt(along, across);
        along = _mm_add_ps(along, quadU);
        across = _mm_add_ps(across, quadW);
        return c;
    };
    // Raise the 4 mask bytes at p to a's coverage, or the 8 at p to a's and b's (saturated to
    // bytes here).
    const auto raise4 = [](std::uint8_t* p, __m128i a) {
        const __m128i words = _mm_packs_epi32(a, a);
        const __m128i bytes = _mm_packus_epi16(words, words);
        std::uint32_t old;
        std::memcpy(&old, p, 4);
        const auto raised =
            std::uint32_t(_mm_cvtsi128_si32(_mm_max_epu8(bytes, _mm_cvtsi32_si128(int(old)))));
        std::memcpy(p, &raised, 4);
    };
    const auto raise8 = [](std::uint8_t* p, __m128i a, __m128i b) {
        const __m128i words = _mm_packs_epi32(a, b);
        const __m128i bytes = _mm_packus_epi16(words, words);
        const __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_max_epu8(bytes, old));
    };
    // Short strokes' boxes are one or two quads wide: those rows take no loop of their own.
    if (quads == 1) {
        for (int r = 0; r < rows; ++r, row += stride) {
            raise4(row, levelAt(rowAlong, rowAcross));
            rowAlong = _mm_add_ps(rowAlong, stepU);
            rowAcross = _mm_add_ps(rowAcross, stepW);
        }
        return;
    }
    if (quads == 2) {
        for (int r = 0; r < rows; ++r, row += stride) {
            raise8(row, levelAt(rowAlong, rowAcross),
                   levelAt(_mm_add_ps(rowAlong, quadU), _mm_add_ps(rowAcross, quadW)));
            rowAlong = _mm_add_ps(rowAlong, stepU);
            rowAcross = _mm_add_ps(rowAcross, stepW);
        }
        return;
    }
    for (int r = 0; r < rows; ++r, row += stride) {
        __m128 along = rowAlong, across = rowAcross;
        rowAlong = _mm_add_ps(rowAlong, stepU);
        rowAcross = _mm_add_ps(rowAcross, stepW);
        std::uint8_t* p = row;
        int q = quads;
        for (; q >= 4; q -= 4, p += 16) {
            const __m128i a = level(along, across), b = level(along, across);
            const __m128i c = level(along, across), d = level(along, across);
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_max_epu8(bytes, old));
        }
        if (q >= 2) {
            const __m128i a = level(along, across), b = level(along, across);
            raise8(p, a, b);
            q -= 2;
            p += 8;
        }
        if (q)
            raise4(p, level(along, across));
    }
}
#endif

} // namespace rotavel::raster::span_pixels
