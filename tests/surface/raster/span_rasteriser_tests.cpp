// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The image surface's rasteriser against the QPainter reference it replaced, and against what
// makes it fast: strokes held back in a coverage mask, clearing only what was drawn.
#include "rotor_rig.h"
#include "scene/picture1.h"
#include "scene/presets.h"
#include "surface/call_log.h"
#include "surface/raster/image_surface.h"
#include "surface/raster/qt_image_view.h"
#include "surface/recording_surface.h"
#include "tests/support/painter_rasteriser.h"

#include <QRegion>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

using namespace rotavel::surface;
using namespace rotavel::raster;
using rotavel::scene::kPicture1;
using rotavel::testing::Animation;
using rotavel::testing::presetOf;

namespace {

// The calls of the frame the rotor draws on tick `ticks` after Run with `vanes` vanes, from its
// clear on, led by the coordinates and pen in force at that clear: enough to draw it on its own.
std::vector<Call> frameAt(int vanes, int ticks) {
    CallLog log;
    RecordingSurface recorder(log);
    Animation animation(recorder, presetOf(vanes));
    const Call scale = log.calls().front(); // the one `Scale`, on load
    for (int i = 1; i < ticks; ++i) {
        log.clear();
        animation.rotor.tick();
    }
    std::vector<Call> frame{scale,
                            {.op = Call::Op::DrawWidth, .width = recorder.drawWidth()},
                            {.op = Call::Op::ForeColor, .colour = recorder.foreColor()}};
    log.clear();
    animation.rotor.tick();
    frame.insert(frame.end(), log.calls().begin(), log.calls().end());
    return frame;
}

std::unique_ptr<ImageSurface> referenceSurface(qreal ratio) {
    return std::make_unique<ImageSurface>(kPicture1, std::make_unique<PainterRasteriser>(), ratio);
}

// A stroke as it lands on the image: device pixels, radius, colour.
struct Stroke {
    QPointF a, b;
    double radius;
    QRgb colour;
};

std::vector<Stroke> strokesOf(const std::vector<Call>& frame, const ImageSurface& mapping) {
    const double ratio = mapping.devicePixelRatio();
    std::vector<Stroke> strokes;
    int width = PenDefaults::kDrawWidth;
    Colour colour = PenDefaults::kForeColor;
    QPointF current;
    const auto device = [&](float x, float y) {
        const Point p = mapping.toPixels(x, y);
        return QPointF(p.x * ratio, p.y * ratio);
    };
    const auto add = [&](QPointF a, QPointF b) {
        strokes.push_back({a, b, std::max(1, width) * ratio / 2, 0xFF000000u | toRgb(colour)});
    };
    for (const Call& c : frame) {
        if (c.op == Call::Op::DrawWidth) {
            width = c.width;
        } else if (c.op == Call::Op::ForeColor) {
            colour = c.colour;
        } else if (c.op == Call::Op::Line || c.op == Call::Op::LineTo || c.op == Call::Op::PSet) {
            // A line runs between its own ends, a lineto on from the pen, a point stays put.
            const QPointF from = c.op == Call::Op::Line ? device(c.x1, c.y1) : current;
            current = c.op == Call::Op::Line ? device(c.x2, c.y2) : device(c.x1, c.y1);
            add(c.op == Call::Op::PSet ? current : from, current);
        }
    }
    return strokes;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF v = b - a, w = p - a;
    const double len2 = QPointF::dotProduct(v, v);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(w, v) / len2, 0.0, 1.0) : 0.0;
    const QPointF e = w - t * v;
    return std::hypot(e.x(), e.y());
}

// "Covered": a channel differs from the background by more than an eighth of its range, which
// antialiasing's faintest fringe does not reach.
std::vector<bool> coveredPixels(const QImage& image, const QImage& background) {
    std::vector<bool> covered(std::size_t(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(background.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int d =
                std::max({std::abs(qRed(p[x]) - qRed(b[x])), std::abs(qGreen(p[x]) - qGreen(b[x])),
                          std::abs(qBlue(p[x]) - qBlue(b[x]))});
            covered[std::size_t(y) * image.width() + x] = d > 32;
        }
    }
    return covered;
}

// Covered pixels of `a` with no covered pixel of `b` within one pixel (Chebyshev) of them.
int strayPixels(const std::vector<bool>& a, const std::vector<bool>& b, int w, int h) {
    int stray = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool near = !a[std::size_t(y) * w + x]; // only covered pixels can stray
            for (int d = 0; d < 9 && !near; ++d) {  // the pixel and its eight neighbours
                const int nx = x + d % 3 - 1, ny = y + d / 3 - 1;
                near = nx >= 0 && ny >= 0 && nx < w && ny < h && b[std::size_t(ny) * w + nx];
            }
            stray += !near;
        }
    return stray;
}

