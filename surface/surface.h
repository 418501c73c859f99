// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The drawing area and the animation timer, as the rotor logic sees them: plain C++, so that
// scene/ never sees Qt. The layering is told in the README.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rotavel::surface {

// 0x00BBGGRR; with the top bit set, 0x80000000 + n names system colour n.
using Colour = std::uint32_t;

inline constexpr Colour kSystemColourFlag = 0x80000000u;
inline constexpr Colour kHighlightText = 0x8000000Eu; // the pen before the first frame

// Resolves a colour to 0x00RRGGBB for painting; system colours take the usual light scheme, and
// an unknown system index resolves to black rather than failing.
std::uint32_t toRgb(Colour colour);

// The drawing area. Coordinates are user units after `Scale`, handed over in single precision.
class Surface {
public:
    virtual ~Surface() = default;

    // User coordinates: (x1, y1) is the interior's top-left corner, (x2, y2) its bottom-right.
    virtual void Scale(float x1, float y1, float x2, float y2) = 0;
    // Erases all drawing, leaving the background colour and picture.
    virtual void Cls() = 0;
    // A segment from (x1, y1) to (x2, y2) in the current pen; (x2, y2) becomes the current point.
    virtual void Line(float x1, float y1, float x2, float y2) = 0;
    // A segment from the current point to (x, y), which becomes the current point.
    virtual void Line(float x, float y) = 0;
    // A round dot as wide as the pen; (x, y) becomes the current point.
    virtual void PSet(float x, float y) = 0;

    // Pen width in pixels; it applies to lines and points alike.
    virtual void setDrawWidth(int width) = 0;
    virtual int drawWidth() const = 0;
    virtual void setForeColor(Colour colour) = 0;
    virtual Colour foreColor() const = 0;
    // Drawing goes to a persistent image that stays until `Cls`; switching it on again is harmless.
    virtual void setAutoRedraw(bool on) = 0;
    virtual bool autoRedraw() const = 0;
};

// A drawing area before anything is drawn on it: its size, its background colour and the picture
// over that colour, and its coordinates until the first `Scale`.
struct Backdrop {
    int width = 0, height = 0; // pixels at 96 dots per inch
    double unitsPerPixel = 1;  // until the first `Scale`, user units from the top-left corner
    Colour backColor = 0;
    // Draws the picture into `height` rows of `width` pixels 0xFFRRGGBB, `stride` pixels apart,
    // that show the background colour, at `ratio` device pixels a pixel. None when null.
    void (*picture)(std::uint32_t* pixels, std::ptrdiff_t stride, int width, int height,
                    double ratio) = nullptr;
};

// Start values shared by every realisation of the drawing area.
struct PenDefaults {
    static constexpr int kDrawWidth = 1;
    static constexpr Colour kForeColor = kHighlightText;
};

} // namespace rotavel::surface
