// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/pixel_buffer.h"

namespace rotavel::raster {

// The 503 x 90 background picture, a light-cyan field with five black arrows pointing down, drawn
// into the top-left corner of `image` at its device pixel ratio and cut off at its edges. The
// arrows are antialiased by the exact area of each pixel they cover, in plain floating-point
// arithmetic, so every build of the program makes the same bytes.
void drawBackgroundPicture(PixelBuffer& image);

} // namespace rotavel::raster