QImage backgroundAt(qreal ratio) {
    return qImageView(ImageSurface(kPicture1, ratio).image()).copy();
}

// The image with every stroke drawn so far, as the window shows it: a view of its pixels.
QImage shown(ImageSurface& area) {
    area.present();
    return qImageView(area.image());
}

// User units are the area's logical pixels, and the pen is as given.
void inPixels(Surface& area, int width, Colour colour) {
    area.Scale(0, 0, kPicture1.width, kPicture1.height);
    area.setDrawWidth(width);
    area.setForeColor(colour);
}

} // namespace

// Every preset at a few angles, at ratio 1 and 2, drawn by both rasterisers. Faithful means:
// - the same pixels are covered (see coveredPixels) within a one-pixel band along the edges:
//   every covered pixel of either picture has a covered pixel of the other within one pixel;
// - the cores are exact: a pixel whose whole square lies inside the last stroke that comes
//   anywhere near it (its centre at least radius + 1 pixel from every later stroke's segment,
//   and at most radius - 0.75 from this one's) has exactly that stroke's pen colour in both.
TEST(SpanRasteriser, DrawsEveryPresetAsTheQPainterReferenceDoes) {
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage background = backgroundAt(ratio);
        for (const auto& preset : rotavel::scene::kPresets) {
            for (const int ticks : {1, 60, 250, 503}) {
                SCOPED_TRACE(testing::Message()
                             << preset.nvanes << " vanes, tick " << ticks << ", ratio " << ratio);
                const std::vector<Call> frame = frameAt(preset.nvanes, ticks);
                ImageSurface fast(kPicture1, ratio);
                const auto reference = referenceSurface(ratio);
                for (const Call& call : frame)
                    replay(call, fast), replay(call, *reference);
                const QImage& f = shown(fast);
                const QImage& r = shown(*reference);
                const int w = f.width(), h = f.height();

                const auto coveredFast = coveredPixels(f, background);
                const auto coveredRef = coveredPixels(r, background);
                ASSERT_GT(std::count(coveredFast.begin(), coveredFast.end(), true), 1000);
                EXPECT_EQ(strayPixels(coveredFast, coveredRef, w, h), 0) << "covered only here";
                EXPECT_EQ(strayPixels(coveredRef, coveredFast, w, h), 0) << "missed";

                // The last stroke near each pixel if it holds the pixel whole, else -1.
                std::vector<int> core(std::size_t(w) * h, -1);
                const auto strokes = strokesOf(frame, fast);
                for (int i = 0; i < int(strokes.size()); ++i) {
                    const Stroke& s = strokes[i];
                    const double reach = s.radius + 1;
                    const QRect near = QRectF(s.a, s.b)
                                           .normalized()
                                           .adjusted(-reach, -reach, reach, reach)
                                           .toAlignedRect() &
                                       QRect(0, 0, w, h);
                    for (int y = near.top(); y <= near.bottom(); ++y)
                        for (int x = near.left(); x <= near.right(); ++x) {
                            const double d = distanceToSegment({x + 0.5, y + 0.5}, s.a, s.b);
                            if (d < reach)
                                core[std::size_t(y) * w + x] = d <= s.radius - 0.75 ? i : -1;
                        }
                }
                int cores = 0, wrongFast = 0, wrongRef = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (const int stroke = core[std::size_t(y) * w + x]; stroke >= 0) {
                            const QRgb pen = strokes[stroke].colour;
                            ++cores;
                            wrongFast += f.pixel(x, y) != pen;
                            wrongRef += r.pixel(x, y) != pen;
                        }
                EXPECT_GT(cores, 200);
                EXPECT_EQ(wrongFast, 0) << "of " << cores << " core pixels";
                EXPECT_EQ(wrongRef, 0) << "of " << cores << " core pixels (reference)";
            }
        }
    }
}

