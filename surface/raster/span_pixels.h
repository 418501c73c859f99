// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ROTAVEL_SCALAR_PIXELS draws with the plain loops only, on a processor with SSE2 or AVX2 too.
#if defined(__x86_64__) && defined(__SSE2__) && !defined(ROTAVEL_SCALAR_PIXELS)
#define ROTAVEL_AVX2_PIXELS 1
#include <immintrin.h>
#endif

// The span rasteriser's per-pixel loops: a stroke's coverage into the mask, and the mask's
// compositing onto the image. Each comes in builds that give the same bytes: SSE2 where the
// compiler has it, plain C++ elsewhere (the web build has no SSE2), and on x86-64 also AVX2, for
// the processors that have it (chosen while running: the program runs on any x86-64). All are
// built on x86-64 so that the tests can hold them to one another. To keep them equal the
// arithmetic is the same sequence of correctly rounded single-precision operations in all (exact
// square roots, no approximate reciprocals, and no fused multiply-adds: whatever includes this is
// built without contraction, and the AVX2 build asks for AVX2 alone, not FMA).
namespace rotavel::raster::span_pixels {

enum class Path { Scalar, Simd, Avx2 };

#if defined(__SSE2__) && !defined(ROTAVEL_SCALAR_PIXELS)
inline constexpr Path kNative = Path::Simd;
#else
inline constexpr Path kNative = Path::Scalar;
#endif

#if defined(ROTAVEL_AVX2_PIXELS)
// Whether this processor runs the AVX2 build.
inline bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

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

// src over dst with coverage a (0..255), both opaque: per channel (src * a + dst * (255 - a))
// / 255, rounded.
inline std::uint32_t blend(std::uint32_t dst, std::uint32_t src, std::uint32_t a);

// Composites one row's coverage in `colour` over the pixels from `lo` to `hi` (inclusive), and
// empties the mask there; returns through `first` and `last` a span holding every pixel changed
// (untouched when none). Mask bytes past `hi` up to `end` are zero, so pixels up to `end` may be
// worked in whole groups: blending nothing leaves a pixel as it was.
template <Path P = kNative>
void compositeRow(std::uint32_t* pixels, std::uint8_t* mask, int lo, int hi, int end,
                  std::uint32_t colour, int& first, int& last);

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
namespace detail {

// A box's first row of four lanes, and the steps on from it, as every vector build takes them: lane
// j starts at (u + j ux, w - j uy), moves by (4 ux, -4 uy) a quad and by (uy, ux) a row.
struct Lanes {
    __m128 rowAlong, rowAcross, quadU, quadW, stepU, stepW;
};

[[gnu::always_inline]] inline Lanes lanesFor(float ux, float uy, float half, float dx, float dy) {
    const float u = dx * ux + dy * uy - half, w = dy * ux - dx * uy;
    const __m128 lanes = _mm_setr_ps(0, 1, 2, 3);
    return {_mm_add_ps(_mm_set1_ps(u), _mm_mul_ps(lanes, _mm_set1_ps(ux))),
            _mm_add_ps(_mm_set1_ps(w), _mm_mul_ps(lanes, _mm_set1_ps(-uy))),
            _mm_set1_ps(4.0f * ux),
            _mm_set1_ps(-4.0f * uy),
            _mm_set1_ps(uy),
            _mm_set1_ps(ux)};
}

// Raise mask bytes to the coverage in `words` (16-bit lanes, saturated to bytes here): the 4 at p
// to the first four; the 8 at p; the 4 at p and the 4 at q, p's first.
[[gnu::always_inline]] inline void raise4(std::uint8_t* p, __m128i words) {
    const __m128i bytes = _mm_packus_epi16(words, words);
    std::uint32_t old;
    std::memcpy(&old, p, 4);
    const auto raised =
        std::uint32_t(_mm_cvtsi128_si32(_mm_max_epu8(bytes, _mm_cvtsi32_si128(int(old)))));
    std::memcpy(p, &raised, 4);
}

[[gnu::always_inline]] inline void raise8(std::uint8_t* p, __m128i words) {
    const __m128i bytes = _mm_packus_epi16(words, words);
    const __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_max_epu8(bytes, old));
}

[[gnu::always_inline]] inline void raise4x2(std::uint8_t* p, std::uint8_t* q, __m128i words) {
    const __m128i bytes = _mm_packus_epi16(words, words);
    std::uint32_t a, b;
    std::memcpy(&a, p, 4);
    std::memcpy(&b, q, 4);
    const __m128i old = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b)));
    const __m128i raised = _mm_max_epu8(bytes, old);
    a = std::uint32_t(_mm_cvtsi128_si32(raised));
    b = std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(raised, 4)));
    std::memcpy(p, &a, 4);
    std::memcpy(q, &b, 4);
}

} // namespace detail

