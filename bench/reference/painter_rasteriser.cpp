#include "bench/reference/painter_rasteriser.h"

#include <algorithm>
#include <utility>

namespace rotavel::surface {

PainterRasteriser::~PainterRasteriser() {
    detach();
}

void PainterRasteriser::attach(QImage& image, const QImage& background) {
    detach();
    m_image = &image;
    m_background = &background;
    m_painter.begin(m_image);
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setPen(m_pen);
    m_changed = true;
}

void PainterRasteriser::detach() {
    if (m_painter.isActive())
        m_painter.end();
    m_image = nullptr;
    m_background = nullptr;
}

void PainterRasteriser::setPen(QRgb colour, int width) {
    m_pen.setColor(QColor::fromRgb(colour));
    m_pen.setWidth(width);
    if (m_painter.isActive())
        m_painter.setPen(m_pen);
}

void PainterRasteriser::segment(QPointF from, QPointF to) {
    if (m_painter.isActive())
        m_painter.drawLine(from, to);
    m_changed = true;
}

void PainterRasteriser::dot(QPointF at) {
    if (m_painter.isActive())
        m_painter.drawPoint(at);
    m_changed = true;
}

Box PainterRasteriser::flush() {
    if (!m_image || !std::exchange(m_changed, false))
        return {};
    return {0, 0, m_image->width() - 1, m_image->height() - 1};
}

void PainterRasteriser::clear() {
    if (m_image)
        std::copy_n(m_background->constBits(), m_background->sizeInBytes(), m_image->bits());
    m_changed = true;
}

} // namespace rotavel::surface