// The window repaints only the bands `present` leaves: every pixel a frame changes must lie in
// one of them, the strokes just drawn and those of the frame before that its clear erased; and
// every band lies inside the rectangle `present` returns.
TEST(SpanRasteriser, PresentedBandsHoldEveryPixelAFrameChanged) {
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        for (const auto& preset : rotavel::scene::kPresets) {
            SCOPED_TRACE(testing::Message() << preset.nvanes << " vanes, ratio " << ratio);
            ImageSurface area(kPicture1, ratio);
            Animation animation(area, preset);
            QImage before = shown(area).copy();
            long outside = 0, presentedArea = 0, boundsArea = 0;
            for (int frame = 0; frame < 40; ++frame) {
                animation.rotor.tick();
                const Rect r = area.present();
                const QImage now = qImageView(area.image());
                QRegion bands;
                for (const Rect& band : area.presentedBands()) {
                    const QRect b(band.x, band.y, band.width, band.height);
                    EXPECT_TRUE(QRect(r.x, r.y, r.width, r.height).contains(b));
                    bands += b;
                    presentedArea += long(band.width) * band.height;
                }
                for (int y = 0; y < now.height(); ++y)
                    for (int x = 0; x < now.width(); ++x)
                        outside +=
                            now.pixel(x, y) != before.pixel(x, y) && !bands.contains(QPoint(x, y));
                boundsArea += long(r.width) * r.height;
                before = now.copy();
            }
            EXPECT_EQ(outside, 0) << "changed pixels outside the presented bands";
            EXPECT_LE(presentedArea, boundsArea);
            EXPECT_LT(boundsArea, 40L * before.width() * before.height() * 3 / 4)
                << "rectangles this large would repaint the whole picture";
            EXPECT_TRUE(area.present().empty());
            EXPECT_TRUE(area.presentedBands().empty());
        }
    }
}

// A straight stroke drawn as many short pieces must look like one stroke: where the round ends of
// consecutive pieces overlap, their edge pixels must not be blended twice (beads). The reference,
// which blends every piece on its own, shows them; that keeps this test honest.
TEST(SpanRasteriser, JoinsOfConsecutivePiecesLeaveNoBeads) {
    const auto draw = [](ImageSurface& area, int pieces) {
        inPixels(area, 2, 0x00FFFFFF);
        area.PSet(40.3f, 200.4f);
        for (int i = 1; i <= pieces; ++i)
            area.Line(40.3f + 300.0f * i / pieces, 200.4f + 45.0f * i / pieces);
    };
    // How far the pieced stroke strays from the whole one, in red: white over the blue
    // background takes red from 0 to 255.
    const auto beads = [&](auto makeSurface) {
        const auto whole = makeSurface(), pieces = makeSurface();
        draw(*whole, 1);
        draw(*pieces, 60);
        const QImage& a = shown(*whole);
        const QImage& b = shown(*pieces);
        int worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                worst = std::max(worst, std::abs(qRed(a.pixel(x, y)) - qRed(b.pixel(x, y))));
        return worst;
    };
    for (const qreal ratio : {1.0, 2.0}) {
        EXPECT_LE(beads([&] { return std::make_unique<ImageSurface>(kPicture1, ratio); }), 2)
            << ratio;
        EXPECT_GT(beads([&] { return referenceSurface(ratio); }), 20) << "the reference beads";
    }
}

// The window wraps the image once and shows later frames through the same view: the view shares
// the pixels, while a copy taken from it keeps its own.
TEST(SpanRasteriser, TheViewShowsLaterFramesAndItsCopiesDoNot) {
    ImageSurface area(kPicture1, 2);
    inPixels(area, 4, 0x0000FF00);
    const QImage view = shown(area);
    EXPECT_EQ(view.constBits(), reinterpret_cast<const uchar*>(area.image().data()));
    EXPECT_EQ(view.devicePixelRatio(), 2);
    const QImage snapshot = view.copy();
    area.Line(200, 10, 200, 400);
    area.present();
    EXPECT_NE(view, snapshot);
    EXPECT_EQ(view.pixel(400, 20), 0xFF00FF00u) << "the later line";
}

