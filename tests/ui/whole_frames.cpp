// Every picture the drawing area can show between events, rendered by the headless driver, as the
// hashes of picture_hash.h: what a screenshot of the real window is checked against.
//
//   whole_frames               prints "WHOLE BARLESS LABEL" for every whole frame
//   whole_frames png FILE...   prints "WHOLE BARLESS FILE" for pictures the driver saved
//
// A Run starts every run at angle 0 and each tick adds 0.05, so a frame is fixed by the vane count
// and blade length in force at its tick and by its tick count since the Run: the eight states the
// rotor can be in (the one load leaves, 2 vanes with 5.5, and the seven presets) times ticks 1 to
// 503. Labels read `ITEM:TICKS`, with `load` for the state after load. Two more kinds of picture
// are shown for a moment: the background before the first Run, and the first frame after
// start-up, whose first hub is drawn in the start-up pen (`ITEM:1:start-up-pen`).
#include "surface/qt_image_view.h"
#include "tests/ui/picture_hash.h"
#include "tools/headless_driver.h"
#include "tools/script.h"

#include <QImage>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using rotavel::tools::HeadlessDriver;
using rotavel::uitest::PictureHash;

constexpr int kTicksPerRun = 503;

PictureHash hashImage(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    return rotavel::uitest::pictureHash([&rgb](int x, int y) {
        return static_cast<std::uint32_t>(reinterpret_cast<const QRgb*>(rgb.constScanLine(y))[x]);
    });
}

void print(const PictureHash& hash, std::string_view label) {
    std::printf("%016" PRIx64 " %016" PRIx64 " %.*s\n", hash.whole, hash.barless,
                static_cast<int>(label.size()), label.data());
}

// Runs script lines on the driver; they are this program's own, so they cannot be wrong.
void play(HeadlessDriver& driver, const std::string& lines) {
    const rotavel::tools::Script script = rotavel::tools::parseScript(lines);
    if (!script.ok()) {
        std::fprintf(stderr, "whole_frames: bad script line: %s\n", script.errors[0].what.c_str());
        std::exit(1);
    }
    driver.run(script);
}

PictureHash current(const HeadlessDriver& driver) {
    return hashImage(rotavel::surface::qImageView(driver.image().image()));
}

// One state of the rotor from start-up: the first frame after start-up, then a whole run.
void framesOf(std::FILE* trace, const std::string& item) {
    HeadlessDriver driver(trace, stderr);
    play(driver, "load\nactivate\n");
    if (item == "load")
        print(current(driver), "background");
    else
        play(driver, "menu " + item + "\n");
    play(driver, "run\ntick\n");
    print(current(driver), item + ":1:start-up-pen");
    play(driver, "run\n");
    for (int tick = 1; tick <= kTicksPerRun; ++tick) {
        play(driver, "tick\n");
        print(current(driver), item + ":" + std::to_string(tick));
    }
}

int hashFiles(int count, char* files[]) {
    for (int i = 0; i < count; ++i) {
        const QImage image(QString::fromLocal8Bit(files[i]));
        if (image.width() != rotavel::uitest::kPictureWidth ||
            image.height() < rotavel::uitest::kPictureHeight) {
            std::fprintf(stderr, "whole_frames: %s is not a picture of the drawing area\n",
                         files[i]);
            return 1;
        }
        print(hashImage(image), files[i]);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && std::string_view(argv[1]) == "png")
        return hashFiles(argc - 2, argv + 2);
    if (argc != 1) {
        std::fprintf(stderr, "usage: whole_frames | whole_frames png FILE...\n");
        return 2;
    }
    // The driver's trace is not needed here, only its pictures.
    std::FILE* trace = std::fopen("/dev/null", "w");
    if (!trace) {
        std::perror("whole_frames: /dev/null");
        return 1;
    }
    framesOf(trace, "load");
    for (const rotavel::scene::Preset& preset : rotavel::scene::kPresets)
        framesOf(trace, std::string(preset.item));
    std::fclose(trace);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
