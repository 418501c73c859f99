// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "scene/picture1.h"
#include "surface/raster/image_surface.h"
#include "surface/raster/qt_image_view.h"

#include <QFrame>
#include <QPointer>

class QWindow;

namespace rotavel::ui {

// `Picture1` on screen: a framed view of the off-screen persistent image the rotor draws on.
// After anything that drew, present() composites the strokes and asks for a repaint of the
// rows that changed, band by band, and nothing more; the paint event only copies the exposed pixels
// of the image. Repaints come only from the event loop, so a cleared or half-drawn frame is never
// shown.
//
// The image is kept at the device pixel ratio of the screen the window is on: geometry and pen
// widths stay in logical pixels while a dense screen gets a crisp picture.
class DrawingArea final : public QFrame {
    Q_OBJECT

public:
    // 452 x 430 with its thin sunken border; the interior is the image surface's 448 x 426.
    static constexpr int kBorder = 2;
    static constexpr QSize kSize{scene::kPicture1.width + 2 * kBorder,
                                 scene::kPicture1.height + 2 * kBorder};

    explicit DrawingArea(QWidget* parent = nullptr);

    // What the rotor draws on.
    raster::ImageSurface& surface() { return m_surface; }
    const raster::ImageSurface& surface() const { return m_surface; }
    // The persistent image, at device pixels with its device pixel ratio set, as last presented:
    // a view that shares the image surface's pixels.
    QImage image() const { return raster::qImageView(m_surface.image()); }

    // Composites what was drawn since the last call and asks for a repaint of what it changed.
    void present();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Re-renders the image if the window's screen has another density than the image.
    void matchScreenDensity();

    raster::ImageSurface m_surface;
    QPointer<QWindow> m_watchedWindow; // whose screen changes we follow
};

} // namespace rotavel::ui
