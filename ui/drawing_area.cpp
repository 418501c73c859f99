#include "ui/drawing_area.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace rotavel::ui {

DrawingArea::DrawingArea(QWidget* parent) : QFrame(parent), m_surface(devicePixelRatioF()) {
    setObjectName(QStringLiteral("Picture1"));
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // the classic two-pixel sunken edge
    setGeometry(QRect(QPoint(0, 0), kSize));
    // The image covers the whole interior and the frame is drawn on top: no background to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A screen reader meets the picture as an animation, not as a bare panel. It is no tab stop.
    QAccessible::registerAccessibleInterface(new QAccessibleWidget(this, QAccessible::Animation));
}

void DrawingArea::Scale(float x1, float y1, float x2, float y2) {
    m_surface.Scale(x1, y1, x2, y2);
}

void DrawingArea::Cls() {
    m_surface.Cls();
    changed();
}

void DrawingArea::Line(float x1, float y1, float x2, float y2) {
    m_surface.Line(x1, y1, x2, y2);
    changed();
}

void DrawingArea::Line(float x, float y) {
    m_surface.Line(x, y);
    changed();
}

void DrawingArea::PSet(float x, float y) {
    m_surface.PSet(x, y);
    changed();
}

void DrawingArea::setDrawWidth(int width) {
    m_surface.setDrawWidth(width);
}

void DrawingArea::setForeColor(surface::Colour colour) {
    m_surface.setForeColor(colour);
}

void DrawingArea::setAutoRedraw(bool on) {
    m_surface.setAutoRedraw(on);
}

void DrawingArea::paintEvent(QPaintEvent*) {
    m_repaintRequested = false;
    m_surface.present();
    QPainter painter(this);
    // The image is opaque: a plain copy, no blending.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(contentsRect().topLeft(), image());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawFrame(&painter);
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
    update(contentsRect());
}

} // namespace rotavel::ui
