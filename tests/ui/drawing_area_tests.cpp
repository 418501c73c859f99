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

// The same few calls of every kind, on any drawing area.
void drawSample(rotavel::surface::Surface& area) {
    area.Scale(-13, -18, 13, 13);
    area.Cls();
    area.setDrawWidth(4);
    area.setForeColor(0x0000FF00);
    area.Line(-5, -5, 5, 5);
    area.setDrawWidth(2);
    area.setForeColor(0x00FFFFFF);
    area.PSet(0, 3);
    area.Line(4, 3);
    area.Line(4, -2);
}

} // namespace

class DrawingAreaTest : public QObject {
    Q_OBJECT

private slots:
    void drawsExactlyAsTheOffscreenImageAtTheScreensDensity();
    void aBatchOfDrawingIsShownWithOneRepaintFromTheEventLoop();
    void aClearedStrokeLeavesTheScreenWithTheNextFrame();
    void showsThePixelsOfThePlainImageSurface_data();
    void showsThePixelsOfThePlainImageSurface();
};

void DrawingAreaTest::drawsExactlyAsTheOffscreenImageAtTheScreensDensity() {
    // Run once at ratio 1 and once with QT_SCALE_FACTOR=2: the image follows the screen.
    DrawingArea area;
    QVERIFY(showAndWait(area));
    const qreal ratio = area.devicePixelRatioF();
    if (const QByteArray scale = qgetenv("QT_SCALE_FACTOR"); !scale.isEmpty())
        QCOMPARE(ratio, scale.toDouble()); // the second run really is on a denser screen
    QCOMPARE(area.image().devicePixelRatio(), ratio);
    QCOMPARE(area.image().size(), QSize(qCeil(448 * ratio), qCeil(426 * ratio)));

    ImageSurface reference(rotavel::scene::kPicture1, ratio);
    drawSample(reference);
    reference.present();
    drawSample(area.surface());
    area.present();
    QCOMPARE(area.image(), rotavel::raster::qImageView(reference.image()));
}

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

    // The next batch is shown too.
    surface.PSet(0, 0);
    area.present();
    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before + 2);
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
// the byte: the same pixels the headless driver saves and the web page puts on its canvas.
void DrawingAreaTest::showsThePixelsOfThePlainImageSurface() {
    QFETCH(int, preset);
    DrawingArea area;
    QVERIFY(showAndWait(area));
    ImageSurface plain(rotavel::scene::kPicture1, area.devicePixelRatioF());
    rotavel::testing::Animation onScreen(area.surface(), rotavel::scene::kPresets[preset]);
    rotavel::testing::Animation offScreen(plain, rotavel::scene::kPresets[preset]);
    for (int tick = 1; tick <= 503; ++tick) {
        onScreen.rotor.tick();
        offScreen.rotor.tick();
        if (tick != 1 && tick != 250 && tick != 503)
            continue;
        plain.present();
        area.present();
        const QImage shown = area.grab(QRect(QPoint(DrawingArea::kBorder, DrawingArea::kBorder),
                                             QSize(rotavel::scene::kPicture1.width,
                                                   rotavel::scene::kPicture1.height)))
                                 .toImage();
        const rotavel::raster::PixelBuffer& pixels = plain.image();
        QCOMPARE(shown.size(), QSize(pixels.width(), pixels.height()));
        int differing = 0;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                differing += shown.pixel(x, y) != pixels.pixel(x, y);
        QVERIFY2(
            differing == 0,
            qPrintable(QStringLiteral("%1 pixels differ at tick %2").arg(differing).arg(tick)));
    }
}

QTEST_MAIN(DrawingAreaTest)
#include "drawing_area_tests.moc"
