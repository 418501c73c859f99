// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "scene/presets.h"
#include "scene/rotor.h"
#include "surface/call_log.h"
#include "surface/manual_timer.h"
#include "surface/recording_surface.h"

#include <cstddef>
#include <cstdlib>

namespace rotavel::testing {

// Fires `timer` until it stops delivering, at most `limit` times; returns how many ticks it
// delivered.
inline int runToStop(surface::ManualTimer& timer, int limit = 10000) {
    int ticks = 0;
    while (ticks < limit && timer.fire())
        ++ticks;
    return ticks;
}

// A whole number above 0 from the environment variable `name`, or `fallback` when it is unset or
// holds anything else: how a long test is made longer or shorter for one run.
inline long envCount(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (*end == '\0' && value > 0) ? value : fallback;
}

// A frame's yield with no events to handle.
struct NoEvents final : scene::Host {
    void processPendingEvents() override {}
};

// The preset of `vanes` vanes; the last one for a count no preset has.
inline const scene::Preset& presetOf(int vanes) {
    for (const scene::Preset& p : scene::kPresets)
        if (p.nvanes == vanes)
            return p;
    return scene::kPresets.back();
}

// A rotor drawing on `area`, loaded, activated and running `preset`, its frames yielding to no
// events; the hand-ticked timer's ticks go to it.
struct Animation {
    Animation(surface::Surface& area, const scene::Preset& preset) : rotor(area, timer, idle) {
        timer.setTickHandler([this] { rotor.tick(); });
        rotor.load();
        rotor.activate();
        rotor.choose(preset);
        rotor.run();
    }
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    surface::ManualTimer timer;
    NoEvents idle;
    scene::Rotor rotor;
};

// A rotor on a recording surface and a hand-ticked timer that log into one sequence, the timer's
// ticks going to the rotor. Its frames yield to `host`, or to no events; a host given here may be
// a member of a derived rig, as it is only used once frames run.
struct RotorRig {
    explicit RotorRig(scene::Host* host = nullptr, std::size_t reserve = 1 << 16)
        : log(reserve), rotor(area, timer, host ? *host : idle) {
        timer.setTickHandler([this] { rotor.tick(); });
    }
    RotorRig(const RotorRig&) = delete;
    RotorRig& operator=(const RotorRig&) = delete;

    int count(surface::Call::Op op) const {
        int n = 0;
        for (const surface::Call& c : log.calls())
            n += c.op == op;
        return n;
    }
    int runToStop(int limit = 10000) { return testing::runToStop(timer, limit); }

    surface::CallLog log;
    surface::RecordingSurface area{log};
    surface::ManualTimer timer{&log};
    NoEvents idle;
    scene::Rotor rotor;
};

} // namespace rotavel::testing
