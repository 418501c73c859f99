// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rotavel::raster {

// Where a pixel's channels lie in its word.
enum class PixelOrder {
    Xrgb, // 0xFFRRGGBB: the usual 32-bit RGB image of the toolkits, as the desktop shows it
    Xbgr, // 0xFFBBGGRR: bytes R, G, B, A on a little-endian processor, as a web canvas takes them
};

// `pixel`, given as 0xFFRRGGBB, in `order`.
constexpr std::uint32_t inOrder(std::uint32_t pixel, PixelOrder order) {
    return order == PixelOrder::Xrgb
               ? pixel
               : (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
}

// An opaque picture in memory: rows of 32-bit pixels, one word a pixel (0xFFRRGGBB unless told
// otherwise), the first row first. It is `devicePixelRatio` times the logical size it stands for,
// so logical geometry lands on a dense screen crisply. Rows follow each other with no gap, so a
// view or a canvas can show it without copying.
class PixelBuffer {
public:
    PixelBuffer() = default;
    // width x height device pixels, every one `fill`.
    PixelBuffer(int width, int height, double devicePixelRatio, std::uint32_t fill = 0xFF000000u);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Pixels from one row's start to the next's.
    int stride() const { return m_width; }
    std::ptrdiff_t bytesPerLine() const { return std::ptrdiff_t(stride()) * 4; }
    double devicePixelRatio() const { return m_ratio; }
    bool isNull() const { return m_pixels.empty(); }

    std::uint32_t* data() { return m_pixels.data(); }
    const std::uint32_t* data() const { return m_pixels.data(); }
    std::uint32_t* row(int y) { return data() + std::ptrdiff_t(y) * stride(); }
    const std::uint32_t* row(int y) const { return data() + std::ptrdiff_t(y) * stride(); }
    std::uint32_t pixel(int x, int y) const { return row(y)[x]; }

    // Same size, ratio and pixels.
    friend bool operator==(const PixelBuffer&, const PixelBuffer&) = default;

private:
    int m_width = 0, m_height = 0;
    double m_ratio = 1.0;
    std::vector<std::uint32_t> m_pixels;
};

} // namespace rotavel::raster
