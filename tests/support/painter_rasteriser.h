// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/rasteriser.h"

#include <QImage>
#include <QPainter>
#include <QPen>

namespace rotavel::raster {

// The straightforward rasteriser the fast one is measured and checked against: one QPainter call
// per stroke or point, antialiased, with round pen ends, straight onto the image through a QImage
// that shares its pixels; `clear` copies the whole background back.
class PainterRasteriser final : public Rasteriser {
public:
    ~PainterRasteriser() override;

    void attach(PixelBuffer& image, const PixelBuffer& background) override;
    void detach() override;
    void setPen(std::uint32_t colour, int width) override;
    void segment(Point from, Point to) override;
    void dot(Point at) override;
    const Bands& flush() override;
    void clear() override;

private:
    PixelBuffer* m_image = nullptr;
    const PixelBuffer* m_background = nullptr;
    QImage m_view; // m_image's pixels
    QPainter m_painter;
    bool m_changed = false; // drawn or cleared since the last flush: then all of it counts
    Bands m_flushed;
    QPen m_pen{QColor(Qt::white), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin};
};

} // namespace rotavel::raster
