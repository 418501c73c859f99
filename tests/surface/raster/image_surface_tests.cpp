// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "scene/picture1.h"
#include "surface/raster/image_surface.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>

using rotavel::raster::ImageSurface;
using rotavel::raster::PixelOrder;
using rotavel::raster::Rect;
using rotavel::scene::kPicture1;

namespace {

constexpr std::uint32_t kBlue = 0xFF0000C0;
constexpr std::uint32_t kCyan = 0xFF7DF5FB;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kGreen = 0xFF00FF00;

// A surface in the rotor's coordinates: x from -13 to 13, y from -18 (top) to 13 (bottom).
class RotorArea {
public:
    explicit RotorArea(double ratio = 1, PixelOrder order = PixelOrder::Xrgb)
        : m_area(kPicture1, ratio, order) {
        m_area.Scale(-13, -18, 13, 13);
    }
    ImageSurface* operator->() { return &m_area; }
    const ImageSurface* operator->() const { return &m_area; }
    // The pixel at logical (x, y), whatever the ratio, once every stroke is presented.
    std::uint32_t at(int x, int y) {
        m_area.present();
        const double r = m_area.devicePixelRatio();
        return m_area.image().pixel(int(x * r + r / 2), int(y * r + r / 2));
    }

private:
    ImageSurface m_area;
};

int red(std::uint32_t pixel) {
    return (pixel >> 16) & 0xFF;
}

int rowsWithGreen(RotorArea& a, int x) {
    int rows = 0;
    for (int y = 0; y < kPicture1.height; ++y)
        rows += ((a.at(x, y) >> 8) & 0xFF) > 128 && (a.at(x, y) & 0xFF) < 96;
    return rows;
}

} // namespace

TEST(ImageSurface, StartsAsTheBlueAreaWithTheArrowPictureTopLeft) {
    RotorArea a;
    EXPECT_EQ(a->image().width(), 448);
    EXPECT_EQ(a->image().height(), 426);
    EXPECT_EQ(a.at(200, 300), kBlue);
    EXPECT_EQ(a.at(20, 80), kCyan) << "picture covers the top 90 rows";
    EXPECT_EQ(a.at(440, 80), kCyan) << "its right end is cut off by the interior's edge";
    EXPECT_EQ(a.at(440, 92), kBlue);
    for (const int cx : {127, 174, 217, 259, 303}) {
        EXPECT_EQ(a.at(cx, 30), kBlack) << "shaft at " << cx;
        EXPECT_EQ(a.at(cx, 62), kBlack) << "head at " << cx;
        EXPECT_EQ(a.at(cx, 76), kCyan) << "below the point at " << cx;
        EXPECT_EQ(a.at(cx + 9, 30), kCyan) << "beside the shaft at " << cx;
    }
}

TEST(ImageSurface, HubPointLiesHalfWayAcrossAndEighteenThirtyFirstsDown) {
    RotorArea a;
    a->setDrawWidth(4);
    a->setForeColor(0x00FFFFFF);
    a->PSet(0, 0);
    const rotavel::raster::Point hub = a->toPixels(0, 0);
    EXPECT_DOUBLE_EQ(hub.x, 224);
    EXPECT_NEAR(hub.y, 426.0 * 18 / 31, 1e-4);
    EXPECT_EQ(a.at(224, 247), kWhite);
    EXPECT_EQ(a.at(223, 247), kWhite);
    EXPECT_EQ(a.at(219, 247), kBlue) << "a dot as wide as the pen, no wider";
    EXPECT_EQ(a.at(224, 251), kBlue);
}

// A four-pixel pen draws four-pixel lines, and keeps drawing them until changed; a dense screen
// gets the same geometry, picture included, at twice the pixels.
TEST(ImageSurface, WideGreenPenDrawsFourPixelLinesUntilChangedAtEveryRatio) {
    for (const int ratio : {1, 2}) {
        RotorArea a(ratio);
        EXPECT_EQ(a->image().width(), 448 * ratio);
        EXPECT_EQ(a->image().height(), 426 * ratio);
        EXPECT_EQ(a->image().devicePixelRatio(), ratio);
        a->setDrawWidth(4);
        a->setForeColor(0x0000FF00);
        a->Line(-5, 5, 5, 5);
        a->Line(-5, 9, 5, 9); // the pen holds for later lines
        EXPECT_EQ(rowsWithGreen(a, 224), 8) << ratio;
        const int y = int(a->toPixels(0, 5).y);
        EXPECT_EQ(a.at(224, y), kGreen) << "the core is exactly the pen colour";
        EXPECT_EQ(a.at(224, y - 4), kBlue);
        EXPECT_EQ(a.at(224, y + 4), kBlue);
        EXPECT_EQ(a.at(127, 30), kBlack) << "the picture is drawn at the ratio too";
    }
}

// Until scaled, coordinates are twips, fifteen to the pixel; the pen starts one pixel wide in the
// highlight text colour, which is white.
TEST(ImageSurface, StartsInTwipsWithAOnePixelPenInTheHighlightTextColour) {
    ImageSurface a(kPicture1);
    EXPECT_EQ(a.drawWidth(), 1);
    EXPECT_EQ(a.foreColor(), 0x8000000Eu);
    a.Line(1500, 3000, 3000, 3000); // from (100, 200) to (200, 200) pixels
    a.present();
    const int upper = red(a.image().pixel(150, 199)), lower = red(a.image().pixel(150, 200));
    EXPECT_GT(upper + lower, 200) << "white";
    EXPECT_LT(std::max(upper, lower), 200) << "one pixel wide, split between the two rows";
    EXPECT_EQ(a.image().pixel(150, 197), kBlue);
    EXPECT_EQ(a.image().pixel(150, 202), kBlue);
    EXPECT_EQ(a.image().pixel(203, 200), kBlue);
}

