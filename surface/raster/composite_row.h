// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/span_pixels.h"

#include <algorithm>
#include <cstdint>

namespace rotavel::raster::span_pixels {

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

} // namespace rotavel::raster::span_pixels
