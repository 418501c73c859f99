// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/raster/image_surface.h"

#include "surface/raster/span_rasteriser.h"

#include <algorithm>
#include <cmath>

namespace rotavel::raster {

namespace {

// The device pixels of a logical length: whole pixels, rounded up.
int devicePixels(int logical, double ratio) {
    return int(std::ceil(logical * ratio));
}

} // namespace

ImageSurface::ImageSurface(const surface::Backdrop& backdrop, double devicePixelRatio,
                           PixelOrder order)
    : ImageSurface(backdrop, std::make_unique<SpanRasteriser>(), devicePixelRatio, order) {}

ImageSurface::ImageSurface(const surface::Backdrop& backdrop,
                           std::unique_ptr<Rasteriser> rasteriser, double devicePixelRatio,
                           PixelOrder order)
    : m_backdrop(backdrop), m_ratio(devicePixelRatio > 0 ? devicePixelRatio : 1.0), m_order(order),
      m_factorX(1 / backdrop.unitsPerPixel), m_factorY(1 / backdrop.unitsPerPixel),
      m_rasteriser(rasteriser ? std::move(rasteriser) : std::make_unique<SpanRasteriser>()) {
    allocate();
    m_rasteriser->attach(m_image, m_background);
    setPen();
    m_marks.reserve(4096); // more than a frame of the rotor's
    m_pens.reserve(64);
    mark(Mark::Kind::Move, m_current);
}

ImageSurface::~ImageSurface() = default;

Rect ImageSurface::present() {
    Rasteriser& rasteriser = *m_rasteriser;
    Point to = m_drawnTo;
    std::uint32_t pen = m_drawnPen;
    for (auto mark = m_marks.cbegin() + std::ptrdiff_t(m_drawn); mark != m_marks.cend(); ++mark) {
        const Point from = to;
        to = mark->at;
        if (mark->kind == Mark::Kind::Move)
            continue;
        if (mark->pen != pen) {
            pen = mark->pen;
            rasteriser.setPen(m_pens[pen].colour, m_pens[pen].width);
        }
        if (mark->kind == Mark::Kind::Stroke)
            rasteriser.segment(from, to);
        else
            rasteriser.dot(to);
    }
    m_drawn = m_marks.size();
    m_drawnTo = to;
    m_drawnPen = pen;
    const Bands& changed = m_rasteriser->flush();
    const auto rect = [](const Box& b) {
        return Rect{b.x0, b.y0, b.x1 - b.x0 + 1, b.y1 - b.y0 + 1};
    };
    // A band joins the one above when that wastes few pixels: each rectangle costs the screen a
    // request of its own.
    constexpr int kWorthARequest = 1024;
    const auto area = [](const Box& b) { return (b.x1 - b.x0 + 1) * (b.y1 - b.y0 + 1); };
    m_presentedBands.clear();
    Box run;
    changed.forEach([&](const Box& band) {
        Box joined = run;
        joined.add(band);
        if (!run.empty() && area(joined) - area(run) - area(band) > kWorthARequest) {
            m_presentedBands.push_back(rect(run));
            joined = band;
        }
        run = joined;
    });
    if (!run.empty())
        m_presentedBands.push_back(rect(run));
    return changed.empty() ? Rect{} : rect(changed.bounds());
}

// The background and a fresh image showing it, at the current ratio.
void ImageSurface::allocate() {
    m_background = PixelBuffer(devicePixels(m_backdrop.width, m_ratio),
                               devicePixels(m_backdrop.height, m_ratio), m_ratio,
                               0xFF000000u | surface::toRgb(m_backdrop.backColor));
    if (m_backdrop.picture)
        m_backdrop.picture(m_background.data(), m_background.stride(), m_background.width(),
                           m_background.height(), m_ratio);
    if (m_order != PixelOrder::Xrgb) {
        std::uint32_t* const first = m_background.data();
        const std::size_t count = std::size_t(m_background.width()) * m_background.height();
        std::transform(first, first + count, first,
                       [this](std::uint32_t p) { return inOrder(p, m_order); });
    }
    m_image = m_background;
    m_presentedBands.clear();
    m_presentedBands.reserve(std::size_t(m_image.height() / Bands::kRows + 1));
}

void ImageSurface::setDevicePixelRatio(double ratio) {
    if (!(ratio > 0) || ratio == m_ratio)
        return;
    m_rasteriser->detach();
    m_ratio = ratio;
    allocate();
    m_rasteriser->attach(m_image, m_background);
    m_drawn = 0; // every mark since the clear, again at the new density
    m_drawnPen = kNoPen;
}

Point ImageSurface::toPixels(float x, float y) const {
    return {(x - m_originX) * m_factorX, (y - m_originY) * m_factorY};
}

void ImageSurface::Scale(float x1, float y1, float x2, float y2) {
    // A degenerate or non-finite scale would divide by zero; the previous coordinates stay.
    const double w = double(x2) - x1, h = double(y2) - y1;
    if (!std::isfinite(w) || !std::isfinite(h) || w == 0 || h == 0)
        return;
    m_originX = x1;
    m_originY = y1;
    m_factorX = m_backdrop.width / w;
    m_factorY = m_backdrop.height / h;
}

void ImageSurface::Cls() {
    m_rasteriser->clear();
    m_marks.clear();
    m_pens.clear();
    m_penMarked = m_drawnPen = kNoPen;
    m_drawn = 0;
    mark(Mark::Kind::Move, m_current);
}

void ImageSurface::Line(float x1, float y1, float x2, float y2) {
    mark(Mark::Kind::Move, toPixels(x1, y1));
    mark(Mark::Kind::Stroke, toPixels(x2, y2));
}

void ImageSurface::Line(float x, float y) {
    mark(Mark::Kind::Stroke, toPixels(x, y));
}

void ImageSurface::PSet(float x, float y) {
    mark(Mark::Kind::Dot, toPixels(x, y));
}

void ImageSurface::setDrawWidth(int width) {
    m_drawWidth = width;
    setPen();
}

void ImageSurface::setForeColor(surface::Colour colour) {
    m_foreColor = colour;
    setPen();
}

void ImageSurface::setPen() {
    // Opaque, and at least one pixel wide: a width below one still draws a one-pixel line, as a
    // hairline would.
    const Pen pen{inOrder(0xFF000000u | surface::toRgb(m_foreColor), m_order),
                  std::max(1, m_drawWidth)};
    if (!(pen == m_pen))
        m_penMarked = kNoPen;
    m_pen = pen;
}

void ImageSurface::mark(Mark::Kind kind, Point at) {
    if (m_penMarked == kNoPen) {
        m_penMarked = std::uint32_t(m_pens.size());
        m_pens.push_back(m_pen);
    }
    m_marks.push_back({at, m_penMarked, kind});
    m_current = at;
}

} // namespace rotavel::raster
