// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// A running animation allocates nothing: every frame on the image surface, as the timer and the
// window drive it (tick, then the image read for the screen), leaves the heap alone. This
// executable links the counting allocator to count every `new`.
#include "counting_allocator.h"
#include "rotor_rig.h"
#include "scene/picture1.h"
#include "scene/presets.h"
#include "surface/raster/image_surface.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>

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

// Bytes malloc has handed out and not taken back: catches what Qt allocates without `new`.
// Under AddressSanitizer malloc is its own and keeps no such count: then this stays zero.
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#else
    return mallinfo2().uordblks;
#endif
}

void* volatile g_kept; // so the compiler cannot drop the allocations of the self-check

} // namespace

TEST(FrameAllocation, AHundredFramesOfEveryPresetAllocateNothing) {
    for (const double ratio : {1.0, 2.0}) {
        for (const auto& preset : rotavel::scene::kPresets) {
            Frames animation(preset, ratio);
            animation.frames(20); // warm-up: the first clear restores the whole image
            const long before = allocations();
            const std::size_t heapBefore = heapInUse();
            animation.frames(100);
            EXPECT_EQ(allocations() - before, 0) << preset.nvanes << " vanes, ratio " << ratio;
            EXPECT_EQ(heapInUse(), heapBefore) << preset.nvanes << " vanes, ratio " << ratio;
        }
    }
}

// Twenty runs of the whole animation, Run pressed again after each: nothing grows.
TEST(FrameAllocation, TenThousandFramesLeaveTheHeapAsItWas) {
    Frames animation(rotavel::scene::kPresets.back(), 2.0);
    animation.frames(20);
    const long before = allocations();
    const std::size_t heapBefore = heapInUse();
    animation.frames(10000);
    EXPECT_EQ(allocations() - before, 0);
    EXPECT_EQ(heapInUse(), heapBefore);
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
