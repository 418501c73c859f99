#pragma once

#include "surface/rasteriser.h"

#include <QPainter>
#include <QPen>

namespace rotavel::surface {

// The straightforward rasteriser the fast one is measured and checked against: one QPainter call
// per stroke or point, antialiased, with round pen ends, straight onto the image; `clear` copies
// the whole background back.
class PainterRasteriser final : public Rasteriser {
public:
    ~PainterRasteriser() override;

    void attach(QImage& image, const QImage& background) override;
    void detach() override;
    void setPen(QRgb colour, int width) override;
    void segment(QPointF from, QPointF to) override;
    void dot(QPointF at) override;
    Box flush() override;
    void clear() override;

private:
    QImage* m_image = nullptr;
    const QImage* m_background = nullptr;
    QPainter m_painter;
    bool m_changed = false; // drawn or cleared since the last flush: then all of it counts
    QPen m_pen{QColor(Qt::white), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin};
};

} // namespace rotavel::surface
