// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "hand_ticked_window.h"
#include "paint_counter.h"
#include "rotor_rig.h"
#include "scene/presets.h"
#include "surface/raster/image_surface.h"
#include "surface/raster/qt_image_view.h"
#include "ui/drawing_area.h"

#include <QTest>
#include <QtMath>

using rotavel::raster::ImageSurface;
using rotavel::ui::DrawingArea;

namespace {

using rotavel::testing::PaintCounter;
using rotavel::testing::showAndWait;
using rotavel::testing::shownPicture;

} // namespace

class DrawingAreaTest : public QObject {
    Q_OBJECT

private slots:
    void aBatchOfDrawingIsShownWithOneRepaintFromTheEventLoop();
    void aClearedStrokeLeavesTheScreenWithTheNextFrame();
    void showsThePixelsOfThePlainImageSurface_data();
    void showsThePixelsOfThePlainImageSurface();
};

void DrawingAreaTest::aBatchOfDrawingIsShownWithOneRepaintFromTheEventLoop() {
    DrawingArea area;
    QVERIFY(showAndWait(area));
    PaintCounter paints(&area);
    QCoreApplication::processEvents();
    const int before = paints.count();

    ImageSurface& surface = area.surface();
    surface.Scale(-13, -18, 13, 13);
    surface.Cls();
    for (int i = 0; i < 100; ++i)
        surface.Line(-10 + 0.2f * i, -10, 10, 10);
    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before); // never in the middle of a frame
    area.present();
    QCOMPARE(paints.count(), before); // and never outside the event loop

    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before + 1);
    area.present(); // nothing new
    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before + 1);
}

void DrawingAreaTest::aClearedStrokeLeavesTheScreenWithTheNextFrame() {
    // Frames far apart: each repaint must take in what the clear erased as well as what was drawn.
    DrawingArea area;
    QVERIFY(showAndWait(area));
    ImageSurface& surface = area.surface();
    surface.Scale(-13, -18, 13, 13);
    surface.setDrawWidth(4);
    const QList<QLineF> frames{{-12, -10, -8, -6}, {8, 10, 12, 12}, {0, 0, 0.1, 0.1}, {}};
    for (const QLineF& line : frames) {
        surface.Cls();
        if (!line.isNull())
            surface.Line(line.x1(), line.y1(), line.x2(), line.y2());
        area.present();
        QCoreApplication::processEvents();
        QCOMPARE(shownPicture(area, area.image()), area.image());
    }
}

void DrawingAreaTest::showsThePixelsOfThePlainImageSurface_data() {
    QTest::addColumn<int>("preset");
    for (std::size_t i = 0; i < rotavel::scene::kPresets.size(); ++i)
        QTest::newRow(rotavel::scene::kPresets[i].item.data()) << int(i);
}

// What the window shows, painted as its paint event paints it, is the image surface's buffer to
// the byte at the screen's density: the same pixels the headless driver saves and the web page
// puts on its canvas. Run once at ratio 1 and once with QT_SCALE_FACTOR=2.
void DrawingAreaTest::showsThePixelsOfThePlainImageSurface() {
    QFETCH(int, preset);
    DrawingArea area;
    QVERIFY(showAndWait(area));
    const qreal ratio = area.devicePixelRatioF();
    if (const QByteArray scale = qgetenv("QT_SCALE_FACTOR"); !scale.isEmpty())
        QCOMPARE(ratio, scale.toDouble()); // the second run really is on a denser screen
    QCOMPARE(area.image().devicePixelRatio(), ratio);
    QCOMPARE(area.image().size(), QSize(qCeil(448 * ratio), qCeil(426 * ratio)));

    ImageSurface plain(rotavel::scene::kPicture1, ratio);
    rotavel::testing::Animation onScreen(area.surface(), rotavel::scene::kPresets[preset]);
    rotavel::testing::Animation offScreen(plain, rotavel::scene::kPresets[preset]);
    const QRect interior(QPoint(DrawingArea::kBorder, DrawingArea::kBorder),
                         QSize(rotavel::scene::kPicture1.width, rotavel::scene::kPicture1.height));
    for (int tick = 1; tick <= 503; ++tick) {
        onScreen.rotor.tick();
        offScreen.rotor.tick();
        if (tick != 1 && tick != 250 && tick != 503)
            continue;
        plain.present();
        area.present();
        QCOMPARE(area.grab(interior).toImage().convertToFormat(QImage::Format_RGB32),
                 rotavel::raster::qImageView(plain.image()).convertToFormat(QImage::Format_RGB32));
    }
}

QTEST_MAIN(DrawingAreaTest)
#include "drawing_area_tests.moc"