// Strokes held back when the area is cleared never show; the cleared area is the background to
// the pixel, also where strokes ran off its edges into the mask's spare room.
TEST(SpanRasteriser, ClearingDropsHeldStrokesAndRestoresEveryDrawnPixel) {
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        ImageSurface area(kPicture1, ratio);
        const QImage background = backgroundAt(ratio);
        inPixels(area, 1, 0x00FFFFFF);
        area.Cls(); // the first clear restores every pixel; from here only what was drawn
        for (const int width : {1, 3, 9, 30}) {
            area.setDrawWidth(width);
            area.Line(kPicture1.width - 0.5f, -20, kPicture1.width - 0.5f, 500);
            area.Line(-20, kPicture1.height - 0.2f, 500, kPicture1.height - 0.2f);
            area.Line(0, 0, kPicture1.width, kPicture1.height);
            area.Line(-20, 100, 500, 100);
            area.PSet(kPicture1.width, 0);
            area.setForeColor(width % 2 ? 0x0000FF00 : 0x00FFFFFF);
        }
        const QImage& drawn = shown(area);
        EXPECT_NE(drawn.pixel(drawn.width() - 1, 200), background.pixel(drawn.width() - 1, 200))
            << "last column drawn";
        area.Line(5, 5, 400, 30); // held back, then dropped
        area.Cls();
        EXPECT_EQ(shown(area), background) << "ratio " << ratio;
        EXPECT_EQ(area.drawWidth(), 30) << "clearing keeps the pen";
        // Nothing from before is left: a stroke after the clear shows as on a new area.
        area.setDrawWidth(2);
        area.PSet(100, 300);
        ImageSurface fresh(kPicture1, ratio);
        inPixels(fresh, 2, 0x00FFFFFF);
        fresh.PSet(100, 300);
        EXPECT_EQ(shown(area), shown(fresh)) << "one dot, nothing more";
    }
}

// Whatever the numbers, the area stays inside the image, finishes promptly and draws what lies
// within reach exactly as for reasonable numbers.
TEST(SpanRasteriser, ExtremeCoordinatesAndWidthsAreClippedSafely) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    ImageSurface area(kPicture1, 2);
    const QImage background = backgroundAt(2);
    inPixels(area, 2, 0x00FFFFFF);

    // Nothing in reach: nothing changes.
    area.Line(nan, 0, 10, 10);
    area.Line(0, 0, inf, 10);
    area.Line(-inf, -inf, inf, inf);
    area.Line(-big, -big, -big, big);
    area.Line(1e7f, 1e7f, 2e7f, -1e7f);
    area.PSet(-5, -5);
    area.PSet(nan, nan);
    EXPECT_EQ(shown(area), background);

    // A line from far beyond one edge to far beyond the other crosses the whole image.
    area.Line(-1e30f, 300.25f, 1e30f, 300.25f);
    area.Line(-1e7f, -1e7f, 1e7f, 1e7f);
    const QImage& across = shown(area);
    EXPECT_EQ(across.pixel(0, 600), 0xFFFFFFFFu);
    EXPECT_EQ(across.pixel(across.width() - 1, 600), 0xFFFFFFFFu);
    EXPECT_EQ(across.pixel(400, 400), 0xFFFFFFFFu) << "the diagonal";

    // Beyond what any geometry means, still nothing worse than a wrong stroke.
    area.Line(-big, -big, big, big);
    area.Line(big, -big, -big, big);

    // A pen wider than the image covers it, in bounded time.
    const auto start = std::chrono::steady_clock::now();
    area.setForeColor(0x0000FF00);
    area.setDrawWidth(std::numeric_limits<int>::max());
    area.PSet(1e6f, -1e6f);
    area.PSet(224, 213);
    area.Line(0, 0, 448, 426);
    const QImage& flooded = shown(area);
    EXPECT_EQ(flooded.pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(flooded.pixel(flooded.width() - 1, flooded.height() - 1), 0xFF00FF00u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // After all that the pen works as before.
    area.Cls();
    area.setDrawWidth(4);
    area.Line(100, 100, 200, 100);
    EXPECT_EQ(shown(area).pixel(300, 200), 0xFF00FF00u);
    EXPECT_EQ(shown(area).pixel(300, 209), background.pixel(300, 209));

    // A degenerate or non-finite scale would divide by zero: the coordinates stay.
    area.Scale(1, 1, 1, 5);
    area.Scale(0, 0, nan, 1);
    EXPECT_EQ(area.toPixels(448, 426), (Point{448, 426}));

    // Widths below one draw a one-pixel line, as a hairline would.
    const auto line = [](int width) {
        ImageSurface thin(kPicture1);
        inPixels(thin, width, 0x00FFFFFF);
        thin.Line(100, 100, 300, 180);
        return shown(thin).copy();
    };
    EXPECT_EQ(line(0), line(1));
    EXPECT_EQ(line(-5), line(1));
}
