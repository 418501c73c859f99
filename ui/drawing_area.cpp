// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/drawing_area.h"

#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <cmath>

namespace rotavel::ui {

DrawingArea::DrawingArea(QWidget* parent)
    : QFrame(parent), m_surface(scene::kPicture1, devicePixelRatioF()) {
    setObjectName(QStringLiteral("Picture1"));
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // the classic two-pixel sunken edge
    setGeometry(QRect(QPoint(0, 0), kSize));
    // The image covers the whole interior and the frame is drawn on top: no background to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A screen reader meets the picture as an animation, not as a bare panel. It is no tab stop.
    QAccessible::registerAccessibleInterface(new QAccessibleWidget(this, QAccessible::Animation));
}

void DrawingArea::present() {
    if (m_surface.present().empty())
        return;
    // Band by band: the background between vanes that lie apart is not sent again. The bands are
    // the image's device pixels; the widget takes logical ones, rounded outward.
    const qreal ratio = m_surface.devicePixelRatio();
    const QRect image(0, 0, scene::kPicture1.width, scene::kPicture1.height);
    QRegion changed;
    for (const raster::Rect& band : m_surface.presentedBands()) {
        const QPoint topLeft(int(std::floor(band.x / ratio)), int(std::floor(band.y / ratio)));
        const QPoint end(int(std::ceil((band.x + band.width) / ratio)),
                         int(std::ceil((band.y + band.height) / ratio)));
        changed += QRect(topLeft, end - QPoint(1, 1)) & image;
    }
    update(changed.translated(contentsRect().topLeft()));
}

void DrawingArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The image is opaque: a plain copy, no blending, of the exposed part only.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect interior = contentsRect();
    const QImage image = this->image(); // shares the surface's pixels
    const qreal ratio = image.devicePixelRatio();
    for (const QRect& exposed : event->region()) {
        const QRect target = exposed & interior;
        if (target.isEmpty())
            continue;
        const QRectF source(QPointF(target.topLeft() - interior.topLeft()) * ratio,
                            QSizeF(target.size()) * ratio);
        // Clipped to one rectangle, the copy is a row-by-row blit; clipped to a region of
        // several, QtGui fills it span by span and hands tall ones to its thread pool.
        painter.setClipRect(target);
        painter.drawImage(QPointF(target.topLeft()), image, source);
    }
    painter.setClipping(false);
    if (!interior.contains(event->rect())) { // the border is exposed too
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        drawFrame(&painter);
    }
}

void DrawingArea::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    QWindow* window = this->window()->windowHandle();
    if (window && window != m_watchedWindow) {
        if (m_watchedWindow)
            disconnect(m_watchedWindow, &QWindow::screenChanged, this, nullptr);
        connect(window, &QWindow::screenChanged, this, [this] { matchScreenDensity(); });
        m_watchedWindow = window;
    }
    matchScreenDensity();
}

void DrawingArea::matchScreenDensity() {
    const qreal ratio = devicePixelRatioF();
    if (ratio == m_surface.devicePixelRatio())
        return;
    m_surface.setDevicePixelRatio(ratio);
    present(); // all of the image, drawn again at the new density
}

} // namespace rotavel::ui
