// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

// The span rasteriser's per-pixel loops: a stroke's coverage into the mask (stroke_coverage.h),
// and the mask's compositing onto the image (composite_row.h). Each comes in two builds that give
// the same bytes: SSE2 where the compiler has it (x86-64, and the page, whose WebAssembly SIMD
// takes the SSE2 intrinsics), plain C++ on every other processor. Both are built wherever SSE2
// is, so that the tests can hold them to each other. To keep them equal the arithmetic is the
// same sequence of correctly rounded single-precision operations in both (exact square roots, no
// approximate reciprocals, and no fused multiply-adds: whatever includes this is built without
// contraction).
namespace rotavel::raster::span_pixels {

enum class Path { Scalar, Simd };

#if defined(__SSE2__)
inline constexpr Path kNative = Path::Simd;
#else
inline constexpr Path kNative = Path::Scalar;
#endif

} // namespace rotavel::raster::span_pixels
