#include "paint_counter.h"
#include "scene/presets.h"
#include "scene/rotor.h"
#include "surface/image_surface.h"
#include "surface/manual_timer.h"
#include "surface/qt_image_view.h"
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

// A rotor animating a preset on `area`, ticked by hand.
class Animation {
public:
    Animation(rotavel::surface::Surface& area, const rotavel::scene::Preset& preset)
        : m_rotor(area, m_timer, m_host) {
        m_rotor.load();
        m_rotor.activate();
        m_rotor.choose(preset);
        m_rotor.run();
    }
    void tick() { m_rotor.tick(); }

private:
    struct NoEvents final : rotavel::scene::Host {
        void processPendingEvents() override {}
    };
    rotavel::surface::ManualTimer m_timer;
    NoEvents m_host;
    rotavel::scene::Rotor m_rotor;
};

} // namespace

class DrawingAreaTest : public QObject {
    Q_OBJECT

private slots:
    void drawsExactlyAsTheOffscreenImageAtTheScreensDensity();
    void aBatchOfDrawingIsShownWithOneRepaintFromTheEventLoop();
    void showsThePixelsOfThePlainImageSurface_data();
    void showsThePixelsOfThePlainImageSurface();
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
    QCOMPARE(area.image(), rotavel::surface::qImageView(reference.image()));
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
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    ImageSurface plain(area.devicePixelRatioF());
    Animation onScreen(area, rotavel::scene::kPresets[preset]);
    Animation offScreen(plain, rotavel::scene::kPresets[preset]);
    for (int tick = 1; tick <= 503; ++tick) {
        onScreen.tick();
        offScreen.tick();
        if (tick != 1 && tick != 250 && tick != 503)
            continue;
        plain.present();
        const QImage shown = area.grab(QRect(QPoint(DrawingArea::kBorder, DrawingArea::kBorder),
                                             QSize(ImageSurface::kWidth, ImageSurface::kHeight)))
                                 .toImage();
        const rotavel::surface::PixelBuffer& pixels = plain.image();
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
