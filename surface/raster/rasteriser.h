// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/bands.h"
#include "surface/raster/geometry.h"
#include "surface/raster/pixel_buffer.h"

#include <cstdint>

namespace rotavel::raster {

// How the image surface's pens reach the pixels. The surface keeps the coordinates, the pen and
// the persistent image; a rasteriser only turns round-capped strokes and round dots, given in
// logical pixels, into pixels of that image. The program draws with `SpanRasteriser`; the
// benchmark and the picture tests compare it with one that makes a QPainter call per stroke.
class Rasteriser {
public:
    virtual ~Rasteriser() = default;

    // From now on draws on `image` (at its device pixel ratio); `clear` brings back `background`,
    // a picture of the same size. The image may already hold a picture: the first `clear`
    // restores all of it, and the next `flush` reports all of it changed. Both must stay alive
    // and unmoved until `detach`, and the background unchanged.
    virtual void attach(PixelBuffer& image, const PixelBuffer& background) = 0;
    // Lets go of the image, so the surface can reallocate it. Call `flush` first to keep strokes.
    virtual void detach() = 0;
    // The pen for later strokes: an opaque colour 0xFFRRGGBB and a width of at least 1 logical
    // pixel.
    virtual void setPen(std::uint32_t colour, int width) = 0;
    // A straight stroke with round ends; any input is safe, non-finite points draw nothing.
    virtual void segment(Point from, Point to) = 0;
    // A round dot as wide as the pen.
    virtual void dot(Point at) = 0;
    // Puts every stroke drawn so far into the image's pixels; a rasteriser may hold strokes back
    // until then (or until the pen colour changes). Returns, in device pixels, bands holding
    // every pixel that strokes or clears changed since the previous flush; they stay as they are
    // until the next call.
    virtual const Bands& flush() = 0;
    // The image shows the background again; strokes held back are dropped.
    virtual void clear() = 0;
};

} // namespace rotavel::raster
