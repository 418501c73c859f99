// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The part of the drawing area that a screenshot of the real window can compare with the headless
// driver's frames, and the two hashes both sides compute over it, which leave out the Run button
// lying on top of the picture's top-left corner:
//   - `whole`: every other visible pixel; equal to a driver frame's only when the screen shows that
//     frame exactly;
//   - `barless`: the same without the hub bar's box, where a Run click draws the hub bar once more
//     over the frame on screen until the next tick clears it.
#pragma once

#include <cstdint>

namespace rotavel::uitest {

struct Box {
    int x, y, w, h;
    constexpr bool contains(int px, int py) const {
        return px >= x && px < x + w && py >= y && py < y + h;
    }
};

// The interior is 448 x 426, but its last row lies below the client area and is never seen.
inline constexpr int kPictureWidth = 448;
inline constexpr int kPictureHeight = 425;
// In interior pixels: the Run button (16, 8, 57 x 33 in the client area, inside the picture's
// 2-pixel sunken frame).
inline constexpr Box kRunButton{14, 6, 57, 33};
// The hub bar from (-1, 0) to (1, 0), 2 pixels wide with round ends and soft edges, and a pixel
// to spare on every side; its thinner start-up pen falls inside too.
inline constexpr Box kHubBar{204, 245, 40, 5};

struct PictureHash {
    std::uint64_t whole;
    std::uint64_t barless;
};

// FNV-1a over 0xRRGGBB values, row by row; `rgbAt(x, y)` reads the interior's pixel.
template <class RgbAt> PictureHash pictureHash(RgbAt rgbAt) {
    constexpr std::uint64_t kPrime = 1099511628211ull;
    PictureHash hash{1469598103934665603ull, 1469598103934665603ull};
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) {
            if (kRunButton.contains(x, y))
                continue;
            const std::uint32_t rgb = rgbAt(x, y) & 0xFFFFFFu;
            hash.whole = (hash.whole ^ rgb) * kPrime;
            if (!kHubBar.contains(x, y))
                hash.barless = (hash.barless ^ rgb) * kPrime;
        }
    return hash;
}

} // namespace rotavel::uitest
