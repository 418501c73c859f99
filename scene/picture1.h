// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/surface.h"

#include <cstddef>
#include <cstdint>

namespace rotavel::scene {

// The 503 x 90 background picture, a light-cyan field with five black arrows pointing down, drawn
// into the top-left corner of the pixels at their device pixel ratio and cut off at their edges.
// The arrows are antialiased by the exact area of each pixel they cover, in plain floating-point
// arithmetic, so every build of the program makes the same bytes.
void drawPicture1(std::uint32_t* pixels, std::ptrdiff_t stride, int width, int height,
                  double ratio);

// The drawing area the rotor is drawn on, as the window lays it out: the interior of the
// 452 x 430 area inside its 2-pixel border, blue under the arrow picture, in twips (15 a pixel at
// 96 dots per inch) until the rotor sets its own scale.
inline constexpr surface::Backdrop kPicture1{
    .width = 448,
    .height = 426,
    .unitsPerPixel = 15.0,
    .backColor = 0x00C00000,
    .picture = drawPicture1,
};

} // namespace rotavel::scene
