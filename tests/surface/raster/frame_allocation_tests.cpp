// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// A running animation allocates nothing: every frame on the image surface, as the timer and the
// window drive it (tick, then the image read for the screen), leaves the heap alone. This
// executable links the counting allocator to count every `new`.
//
// The soak (ctest -L soak) runs a thousand whole animations, ROTOR_SOAK_ANIMATIONS=<n> to change.
#include "counting_allocator.h"
#include "rotor_rig.h"
#include "scene/picture1.h"
#include "scene/presets.h"
#include "surface/raster/image_surface.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>
#include <random>
#include <unistd.h>

namespace {

long allocations() {
    return static_cast<long>(rotavel::testing::heapCounts().allocations);
}

using rotavel::raster::ImageSurface;
using rotavel::testing::Animation;

// A rotor animating a preset on an image surface, ticked by hand; once a run stops, Run is
// pressed again, so any number of frames can be driven.
class Frames {
public:
    Frames(const rotavel::scene::Preset& preset, double ratio)
        : m_area(rotavel::scene::kPicture1, ratio), m_animation(m_area, preset) {}

    // Chooses `preset`, presses Run and draws until the animation stops; the frames it drew.
    int animate(const rotavel::scene::Preset& preset) {
        m_animation.rotor.choose(preset);
        m_animation.rotor.run();
        const int drawn = rotavel::testing::runToStop(m_animation.timer, 1000);
        m_area.present();
        return drawn;
    }
    const rotavel::raster::PixelBuffer& image() const { return m_area.image(); }

    void frames(int count) {
        for (int i = 0; i < count; ++i) {
            if (!m_animation.timer.fire())
                m_animation.rotor.run();
            m_pixels ^= m_area.present().width; // presented as the window shows it
            m_pixels ^= m_area.image().data()[0];
        }
    }

private:
    ImageSurface m_area;
    Animation m_animation;
    unsigned m_pixels = 0;
};

// Bytes malloc has handed out and not taken back, mapped blocks such as the image's pixels
// included: catches what Qt allocates without `new`. Under AddressSanitizer malloc is its own and
// keeps no such count: then this stays zero.
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

long long residentBytes() {
    long long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lld %lld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

void* volatile g_kept; // so the compiler cannot drop the allocations of the self-check

} // namespace

// Every preset through a stop and a second Run, at ratio 1 and 2: nothing allocated, nothing kept.
TEST(FrameAllocation, WholeRunsOfEveryPresetAllocateNothing) {
    for (const double ratio : {1.0, 2.0}) {
        for (const auto& preset : rotavel::scene::kPresets) {
            Frames animation(preset, ratio);
            animation.frames(20); // warm-up: the first clear restores the whole image
            const long before = allocations();
            const std::size_t heapBefore = heapInUse();
            animation.frames(600);
            EXPECT_EQ(allocations() - before, 0) << preset.nvanes << " vanes, ratio " << ratio;
            EXPECT_EQ(heapInUse(), heapBefore) << preset.nvanes << " vanes, ratio " << ratio;
        }
    }
}

// The counter sees allocations at all, or the tests above could not fail.
TEST(FrameAllocation, TheCounterSeesAllocations) {
    const long before = allocations();
    g_kept = new int(7);
    EXPECT_EQ(allocations() - before, 1);
    delete static_cast<int*>(g_kept);
#if !defined(__SANITIZE_ADDRESS__)
    const std::size_t heapBefore = heapInUse();
    g_kept = std::malloc(1 << 12);
    EXPECT_GT(heapInUse(), heapBefore);
    std::free(g_kept);
#endif
}

// Whole animations, the preset changed between them in a shuffled order: each stops on its 503rd
// frame and ends on the picture that preset ended on before, and once every preset has run twice
// the heap and the resident set stay where they were.
TEST(Soak, AThousandAnimationsLeaveTheHeapAndResidentMemoryWhereTheyWere) {
    const auto& presets = rotavel::scene::kPresets;
    Frames a(presets[0], 1.0);
    std::array<rotavel::raster::PixelBuffer, presets.size()> lastFrame;
    for (int round = 0; round < 2; ++round) {
        for (std::size_t p = 0; p < presets.size(); ++p) {
            ASSERT_EQ(a.animate(presets[p]), 503) << presets[p].caption;
            if (round == 1) {
                ASSERT_TRUE(a.image() == lastFrame[p]) << presets[p].caption << " ends otherwise";
            }
            lastFrame[p] = a.image();
        }
    }
    std::mt19937 rng(503);
    std::size_t preset = 0;
    long wrongLength = 0, otherEnding = 0;
    const rotavel::testing::HeapCounts before = rotavel::testing::heapCounts();
    const long long mallocBefore = heapInUse(), residentBefore = residentBytes();
    long long blocks = 0, bytes = 0, malloced = 0, resident = 0; // the most kept, over before
    for (long k = rotavel::testing::envCount("ROTOR_SOAK_ANIMATIONS", 1000); k > 0; --k) {
        preset = (preset + 1 + rng() % (presets.size() - 1)) % presets.size();
        wrongLength += a.animate(presets[preset]) != 503;
        otherEnding += a.image() != lastFrame[preset];
        const rotavel::testing::HeapCounts now = rotavel::testing::heapCounts();
        blocks = std::max(blocks, now.liveBlocks - before.liveBlocks);
        bytes = std::max(bytes, now.liveBytes - before.liveBytes);
        malloced = std::max(malloced, (long long)heapInUse() - mallocBefore);
        resident = std::max(resident, residentBytes() - residentBefore);
    }
    EXPECT_EQ(wrongLength, 0) << "animations that did not stop on their 503rd frame";
    EXPECT_EQ(otherEnding, 0) << "animations whose last frame differs from the same preset's";
    // A few blocks of slack cover the toolkit's own lazy caches.
    EXPECT_LE(blocks, 8) << "operator new blocks kept";
    EXPECT_LE(bytes, 8 * 1024) << "operator new bytes kept";
    EXPECT_LE(malloced, 64 * 1024) << "malloc bytes kept";
    // The resident set moves with the allocator's page handling; a leak of a frame's worth per
    // animation would still pass a megabyte within the first few.
    EXPECT_LE(resident, 1024 * 1024) << "resident growth";
}
