// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/raster/image_surface.h"

#include "surface/raster/background_picture.h"
#include "surface/raster/span_rasteriser.h"

#include <algorithm>
#include <cmath>

namespace rotavel::raster {

using surface::Call;

namespace {

// The device pixels of a logical length: whole pixels, rounded up.
int devicePixels(int logical, double ratio) {
    return int(std::ceil(logical * ratio));
}

// `to` drawn again from `from`, a picture of the same logical size at another ratio: each pixel
// takes the one under its centre.
void resample(const PixelBuffer& from, PixelBuffer& to) {
    if (from.isNull())
        return;
    const double sx = double(from.width()) / to.width(), sy = double(from.height()) / to.height();
    for (int y = 0; y < to.height(); ++y) {
        const std::uint32_t* const source =
            from.row(std::min(from.height() - 1, int((y + 0.5) * sy)));
        std::uint32_t* const row = to.row(y);
        for (int x = 0; x < to.width(); ++x)
            row[x] = source[std::min(from.width() - 1, int((x + 0.5) * sx))];
    }
}

} // namespace

ImageSurface::ImageSurface(double devicePixelRatio, PixelOrder order)
    : ImageSurface(std::make_unique<SpanRasteriser>(), devicePixelRatio, order) {}

ImageSurface::ImageSurface(std::unique_ptr<Rasteriser> rasteriser, double devicePixelRatio,
                           PixelOrder order)
    : m_ratio(devicePixelRatio > 0 ? devicePixelRatio : 1.0), m_order(order),
      m_rasteriser(rasteriser ? std::move(rasteriser) : std::make_unique<SpanRasteriser>()) {
    allocate();
    m_rasteriser->attach(m_image, m_background);
    applyPen();
}

ImageSurface::~ImageSurface() = default;

Rect ImageSurface::present() {
    drawPending();
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
    m_background = PixelBuffer(devicePixels(kWidth, m_ratio), devicePixels(kHeight, m_ratio),
                               m_ratio, 0xFF000000u | surface::toRgb(kBackColor));
    drawBackgroundPicture(m_background);
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
    drawPending();
    m_rasteriser->flush();
    m_rasteriser->detach();
    const bool replayable = m_sinceCls.size() < kReplayLimit;
    PixelBuffer before;
    if (!replayable)
        before = std::move(m_image);
    m_ratio = ratio;
    allocate();
    if (!replayable)
        resample(before, m_image);
    m_rasteriser->attach(m_image, m_background);
    applyPen();
    if (replayable)
        replay();
}

bool ImageSurface::record(const Call& call) {
    if (m_replaying)
        return false;
    if (m_sinceCls.size() < kReplayLimit) {
        m_sinceCls.append(call);
        return true;
    }
    drawPending(); // what waits comes first
    return false;
}

void ImageSurface::replay() {
    m_drawn = 0;
    m_stateDrawn = m_stateAtCls;
    drawPending();
}

void ImageSurface::drawPending() {
    const std::vector<Call>& calls = m_sinceCls.calls();
    if (m_drawn == calls.size())
        return;
    const State now = m_state;
    m_state = m_stateDrawn;
    applyPen();
    m_replaying = true;
    for (std::size_t i = m_drawn; i < calls.size(); ++i)
        surface::replay(calls[i], *this);
    m_replaying = false;
    m_drawn = calls.size();
    m_state = m_stateDrawn = now;
    applyPen();
}

Point ImageSurface::toPixels(float x, float y) const {
    return {(x - m_state.originX) * m_state.factorX, (y - m_state.originY) * m_state.factorY};
}

void ImageSurface::Scale(float x1, float y1, float x2, float y2) {
    // A degenerate or non-finite scale would divide by zero; the previous coordinates stay.
    const double w = double(x2) - x1, h = double(y2) - y1;
    if (!std::isfinite(w) || !std::isfinite(h) || w == 0 || h == 0)
        return;
    record({Call::Op::Scale, x1, y1, x2, y2});
    m_state.originX = x1;
    m_state.originY = y1;
    m_state.factorX = kWidth / w;
    m_state.factorY = kHeight / h;
}

void ImageSurface::Cls() {
    m_rasteriser->clear();
    m_sinceCls.clear();
    m_drawn = 0;
    m_stateAtCls = m_stateDrawn = m_state;
}

void ImageSurface::Line(float x1, float y1, float x2, float y2) {
    const bool later = record({Call::Op::Line, x1, y1, x2, y2});
    m_state.current = toPixels(x1, y1);
    strokeTo(toPixels(x2, y2), later);
}

void ImageSurface::Line(float x, float y) {
    const bool later = record({Call::Op::LineTo, x, y});
    strokeTo(toPixels(x, y), later);
}

void ImageSurface::PSet(float x, float y) {
    const bool later = record({Call::Op::PSet, x, y});
    m_state.current = toPixels(x, y);
    if (!later)
        m_rasteriser->dot(m_state.current);
}

void ImageSurface::setDrawWidth(int width) {
    record({.op = Call::Op::DrawWidth, .width = width});
    m_state.drawWidth = width;
    applyPen();
}

void ImageSurface::setForeColor(surface::Colour colour) {
    record({.op = Call::Op::ForeColor, .colour = colour});
    m_state.foreColor = colour;
    applyPen();
}

void ImageSurface::applyPen() {
    // The pen as the rasteriser takes it, and only so: opaque, and at least one pixel wide (a
    // width below one still draws a one-pixel line, as a hairline would).
    m_rasteriser->setPen(inOrder(0xFF000000u | surface::toRgb(m_state.foreColor), m_order),
                         std::max(1, m_state.drawWidth));
}

void ImageSurface::strokeTo(Point to, bool later) {
    if (!later)
        m_rasteriser->segment(m_state.current, to);
    m_state.current = to;
}

} // namespace rotavel::raster
