// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The rotor on the page: the unchanged rotor logic drawing on the off-screen image, a timer the
// page's script drives, and the few functions that script calls. Everything runs on the page's
// one thread, called from the script's event handlers.
#include "scene/description.h"
#include "scene/picture1.h"
#include "scene/presets.h"
#include "scene/rotor.h"
#include "surface/manual_timer.h"
#include "surface/raster/image_surface.h"

#include <cstdint>
#include <emscripten/emscripten.h>
#include <memory>
#include <string>

namespace {

using namespace rotavel;

// The frame's yield returns at once: the page's events are the browser's to deliver, and a click
// that comes while a frame runs is handled after the frame returns, stop test included.
class ImmediateHost final : public scene::Host {
public:
    void processPendingEvents() override {}
};

// A changed rectangle, in device pixels; the script reads it as four 32-bit words.
struct Changed {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// The image's pixels are the canvas's bytes, R, G, B, A, so the canvas takes them where they are.
struct Page {
    explicit Page(double ratio) : image(scene::kPicture1, ratio, raster::PixelOrder::Xbgr) {}

    raster::ImageSurface image;
    surface::ManualTimer timer;
    ImmediateHost host;
    scene::Rotor rotor{image, timer, host};
    Changed changed;
};

std::unique_ptr<Page> g_page;

std::string g_text; // the last string handed out; the script copies it at once

const char* text(std::string_view s) {
    g_text.assign(s);
    return g_text.c_str();
}

bool validPreset(int index) {
    return index >= 0 && index < int(scene::kPresets.size());
}

} // namespace

extern "C" {

// The window's creation and load: the image at the screen's device pixel ratio, then the rotor's
// start-up values and coordinates. Calling it again starts over.
EMSCRIPTEN_KEEPALIVE void rotor_open(double ratio) {
    g_page = std::make_unique<Page>(ratio);
    g_page->timer.setTickHandler([] { g_page->rotor.tick(); });
    g_page->rotor.load();
}

EMSCRIPTEN_KEEPALIVE void rotor_activate() {
    g_page->rotor.activate();
}

EMSCRIPTEN_KEEPALIVE void rotor_run() {
    g_page->rotor.run();
}

// The preset at `index` in menu order; an index out of range changes nothing.
EMSCRIPTEN_KEEPALIVE void rotor_choose(int index) {
    if (validPreset(index))
        g_page->rotor.choose(scene::kPresets[std::size_t(index)]);
}

// One due period of the timer: a tick, if it is on. Returns whether it is still on.
EMSCRIPTEN_KEEPALIVE int rotor_tick() {
    g_page->timer.fire();
    return g_page->timer.isEnabled();
}

EMSCRIPTEN_KEEPALIVE int rotor_turning() {
    return g_page->timer.isEnabled();
}

// What a screen reader is told the picture shows, in the window's words; the string lasts until
// the next such call.
EMSCRIPTEN_KEEPALIVE const char* rotor_description() {
    return text(scene::describePicture(g_page->rotor.nvanes(), g_page->timer.isEnabled()));
}

// The timer's period in milliseconds, which the page's clock keeps.
EMSCRIPTEN_KEEPALIVE int rotor_period_ms() {
    return surface::Timer::kIntervalMs;
}

EMSCRIPTEN_KEEPALIVE int rotor_preset_count() {
    return int(scene::kPresets.size());
}

// The menu item's name and caption of a preset; the string lasts until the next such call.
EMSCRIPTEN_KEEPALIVE const char* rotor_preset_item(int index) {
    return validPreset(index) ? text(scene::kPresets[std::size_t(index)].item) : text("");
}

EMSCRIPTEN_KEEPALIVE const char* rotor_preset_caption(int index) {
    return validPreset(index) ? text(scene::kPresets[std::size_t(index)].caption) : text("");
}

// A move to a screen of another density: the picture is drawn again at the new ratio and the
// whole of it counts as changed at the next present.
EMSCRIPTEN_KEEPALIVE void rotor_set_ratio(double ratio) {
    g_page->image.setDevicePixelRatio(ratio);
}

EMSCRIPTEN_KEEPALIVE int rotor_pixel_width() {
    return g_page->image.image().width();
}

EMSCRIPTEN_KEEPALIVE int rotor_pixel_height() {
    return g_page->image.image().height();
}

// Draws the picture and returns where it changed since the last present (x, y, width, height;
// empty when nothing did).
EMSCRIPTEN_KEEPALIVE const Changed* rotor_present() {
    const raster::Rect changed = g_page->image.present();
    g_page->changed =
        changed.empty() ? Changed{} : Changed{changed.x, changed.y, changed.width, changed.height};
    return &g_page->changed;
}

// The picture's RGBA bytes, rows one after the other; they move when the ratio changes.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* rotor_rgba() {
    return g_page->image.image().data();
}

} // extern "C"