// Inlined where the rasteriser calls it: most boxes are a few quads, which cost little more than
// the call, and a long stroke's rows of one are worked without the loop over rows.
template <>
[[gnu::always_inline]] inline void
StrokeCoverage::box<Path::Simd>(std::uint8_t* row, std::ptrdiff_t stride, int rows, int quads,
                                float dx, float dy) const {
    const detail::Lanes start = detail::lanesFor(m_ux, m_uy, m_half, dx, dy);
    __m128 rowAlong = start.rowAlong, rowAcross = start.rowAcross;
    const __m128 quadU = start.quadU, quadW = start.quadW, stepU = start.stepU, stepW = start.stepW;
    const __m128 half = _mm_set1_ps(m_half), reach = _mm_set1_ps(m_reach);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 zero = _mm_setzero_ps();
    // Four pixels' coverage, rounded; packing with saturation clamps it to 0..255.
    const auto levelAt = [&](__m128 along, __m128 across) {
        const __m128 beyond = _mm_max_ps(_mm_sub_ps(_mm_and_ps(along, magnitude), half), zero);
        const __m128 d2 = _mm_add_ps(_mm_mul_ps(beyond, beyond), _mm_mul_ps(across, across));
        return _mm_cvtps_epi32(_mm_sub_ps(reach, _mm_sqrt_ps(d2)));
    };
    // The next quad along, as the plain build steps it.
    const auto level = [&](__m128& along, __m128& across) {
        const __m128i c = levelAt(along, across);
        along = _mm_add_ps(along, quadU);
        across = _mm_add_ps(across, quadW);
        return c;
    };
    const auto raise4 = [](std::uint8_t* p, __m128i a) {
        detail::raise4(p, _mm_packs_epi32(a, a));
    };
    const auto raise8 = [](std::uint8_t* p, __m128i a, __m128i b) {
        detail::raise8(p, _mm_packs_epi32(a, b));
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

#if defined(ROTAVEL_AVX2_PIXELS)
namespace detail {

// Two quads' coverage, a's then b's, as the SSE2 build computes each: eight 16-bit lanes, not
// yet saturated to bytes.
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i
levels8(__m128 alongA, __m128 acrossA, __m128 alongB, __m128 acrossB, float half, float reach) {
    const __m256 along = _mm256_set_m128(alongB, alongA);
    const __m256 across = _mm256_set_m128(acrossB, acrossA);
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 beyond = _mm256_max_ps(
        _mm256_sub_ps(_mm256_and_ps(along, magnitude), _mm256_set1_ps(half)), _mm256_setzero_ps());
    const __m256 d2 = _mm256_add_ps(_mm256_mul_ps(beyond, beyond), _mm256_mul_ps(across, across));
    const __m256i c = _mm256_cvtps_epi32(_mm256_sub_ps(_mm256_set1_ps(reach), _mm256_sqrt_ps(d2)));
    return _mm_packs_epi32(_mm256_castsi256_si128(c), _mm256_extracti128_si256(c, 1));
}

} // namespace detail

// Eight pixels to an operation: the two quads of a row side by side, or where a box is one quad
// wide, two rows' quads. Each quad's along and across are stepped exactly as the SSE2 build steps
// them, so that every lane sees the same values.
template <>
[[gnu::target("avx2")]] inline void
StrokeCoverage::box<Path::Avx2>(std::uint8_t* row, std::ptrdiff_t stride, int rows, int quads,
                                float dx, float dy) const {
    const float half = m_half, reach = m_reach;
    const detail::Lanes start = detail::lanesFor(m_ux, m_uy, half, dx, dy);
    __m128 rowAlong = start.rowAlong, rowAcross = start.rowAcross;
    const __m128 quadU = start.quadU, quadW = start.quadW, stepU = start.stepU, stepW = start.stepW;
    if (quads == 1) {
        int r = 0;
        for (; r + 1 < rows; r += 2, row += 2 * stride) {
            const __m128 nextAlong = _mm_add_ps(rowAlong, stepU);
            const __m128 nextAcross = _mm_add_ps(rowAcross, stepW);
            detail::raise4x2(
                row, row + stride,
                detail::levels8(rowAlong, rowAcross, nextAlong, nextAcross, half, reach));
            rowAlong = _mm_add_ps(nextAlong, stepU);
            rowAcross = _mm_add_ps(nextAcross, stepW);
        }
        if (r < rows) { // the last row, alone: its quad twice, one copy stored
            detail::raise4(row,
                           detail::levels8(rowAlong, rowAcross, rowAlong, rowAcross, half, reach));
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
            const __m128 along1 = _mm_add_ps(along, quadU), across1 = _mm_add_ps(across, quadW);
            const __m128 along2 = _mm_add_ps(along1, quadU), across2 = _mm_add_ps(across1, quadW);
            const __m128 along3 = _mm_add_ps(along2, quadU), across3 = _mm_add_ps(across2, quadW);
            const __m128i ab = detail::levels8(along, across, along1, across1, half, reach);
            const __m128i cd = detail::levels8(along2, across2, along3, across3, half, reach);
            along = _mm_add_ps(along3, quadU);
            across = _mm_add_ps(across3, quadW);
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                             _mm_max_epu8(_mm_packus_epi16(ab, cd), old));
        }
        for (; q >= 2; q -= 2, p += 8) {
            const __m128 along1 = _mm_add_ps(along, quadU), across1 = _mm_add_ps(across, quadW);
            detail::raise8(p, detail::levels8(along, across, along1, across1, half, reach));
            along = _mm_add_ps(along1, quadU);
            across = _mm_add_ps(across1, quadW);
        }
        if (q) { // one quad left: worked twice, stored once
            detail::raise4(p, detail::levels8(along, across, along, across, half, reach));
        }
    }
}
#endif

// Two channels at a time; (v + 128) * 257 >> 16 is v / 255 rounded, and the same sum the SSE2
// build takes per channel.
inline std::uint32_t blend(std::uint32_t dst, std::uint32_t src, std::uint32_t a) {
    const std::uint32_t ia = 255 - a;
    std::uint32_t rb = (src & 0xFF00FFu) * a + (dst & 0xFF00FFu) * ia + 0x800080u;
    std::uint32_t ag = ((src >> 8) & 0xFF00FFu) * a + ((dst >> 8) & 0xFF00FFu) * ia + 0x800080u;
    rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    ag = (ag + ((ag >> 8) & 0xFF00FFu)) & 0xFF00FF00u;
    return ag | rb;
}

namespace detail {

// The pixels from x up to hi one at a time.
inline void compositeTail(std::uint32_t* pixels, std::uint8_t* mask, int x, int hi,
                          std::uint32_t colour, int& first, int& last) {
    for (; x <= hi; ++x) {
        if (const std::uint32_t c = mask[x]) {
            pixels[x] = c == 255 ? colour : blend(pixels[x], colour, c);
            mask[x] = 0;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
}

} // namespace detail

template <>
inline void compositeRow<Path::Scalar>(std::uint32_t* pixels, std::uint8_t* mask, int lo, int hi,
                                       int, std::uint32_t colour, int& first, int& last) {
    detail::compositeTail(pixels, mask, lo, hi, colour, first, last);
}

#if defined(__SSE2__)
template <>
[[gnu::always_inline]] inline void
compositeRow<Path::Simd>(std::uint32_t* pixels, std::uint8_t* mask, int lo, int hi, int end,
                         std::uint32_t colour, int& first, int& last) {
    int x = lo;
    const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi8(char(0xFF));
    const __m128i src = _mm_set1_epi32(int(colour));
    // Four pixels' red and blue, and apart from them alpha and green, a channel a 16-bit lane:
    // every product and sum then fits its lane.
    const __m128i low = _mm_set1_epi32(0x00FF00FF);
    const __m128i srcRB = _mm_and_si128(src, low), srcAG = _mm_srli_epi16(src, 8);
    const __m128i round = _mm_set1_epi16(128), by257 = _mm_set1_epi16(257);
    // Four pixels at p with coverage bytes in the low four bytes of `cov`: the sums of `blend`.
    const auto four = [&](std::uint32_t* p, __m128i cov) {
        __m128i a = _mm_unpacklo_epi8(cov, zero); // a0..a3 as words
        a = _mm_unpacklo_epi16(a, a);             // a0 a0 a1 a1 a2 a2 a3 a3
        const __m128i ia = _mm_xor_si128(a, low); // 255 - a
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i rb =
            _mm_add_epi16(_mm_mullo_epi16(srcRB, a), _mm_mullo_epi16(_mm_and_si128(d, low), ia));
        const __m128i ag =
            _mm_add_epi16(_mm_mullo_epi16(srcAG, a), _mm_mullo_epi16(_mm_srli_epi16(d, 8), ia));
        const __m128i outRB = _mm_mulhi_epu16(_mm_add_epi16(rb, round), by257);
        const __m128i outAG = _mm_mulhi_epu16(_mm_add_epi16(ag, round), by257);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                         _mm_or_si128(outRB, _mm_slli_epi16(outAG, 8)));
    };
    for (; x <= hi && x + 15 <= end; x += 16) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + x));
        // One bit a pixel with coverage.
        const int used = _mm_movemask_epi8(_mm_cmpeq_epi8(m, zero)) ^ 0xFFFF;
        if (!used)
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
        if (used & 0x000F)
            four(p, m);
        if (used & 0x00F0)
            four(p + 4, _mm_srli_si128(m, 4));
        if (used & 0x0F00)
            four(p + 8, _mm_srli_si128(m, 8));
        if (used & 0xF000)
            four(p + 12, _mm_srli_si128(m, 12));
    }
    detail::compositeTail(pixels, mask, x, hi, colour, first, last);
}
#endif

