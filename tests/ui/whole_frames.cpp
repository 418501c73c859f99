// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// Every picture the drawing area can show between events, drawn by the rotor on the image surface
// the window, the driver and the page all draw on, as the hashes of picture_hash.h: what a
// screenshot of the real window is checked against.
//
//   whole_frames STATE...      prints "WHOLE BARLESS LABEL" for every whole frame of each state:
//                              `load` or a menu item's name
//   whole_frames screen SHOT.png [X Y]
//       prints "WHOLE BARLESS X Y" for the drawing area's interior in a screenshot, at X, Y or
//       else where the background before the first Run is seen; exits 1 if it is nowhere
//
// Each Run starts at angle 0 and each tick adds 0.05, so a frame is fixed by the state (vane count
// and blade length) and its tick since the Run: labels read `ITEM:TICKS`, `load` for the state
// load leaves. Also shown for a moment: the `background` before the first Run, and the first
// frame after start-up, whose hub is drawn in the start-up pen (`ITEM:1:start-up-pen`).
#include "scene/picture1.h"
#include "surface/raster/image_surface.h"
#include "surface/raster/qt_image_view.h"
#include "tests/support/rotor_rig.h"
#include "tests/ui/picture_hash.h"

#include <QImage>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using rotavel::uitest::kPictureHeight;
using rotavel::uitest::kPictureWidth;
using rotavel::uitest::PictureHash;

// The interior's hashes in an RGB32 picture, its top left corner at (left, top).
PictureHash hashAt(const QImage& picture, int left, int top) {
    return rotavel::uitest::pictureHash([&picture, left, top](int x, int y) {
        return static_cast<std::uint32_t>(
            reinterpret_cast<const QRgb*>(picture.constScanLine(top + y))[left + x]);
    });
}

void print(const PictureHash& hash, std::string_view label) {
    std::printf("%016" PRIx64 " %016" PRIx64 " %.*s\n", hash.whole, hash.barless,
                static_cast<int>(label.size()), label.data());
}

// The rotor as the program starts it: loaded and activated, ticked by hand, its frames yielding
// to no events.
struct Rotor {
    Rotor() {
        timer.setTickHandler([this] { rotor.tick(); });
        rotor.load();
        rotor.activate();
    }
    QImage picture() {
        image.present();
        return rotavel::raster::qImageView(image.image()).convertToFormat(QImage::Format_RGB32);
    }

    rotavel::raster::ImageSurface image{rotavel::scene::kPicture1};
    rotavel::surface::ManualTimer timer;
    rotavel::testing::NoEvents idle;
    rotavel::scene::Rotor rotor{image, timer, idle};
};

// One state of the rotor from start-up: the first frame after start-up, then a whole run.
void framesOf(const std::string& item) {
    Rotor r;
    if (item == "load") {
        print(hashAt(r.picture(), 0, 0), "background");
    } else if (const rotavel::scene::Preset* preset = rotavel::scene::findPreset(item)) {
        r.rotor.choose(*preset);
    } else {
        std::fprintf(stderr, "whole_frames: no state %s\n", item.c_str());
        std::exit(1);
    }
    r.rotor.run();
    r.timer.fire();
    print(hashAt(r.picture(), 0, 0), item + ":1:start-up-pen");
    r.rotor.run();
    for (int tick = 1; tick <= 503; ++tick) {
        r.timer.fire();
        print(hashAt(r.picture(), 0, 0), item + ":" + std::to_string(tick));
    }
}

// Where the background is in the screenshot: the places that show the interior's top row right
// of the Run button are checked from the top down.
bool findBackground(const QImage& shot, int& left, int& top) {
    Rotor rotor; // the picture is a view of its image, so it must outlive the picture
    const QImage background = rotor.picture();
    const std::uint64_t wanted = hashAt(background, 0, 0).whole;
    const int from = rotavel::uitest::kRunButton.x + rotavel::uitest::kRunButton.w;
    const auto* strip = reinterpret_cast<const QRgb*>(background.constScanLine(0)) + from;
    const int length = kPictureWidth - from;
    for (int y = 0; y + kPictureHeight <= shot.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x + kPictureWidth <= shot.width(); ++x) {
            int i = 0;
            while (i < length && ((row[x + from + i] ^ strip[i]) & 0xFFFFFFu) == 0)
                ++i;
            if (i == length && hashAt(shot, x, y).whole == wanted) {
                left = x;
                top = y;
                return true;
            }
        }
    }
    return false;
}

int hashScreen(const char* file, int argc, char* argv[]) {
    const QImage shot = QImage(QString::fromLocal8Bit(file)).convertToFormat(QImage::Format_RGB32);
    int x = 0, y = 0;
    if (argc == 2) {
        x = std::atoi(argv[0]); // where this program found the background before
        y = std::atoi(argv[1]);
    } else if (!findBackground(shot, x, y)) {
        std::fprintf(stderr, "whole_frames: %s shows the drawing area nowhere\n", file);
        return 1;
    }
    print(hashAt(shot, x, y), std::to_string(x) + " " + std::to_string(y));
    return std::fflush(stdout) != 0 ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool screen = argc >= 3 && std::string_view(argv[1]) == "screen";
    if (argc < 2 || (screen && argc != 3 && argc != 5)) {
        std::fprintf(stderr, "usage: whole_frames STATE... | whole_frames screen SHOT.png [X Y]\n");
        return 2;
    }
    if (screen)
        return hashScreen(argv[2], argc - 3, argv + 3);
    for (int i = 1; i < argc; ++i)
        framesOf(argv[i]);
    return std::fflush(stdout) != 0 ? 1 : 0;
}
