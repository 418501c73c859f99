// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "scene/picture1.h"
#include "scene/rotor.h"
#include "surface/call_log.h"
#include "surface/manual_timer.h"
#include "surface/raster/image_surface.h"
#include "surface/recording_surface.h"
#include "tools/script.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace rotavel::tools {

inline constexpr char kToolName[] = "rotor-headless";

// Runs a checked script against the rotor logic with a recording surface in front of the
// off-screen image and a hand-ticked timer, and prints the trace: an `event NAME` line for each
// handled event, then every call on the drawing area and the timer in the order made.
//
// The frame's yield is this host's: it prints `yield`, then handles the events the script queued.
// A queued tick fires the timer there, which holds it until the running tick returns (see
// surface::Timer), as the window's timer holds a tick that falls due inside the yield.
class HeadlessDriver final : public scene::Host {
public:
    // Exit statuses of run().
    static constexpr int kDone = 0;        // every command ran, or a close ended the script
    static constexpr int kWriteFailed = 1; // a save, or the trace itself, could not be written

    // `out` receives the trace, `err` the messages. Without `paint` the image is left blank: a
    // script that never saves does not need it, and drawing is most of a frame's cost. The image
    // is drawn at `devicePixelRatio`, which changes what a save holds and nothing in the trace.
    HeadlessDriver(std::FILE* out, std::FILE* err, bool paint = true,
                   double devicePixelRatio = 1.0);
    ~HeadlessDriver() override;
    HeadlessDriver(const HeadlessDriver&) = delete;
    HeadlessDriver& operator=(const HeadlessDriver&) = delete;

    // Runs the commands in order, stopping early at a close or a failed write. The script must
    // have no errors. Returns the exit status.
    int run(const Script& script);

    // The frame's yield: prints `yield`, then handles every queued event once.
    void processPendingEvents() override;

private:
    // What a queued event needs once its turn comes; kept small so the queue is a flat array.
    struct Held {
        Command::Kind kind;
        const scene::Preset* preset;
    };

    void handle(const Command& c); // one event, straight from the script or from the queue
    void fire(std::uint32_t count);
    void onTick();
    bool save(const Command& c, const std::string& path);
    void printState();

    void event(std::string_view name, std::string_view detail = {});
    void printCalls();
    void write(std::string_view text);
    void flush();

    std::FILE* m_out;
    std::FILE* m_err;

    surface::CallLog m_log{1 << 14};
    raster::ImageSurface m_image;
    surface::RecordingSurface m_area;
    surface::ManualTimer m_timer{&m_log};
    scene::Rotor m_rotor{m_area, m_timer, *this};

    std::vector<Held> m_pending;
    bool m_writeFailed = false;
    int m_writeErrno = 0;
    std::string m_buffer; // the trace not yet handed to `m_out`
};

} // namespace rotavel::tools
