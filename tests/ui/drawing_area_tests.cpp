#include "paint_counter.h"
#include "surface/image_surface.h"
#include "ui/drawing_area.h"

#include <QTest>
#include <QtMath>

using rotavel::surface::ImageSurface;
using rotavel::ui::DrawingArea;

namespace {

using rotavel::testing::PaintCounter;

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
};

void DrawingAreaTest::drawsExactlyAsTheOffscreenImageAtTheScreensDensity() {
    // Run once at ratio 1 and once with QT_SCALE_FACTOR=2: the image follows the screen.
    DrawingArea area;
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    const qreal ratio = area.devicePixelRatioF();
    if (const QByteArray scale = qgetenv("QT_SCALE_FACTOR"); !scale.isEmpty())
        QCOMPARE(ratio, scale.toDouble()); // the second run really is on a denser screen
    QCOMPARE(area.image().devicePixelRatio(), ratio);
    QCOMPARE(area.image().size(), QSize(qCeil(448 * ratio), qCeil(426 * ratio)));

    ImageSurface reference(ratio);
    drawSample(reference);
    drawSample(area);
    reference.present();
    area.repaint(); // the area shows its frame
    QCOMPARE(area.image(), reference.image());
    QCOMPARE(area.drawWidth(), 2);
    QCOMPARE(area.foreColor(), 0x00FFFFFFu);
}

void DrawingAreaTest::aBatchOfDrawingIsShownWithOneRepaintFromTheEventLoop() {
    DrawingArea area;
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    PaintCounter paints(&area);
    QCoreApplication::processEvents();
    const int before = paints.count();

    area.Scale(-13, -18, 13, 13);
    area.Cls();
    for (int i = 0; i < 100; ++i)
        area.Line(-10 + 0.2f * i, -10, 10, 10);
    QCOMPARE(paints.count(), before); // never in the middle of a frame

    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before + 1);
    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before + 1);

    // The next batch is shown too.
    area.PSet(0, 0);
    QCoreApplication::processEvents();
    QCOMPARE(paints.count(), before + 2);
}

QTEST_MAIN(DrawingAreaTest)
#include "drawing_area_tests.moc"