TEST(ImageSurface, ChangingTheRatioRedrawsWhatIsOnTheImageCrisply) {
    RotorArea a;
    a->setDrawWidth(4);
    a->setForeColor(0x0000FF00);
    a->Cls();
    a->Line(-5, 5, 5, 5);
    a->present(); // on the image before the change
    a->setForeColor(0x00FFFFFF);
    a->setDevicePixelRatio(2);
    RotorArea direct(2);
    direct->setDrawWidth(4);
    direct->setForeColor(0x0000FF00);
    direct->Line(-5, 5, 5, 5);
    a->present();
    direct->present();
    EXPECT_EQ(a->image(), direct->image());
    EXPECT_EQ(a->foreColor(), 0x00FFFFFFu) << "the pen in force survives the change";
    a->Line(-5, 9, 5, 9);
    EXPECT_EQ(a.at(224, int(a->toPixels(0, 9).y)), kWhite);
}

// A canvas's byte order moves red and blue and changes nothing else: in the background picture,
// in what a pen draws over it and in what a clear brings back.
TEST(ImageSurface, TheCanvasOrderHoldsTheSamePictureWithRedAndBlueSwapped) {
    RotorArea desktop, canvas(1, PixelOrder::Xbgr);
    for (RotorArea* area : {&desktop, &canvas}) {
        RotorArea& a = *area;
        a->setDrawWidth(4);
        a->setForeColor(0x000080FF); // orange: red, some green, no blue
        a->Line(-12, -17, 5, 5);
        a->present();
        a->Cls();
        a->setForeColor(0x00FF0040);
        a->Line(-5, -17, 9, 9);
        a->present();
    }
    rotavel::raster::PixelBuffer expected = desktop->image();
    std::uint32_t* const first = expected.data();
    std::transform(first, first + expected.width() * expected.height(), first,
                   [](std::uint32_t p) { return inOrder(p, PixelOrder::Xbgr); });
    EXPECT_EQ(canvas->image(), expected);
}

// What `present` reports when nothing else tells the window what changed: a new or re-rendered
// image is all news, an idle one none, and a clear reports the pixels it erased.
TEST(ImageSurface, PresentReportsNewImagesWholeIdleOnesEmptyAndClearsWhereTheyErased) {
    const Rect whole{0, 0, kPicture1.width, kPicture1.height};
    RotorArea a;
    EXPECT_EQ(a->present(), whole) << "a new image";
    EXPECT_TRUE(a->present().empty()) << "nothing changed";
    a->setDrawWidth(4);
    a->Line(-5, 5, 5, 5);
    const Rect drawn = a->present();
    EXPECT_FALSE(drawn.empty());
    EXPECT_LT(drawn.height, 10);
    a->Cls();
    const Rect erased = a->present();
    EXPECT_TRUE(erased.x <= drawn.x && erased.y <= drawn.y &&
                erased.x + erased.width >= drawn.x + drawn.width &&
                erased.y + erased.height >= drawn.y + drawn.height)
        << "the clear erased the line";
    a->Line(-5, 9, 5, 9);
    a->Cls(); // held back, then dropped: it never reached the image
    EXPECT_TRUE(a->present().empty());
    a->setDevicePixelRatio(2);
    EXPECT_EQ(a->present(), (Rect{0, 0, 2 * whole.width, 2 * whole.height}))
        << "re-rendered at another ratio, in its device pixels";
    a->setDevicePixelRatio(2);
    EXPECT_TRUE(a->present().empty()) << "the same ratio changes nothing";
}

// Strokes wait for the next present and then come out as the same strokes presented one by one
// do: in the pen of their own moment, after a clear that dropped what waited, and in a long run
// of them.
TEST(ImageSurface, StrokesDrawnAtThePresentComeOutAsStrokesPresentedOneByOne) {
    RotorArea later, stepwise;
    // `draw` on both, the second presenting at every `step`. Then both are presented.
    const auto same = [&](const auto& draw) {
        draw(*later.operator->(), [] {});
        draw(*stepwise.operator->(), [&] { stepwise->present(); });
        later->present();
        stepwise->present();
        return later->image() == stepwise->image();
    };
    EXPECT_TRUE(same([](ImageSurface& s, const auto& step) {
        s.Cls(), step();
        s.setDrawWidth(4), s.setForeColor(0x0000FF00), s.Line(-5, 5, 5, 5), step();
        s.setDrawWidth(1), s.setForeColor(0x00FFFFFF), s.Line(-5, -5), step(), s.PSet(8, 8);
    }));
    EXPECT_TRUE(same([](ImageSurface& s, const auto& step) {
        s.Line(0, 0, 9, 9), s.Cls(), step();
        s.setForeColor(0x000000FF), s.Line(-9, -9, 9, -9);
    }));
    EXPECT_TRUE(same([](ImageSurface& s, const auto& step) { // a new pen after a presented clear
        s.Cls(), s.setForeColor(0x000000FF), s.Line(-9, -9, 9, -9), step();
        s.Cls(), s.setForeColor(0x0000FF00), s.Line(-9, 9, 9, 9);
    }));
    EXPECT_TRUE(same([](ImageSurface& s, const auto& step) {
        s.Cls();
        for (int i = 0; i < 5000; ++i) {
            s.Line(float(i % 7) - 3, float(i % 11) - 5);
            if (i % 997 == 0) // a new pen now and then
                s.setDrawWidth(1 + i % 3), s.setForeColor(0x0000FFFF ^ std::uint32_t(i)), step();
        }
    }));
}
