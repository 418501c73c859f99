// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "tests/support/painter_rasteriser.h"

#include "surface/raster/qt_image_view.h"

#include <algorithm>
#include <utility>

namespace rotavel::raster {

PainterRasteriser::~PainterRasteriser() {
    detach();
}

void PainterRasteriser::attach(PixelBuffer& image, const PixelBuffer& background) {
    detach();
    m_image = &image;
    m_background = &background;
    m_view = qImageView(image);
    m_painter.begin(&m_view);
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setPen(m_pen);
    m_changed = true;
    m_flushed = Bands(image.height());
}

void PainterRasteriser::detach() {
    if (m_painter.isActive())
        m_painter.end();
    m_view = QImage();
    m_image = nullptr;
    m_background = nullptr;
}

void PainterRasteriser::setPen(std::uint32_t colour, int width) {
    m_pen.setColor(QColor::fromRgb(colour));
    m_pen.setWidth(width);
    if (m_painter.isActive())
        m_painter.setPen(m_pen);
}

void PainterRasteriser::segment(Point from, Point to) {
    if (m_painter.isActive())
        m_painter.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
    m_changed = true;
}

void PainterRasteriser::dot(Point at) {
    if (m_painter.isActive())
        m_painter.drawPoint(QPointF(at.x, at.y));
    m_changed = true;
}

const Bands& PainterRasteriser::flush() {
    m_flushed.clear();
    if (m_image && std::exchange(m_changed, false))
        m_flushed.add({0, 0, m_image->width() - 1, m_image->height() - 1});
    return m_flushed;
}

void PainterRasteriser::clear() {
    if (m_image)
        std::copy_n(m_background->data(),
                    std::size_t(m_background->height()) * m_background->stride(), m_image->data());
    m_changed = true;
}

} // namespace rotavel::raster
