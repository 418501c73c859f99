// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// A thousand whole animations in a row on the off-screen image, the preset changed between them:
// once the first few have warmed everything up, the heap and the resident memory must stay where
// they were. Memory is counted, not eyeballed: every operator new in this program goes through
// the counters below, malloc's own figures cover the image pixels, and /proc gives the resident
// set. ROTOR_SOAK_ANIMATIONS=<n> sets how many animations to run (1000 by default).

#include "counting_allocator.h"
#include "rotor_rig.h"
#include "scene/picture1.h"
#include "scene/presets.h"
#include "scene/rotor.h"
#include "surface/manual_timer.h"
#include "surface/raster/image_surface.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iostream>
#include <malloc.h>
#include <random>
#include <unistd.h>

using rotavel::raster::ImageSurface;
using rotavel::scene::Host;
using rotavel::scene::kPresets;
using rotavel::scene::Preset;
using rotavel::scene::Rotor;
using rotavel::surface::ManualTimer;

namespace {

// ---------------------------------------------------------------------------------------------
// Memory figures

struct Memory {
    long long newBytes = 0;    // live bytes from operator new
    long long newBlocks = 0;   // live blocks from operator new
    long long allocations = 0; // operator new calls so far
    long long mallocBytes = 0; // everything malloc hands out, the image pixels included
    long long residentBytes = 0;

    static Memory now() {
        Memory m;
        const rotavel::testing::HeapCounts heap = rotavel::testing::heapCounts();
        m.newBytes = heap.liveBytes;
        m.newBlocks = heap.liveBlocks;
        m.allocations = heap.allocations;
        const struct mallinfo2 info = mallinfo2();
        m.mallocBytes = static_cast<long long>(info.uordblks + info.hblkhd);
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            long long pages = 0, resident = 0;
            if (std::fscanf(statm, "%lld %lld", &pages, &resident) == 2)
                m.residentBytes = resident * sysconf(_SC_PAGESIZE);
            std::fclose(statm);
        }
        return m;
    }
};

std::string kib(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KiB", double(bytes) / 1024);
    return text;
}

// ---------------------------------------------------------------------------------------------
// The animations

using rotavel::testing::NoEvents;

// The rotor on the off-screen image, as the headless driver runs it.
struct Animator {
    Animator() {
        timer.setTickHandler([this] { rotor.tick(); });
        rotor.load();
        rotor.activate();
    }

    // Chooses the preset, presses Run and fires the timer until the animation stops; returns the
    // frames it drew.
    int animate(const Preset& preset) {
        rotor.choose(preset);
        rotor.run();
        int frames = 0;
        while (frames < 1000 && timer.fire())
            ++frames;
        area.present();
        return frames;
    }

    ImageSurface area{rotavel::scene::kPicture1};
    ManualTimer timer;
    NoEvents host;
    Rotor rotor{area, timer, host};
};

long soakAnimations() {
    if (const char* text = std::getenv("ROTOR_SOAK_ANIMATIONS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (*text && *end == '\0' && n > 0)
            return n;
    }
    return 1000;
}

} // namespace

TEST(Soak, AThousandAnimationsLeaveHeapAndResidentMemoryWhereTheyWere) {
    constexpr int kFramesPerAnimation = 503;
    const long animations = soakAnimations();
    Animator a;

    // Warm-up: every preset twice, so every buffer has met its largest frame, and every check
    // the soak makes has run once; the last frame of each preset is kept to compare later
    // animations with.
    std::array<rotavel::raster::PixelBuffer, kPresets.size()> lastFrame;
    for (std::size_t p = 0; p < kPresets.size(); ++p) {
        ASSERT_EQ(a.animate(kPresets[p]), kFramesPerAnimation) << kPresets[p].caption;
        lastFrame[p] = a.area.image();
    }
    for (std::size_t p = 0; p < kPresets.size(); ++p) {
        ASSERT_EQ(a.animate(kPresets[p]), kFramesPerAnimation) << kPresets[p].caption;
        ASSERT_TRUE(a.area.image() == lastFrame[p]) << kPresets[p].caption << " ends differently";
        Memory::now();
    }

    // The presets in a fixed, shuffled order, never the same twice running.
    std::mt19937 rng(503);
    std::size_t preset = 0;
    long differentEnding = 0, wrongLength = 0;
    const Memory before = Memory::now();
    Memory largest = before; // the largest of each figure between animations
    const auto started = std::chrono::steady_clock::now();
    for (long k = 0; k < animations; ++k) {
        preset = (preset + 1 + rng() % (kPresets.size() - 1)) % kPresets.size();
        wrongLength += a.animate(kPresets[preset]) != kFramesPerAnimation;
        differentEnding += a.area.image() != lastFrame[preset];
        const Memory m = Memory::now();
        largest.newBytes = std::max(largest.newBytes, m.newBytes);
        largest.newBlocks = std::max(largest.newBlocks, m.newBlocks);
        largest.mallocBytes = std::max(largest.mallocBytes, m.mallocBytes);
        largest.residentBytes = std::max(largest.residentBytes, m.residentBytes);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Memory after = Memory::now();

    const double frames = double(animations) * kFramesPerAnimation;
    std::cout << "[ soak     ] " << animations << " animations, " << frames << " frames in "
              << seconds << " s (" << seconds / frames * 1e6 << " us a frame, "
              << double(after.allocations - before.allocations) / frames
              << " allocations a frame)\n"
              << "[ soak     ] operator new: " << before.newBytes << " bytes in "
              << before.newBlocks << " blocks before, " << after.newBytes << " in "
              << after.newBlocks << " after, at most " << largest.newBytes << " in "
              << largest.newBlocks << "\n"
              << "[ soak     ] malloc: " << kib(before.mallocBytes) << " before, "
              << kib(after.mallocBytes) << " after, at most " << kib(largest.mallocBytes)
              << "; resident: " << kib(before.residentBytes) << " before, "
              << kib(after.residentBytes) << " after, at most " << kib(largest.residentBytes)
              << "\n";

    EXPECT_EQ(wrongLength, 0) << "animations that did not stop on their 503rd frame";
    EXPECT_EQ(differentEnding, 0)
        << "animations whose last frame differs from the same preset's first one";

    // Between animations nothing the rotor or the image needs is still being built, so the
    // heap must be back where it was; a few blocks of slack cover the toolkit's own lazy caches.
    EXPECT_LE(largest.newBlocks - before.newBlocks, 8) << "operator new blocks kept";
    EXPECT_LE(largest.newBytes - before.newBytes, 8 * 1024) << "operator new bytes kept";
    EXPECT_LE(largest.mallocBytes - before.mallocBytes, 64 * 1024) << "malloc bytes kept";
    // The resident set moves with the allocator's page handling; a leak of a frame's worth per
    // animation would still pass a megabyte within the first few.
    EXPECT_LE(largest.residentBytes - before.residentBytes, 1024 * 1024) << "resident growth";
}