#if defined(ROTAVEL_AVX2_PIXELS)
// The SSE2 build's groups of 16, blended eight pixels to an operation.
template <>
[[gnu::target("avx2")]] inline void
compositeRow<Path::Avx2>(std::uint32_t* pixels, std::uint8_t* mask, int lo, int hi, int end,
                         std::uint32_t colour, int& first, int& last) {
    int x = lo;
    const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi8(char(0xFF));
    const __m256i src = _mm256_set1_epi32(int(colour));
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i srcRB = _mm256_and_si256(src, low), srcAG = _mm256_srli_epi16(src, 8);
    const __m256i round = _mm256_set1_epi16(128), by257 = _mm256_set1_epi16(257);
    for (; x <= hi && x + 15 <= end; x += 16) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + x));
        const int used = _mm_movemask_epi8(_mm_cmpeq_epi8(m, zero)) ^ 0xFFFF;
        if (!used)
            continue;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mask + x), zero);
        first = std::min(first, x);
        last = x + 15;
        std::uint32_t* const p = pixels + x;
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, ones)) == 0xFFFF) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), src);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 8), src);
            continue;
        }
        for (int half = 0; half < 2; ++half) {
            if (!(used & (0xFF << (8 * half))))
                continue; // blending nothing would leave them as they are
            const __m128i cov = half ? _mm_srli_si128(m, 8) : m;
            // a0 a0 a1 a1 ... a7 a7 as words, then 255 - a
            const __m256i a = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(cov, cov));
            const __m256i ia = _mm256_xor_si256(a, low);
            __m256i* const at = reinterpret_cast<__m256i*>(p + 8 * half);
            const __m256i d = _mm256_loadu_si256(at);
            const __m256i rb = _mm256_add_epi16(_mm256_mullo_epi16(srcRB, a),
                                                _mm256_mullo_epi16(_mm256_and_si256(d, low), ia));
            const __m256i ag = _mm256_add_epi16(_mm256_mullo_epi16(srcAG, a),
                                                _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), ia));
            const __m256i outRB = _mm256_mulhi_epu16(_mm256_add_epi16(rb, round), by257);
            const __m256i outAG = _mm256_mulhi_epu16(_mm256_add_epi16(ag, round), by257);
            _mm256_storeu_si256(at, _mm256_or_si256(outRB, _mm256_slli_epi16(outAG, 8)));
        }
    }
    detail::compositeTail(pixels, mask, x, hi, colour, first, last);
}
#endif

} // namespace rotavel::raster::span_pixels
