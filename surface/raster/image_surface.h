// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/call_log.h"
#include "surface/raster/geometry.h"
#include "surface/raster/pixel_buffer.h"
#include "surface/raster/rasteriser.h"
#include "surface/surface.h"

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace rotavel::raster {

// The drawing area as an off-screen, persistent image: what the on-screen drawing area shows, what
// the headless driver saves and what the web page puts on its canvas. It is allocated at the
// logical size times the device pixel ratio and tagged with that ratio, so geometry and pen widths
// stay in logical pixels and a dense screen gets a crisp picture. The pixels of strokes and points
// are a `Rasteriser`'s work, done when the picture is presented: a picture cleared before anyone
// saw it costs no pixels (the page ticks more often than its screen shows a frame). Plain C++:
// the desktop shows the image through a view that wraps its pixels (qt_image_view.h).
class ImageSurface final : public surface::Surface {
public:
    // The interior of the 452 x 430 area inside its 2-pixel border, at 96 dots per inch.
    static constexpr int kWidth = 448;
    static constexpr int kHeight = 426;
    static constexpr surface::Colour kBackColor = 0x00C00000;
    static constexpr double kTwipsPerPixel = 15.0;
    // Past this many calls since the last clear the log stops growing: later calls are drawn at
    // once, and a change of ratio scales the image instead of drawing it again.
    static constexpr std::size_t kReplayLimit = 1 << 16;

    // The image's pixels in `order`: the desktop's words, or a web canvas's bytes.
    explicit ImageSurface(double devicePixelRatio = 1.0, PixelOrder order = PixelOrder::Xrgb);
    // Draws strokes and points with another rasteriser (the benchmark's QPainter reference).
    ImageSurface(std::unique_ptr<Rasteriser> rasteriser, double devicePixelRatio,
                 PixelOrder order = PixelOrder::Xrgb);
    ~ImageSurface() override;

    void Scale(float x1, float y1, float x2, float y2) override;
    void Cls() override;
    void Line(float x1, float y1, float x2, float y2) override;
    void Line(float x, float y) override;
    void PSet(float x, float y) override;
    void setDrawWidth(int width) override;
    int drawWidth() const override { return m_state.drawWidth; }
    void setForeColor(surface::Colour colour) override;
    surface::Colour foreColor() const override { return m_state.foreColor; }
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
    // drawn again at the new density, so moving to a denser screen stays crisp.
    void setDevicePixelRatio(double ratio);

    // Where a user point lands, in logical pixels from the interior's top-left corner.
    Point toPixels(float x, float y) const;

private:
    // Everything a later call depends on, so a replay can start from the state a clear left.
    struct State {
        // Pixel = (user - origin) * factor; the default is twips from the top-left corner.
        double originX = 0, originY = 0;
        double factorX = 1.0 / kTwipsPerPixel, factorY = 1.0 / kTwipsPerPixel;
        int drawWidth = surface::PenDefaults::kDrawWidth;
        surface::Colour foreColor = surface::PenDefaults::kForeColor;
        Point current; // logical pixels
    };

    void allocate();
    // Logs a call; true when it is to be drawn at the next present (false while replaying, and
    // once the log is full: then it is drawn at once).
    bool record(const surface::Call& call);
    // Draws everything since the last clear again (after a change of ratio).
    void replay();
    // Draws what waits for the present, each call in the pen of its own moment.
    void drawPending();
    void strokeTo(Point to, bool later);
    void applyPen();

    double m_ratio = 1.0;
    PixelOrder m_order = PixelOrder::Xrgb;
    PixelBuffer m_background; // background colour and picture, cached at the current ratio
    PixelBuffer m_image;
    std::vector<Rect> m_presentedBands; // room for every band, made with the image

    State m_state;
    bool m_autoRedraw = false;

    State m_stateAtCls;
    surface::CallLog m_sinceCls; // the picture since the clear, to draw again at another ratio
    std::size_t m_drawn = 0;     // how much of it is on the image
    State m_stateDrawn;          // the state after that much
    bool m_replaying = false;

    // Last, so it lets go of the image before the image goes.
    std::unique_ptr<Rasteriser> m_rasteriser;
};

} // namespace rotavel::raster
