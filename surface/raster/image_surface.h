// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/geometry.h"
#include "surface/raster/pixel_buffer.h"
#include "surface/raster/rasteriser.h"
#include "surface/surface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace rotavel::raster {

// The drawing area as an off-screen, persistent image: what the on-screen drawing area shows, what
// the headless driver saves and what the web page puts on its canvas. It is allocated at the
// logical size times the device pixel ratio and tagged with that ratio, so geometry and pen widths
// stay in logical pixels and a dense screen gets a crisp picture.
//
// Strokes and points are kept as marks, each with its ends and its pen, from one clear to the
// next; `present` hands the marks not yet drawn to a `Rasteriser`, which makes their pixels. That
// one path serves every picture: a picture cleared before anyone saw it costs no pixels (the page
// ticks more often than its screen shows a frame), and at another ratio every mark since the
// clear is drawn again, crisp. Plain C++: the desktop shows the image through a view that wraps
// its pixels (qt_image_view.h).
class ImageSurface final : public surface::Surface {
public:
    // An image of `backdrop`, its pixels in `order`: the desktop's words, or a web canvas's bytes.
    explicit ImageSurface(const surface::Backdrop& backdrop, double devicePixelRatio = 1.0,
                          PixelOrder order = PixelOrder::Xrgb);
    // Draws strokes and points with another rasteriser (the benchmark's QPainter reference).
    ImageSurface(const surface::Backdrop& backdrop, std::unique_ptr<Rasteriser> rasteriser,
                 double devicePixelRatio, PixelOrder order = PixelOrder::Xrgb);
    ~ImageSurface() override;

    void Scale(float x1, float y1, float x2, float y2) override;
    void Cls() override;
    void Line(float x1, float y1, float x2, float y2) override;
    void Line(float x, float y) override;
    void PSet(float x, float y) override;
    void setDrawWidth(int width) override;
    int drawWidth() const override { return m_drawWidth; }
    void setForeColor(surface::Colour colour) override;
    surface::Colour foreColor() const override { return m_foreColor; }
    void setAutoRedraw(bool on) override { m_autoRedraw = on; }
    bool autoRedraw() const override { return m_autoRedraw; }

    // Draws every stroke and point since the last call into the image, and returns the rectangle
    // (device pixels of the image) holding every pixel changed since the previous call: what clears
    // erased and what was drawn. Empty when nothing changed; all of the image after it was made or
    // re-rendered at another ratio.
    Rect present();
    // The same change band by band: rectangles inside the one `present` returned that between
    // them hold every pixel it changed, top to bottom. Valid until the next `present`.
    std::span<const Rect> presentedBands() const { return m_presentedBands; }
    // The persistent image, at device pixels with its device pixel ratio set: what the last
    // `present` left.
    const PixelBuffer& image() const { return m_image; }
    double devicePixelRatio() const { return m_ratio; }
    // Re-renders at another ratio: the background and everything drawn since the last `Cls` are
    // drawn again at the new density at the next `present`, so moving to a denser screen stays
    // crisp.
    void setDevicePixelRatio(double ratio);

    // The size, background and first coordinates it was made with.
    const surface::Backdrop& backdrop() const { return m_backdrop; }
    // Where a user point lands, in logical pixels from the top-left corner.
    Point toPixels(float x, float y) const;

private:
    // The pen as the rasteriser takes it: opaque, in the image's order, at least 1 pixel wide.
    struct Pen {
        std::uint32_t colour = 0;
        int width = 1;

        bool operator==(const Pen&) const = default;
    };
    // A step of the picture, in logical pixels: the pen moves to `at`, draws a stroke there from
    // where it was, or a dot there; in pen `m_pens[pen]`. Small, as a frame makes over a thousand.
    struct Mark {
        enum class Kind : std::uint8_t { Move, Stroke, Dot };
        Point at;
        std::uint32_t pen;
        Kind kind;
    };
    static constexpr std::uint32_t kNoPen = ~0u;

    void allocate();
    void setPen();
    void mark(Mark::Kind kind, Point at);

    surface::Backdrop m_backdrop;
    double m_ratio = 1.0;
    PixelOrder m_order = PixelOrder::Xrgb;
    PixelBuffer m_background; // background colour and picture, cached at the current ratio
    PixelBuffer m_image;
    std::vector<Rect> m_presentedBands; // room for every band, made with the image

    // Pixel = (user - origin) * factor; until the first `Scale`, the backdrop's units from the
    // top-left corner.
    double m_originX = 0, m_originY = 0;
    double m_factorX = 1, m_factorY = 1;
    int m_drawWidth = surface::PenDefaults::kDrawWidth;
    surface::Colour m_foreColor = surface::PenDefaults::kForeColor;
    Point m_current; // logical pixels
    bool m_autoRedraw = false;
    Pen m_pen;
    std::uint32_t m_penMarked = kNoPen; // m_pen's place in m_pens, once a mark has used it

    // The picture since the last clear; it starts with a move to the point the clear left.
    std::vector<Mark> m_marks;
    std::vector<Pen> m_pens;
    // How much of it the rasteriser has had, and where that left the pen.
    std::size_t m_drawn = 0;
    Point m_drawnTo;
    std::uint32_t m_drawnPen = kNoPen;

    // Last, so it lets go of the image before the image goes.
    std::unique_ptr<Rasteriser> m_rasteriser;
};

} // namespace rotavel::raster
