// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "rotor_rig.h"
#include "surface/manual_timer.h"
#include "ui/drawing_area.h"
#include "ui/main_window.h"

#include <QBackingStore>
#include <QImage>
#include <QPushButton>
#include <QTest>

namespace rotavel::testing {

// Shows `widget` and waits for the screen to have it; false when it never came.
[[nodiscard]] inline bool showAndWait(QWidget& widget) {
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

// The window's parts as a user and a screen reader find them: by their names.
inline ui::DrawingArea* pictureOf(const ui::MainWindow& window) {
    return window.findChild<ui::DrawingArea*>(QStringLiteral("Picture1"));
}
inline QPushButton* runButtonOf(const ui::MainWindow& window) {
    return window.findChild<QPushButton*>(QStringLiteral("Command1"));
}

// The picture a rotor of `nvanes` vanes of half-length `bladelen` shows after Run and `frames`
// frames, drawn apart from any window at `ratio`.
inline QImage framePicture(int nvanes, double bladelen, int frames, qreal ratio) {
    raster::ImageSurface area(scene::kPicture1, ratio);
    Animation animation(area, scene::Preset{"", "", std::int16_t(nvanes), bladelen});
    for (int i = 0; i < frames; ++i)
        animation.timer.fire();
    area.present();
    return raster::qImageView(area.image()).copy();
}

// The main window on a hand-ticked timer: a test fires its frames and waits on nothing.
struct HandTickedWindow {

    surface::ManualTimer timer;
    ui::MainWindow window{&timer};
};

// The picture's interior as the window's backing store holds it (what was last painted for the
// screen), at device pixels, with the pixels under the Run button and below the client area
// (never seen) taken from `image`, in the format of `image`: it equals `image` exactly when the
// screen shows what the image holds. Needs a shown window on a platform whose backing store is an
// image (offscreen); otherwise it returns a null image.
inline QImage shownPicture(const ui::DrawingArea& area, const QImage& image) {
    QWidget* window = area.window();
    QPaintDevice* device = window->backingStore() ? window->backingStore()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return {};
    const QImage store = static_cast<QImage*>(device)->convertToFormat(QImage::Format_RGB32);
    const QWidget* client = area.parentWidget() ? area.parentWidget() : &area;
    const QPoint at = area.mapTo(window, area.contentsRect().topLeft());
    const QRect seen(client->mapTo(window, QPoint()), client->size());
    QRect button; // in interior pixels, like `logical` below
    for (const QWidget* sibling : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (sibling != &area && client != &area)
            button |= sibling->geometry().translated(-area.pos() - area.contentsRect().topLeft());

    QImage shown = image.convertToFormat(QImage::Format_RGB32);
    const qreal ratio = image.devicePixelRatio();
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QPoint logical(int(x / ratio), int(y / ratio));
            if (button.contains(logical) || !seen.contains(logical + at))
                continue;
            const int sx = int(at.x() * ratio) + x, sy = int(at.y() * ratio) + y;
            shown.setPixel(x, y, store.valid(sx, sy) ? store.pixel(sx, sy) : 0);
        }
    }
    return shown.convertToFormat(image.format());
}

} // namespace rotavel::testing
