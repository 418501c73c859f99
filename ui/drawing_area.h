#pragma once

#include "surface/image_surface.h"
#include "surface/qt_image_view.h"

#include <QFrame>
#include <QPointer>

class QWindow;

namespace rotavel::ui {

// `Picture1` on screen: a framed widget whose drawing goes to an off-screen persistent image, which
// the widget copies to the screen when it repaints. Repaints come only from the event loop, so a
// cleared or half-drawn frame is never shown.
//
// The image is kept at the device pixel ratio of the screen the window is on: geometry and pen
// widths stay in logical pixels while a dense screen gets a crisp picture.
class DrawingArea final : public QFrame, public surface::Surface {
    Q_OBJECT

public:
    // 452 x 430 with its thin sunken border; the interior is the image surface's 448 x 426.
    static constexpr int kBorder = 2;
    static constexpr QSize kSize{surface::ImageSurface::kWidth + 2 * kBorder,
                                 surface::ImageSurface::kHeight + 2 * kBorder};

    explicit DrawingArea(QWidget* parent = nullptr);

    void Scale(float x1, float y1, float x2, float y2) override;
    void Cls() override;
    void Line(float x1, float y1, float x2, float y2) override;
    void Line(float x, float y) override;
    void PSet(float x, float y) override;
    void setDrawWidth(int width) override;
    int drawWidth() const override { return m_surface.drawWidth(); }
    void setForeColor(surface::Colour colour) override;
    surface::Colour foreColor() const override { return m_surface.foreColor(); }
    void setAutoRedraw(bool on) override;
    bool autoRedraw() const override { return m_surface.autoRedraw(); }

    // The persistent image, at device pixels with its device pixel ratio set, as last shown.
    QImage image() const { return surface::qImageView(m_surface.image()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Asks for one repaint per batch of drawing: the first call after a paint posts it, the rest
    // of the frame rides along.
    void changed() {
        if (!m_repaintRequested) {
            m_repaintRequested = true;
            update(contentsRect());
        }
    }
    // Re-renders the image if the window's screen has another density than the image.
    void matchScreenDensity();

    surface::ImageSurface m_surface;
    bool m_repaintRequested = false;
    QPointer<QWindow> m_watchedWindow; // whose screen changes we follow
};

} // namespace rotavel::ui
