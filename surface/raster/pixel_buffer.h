// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rotavel::raster {

// An opaque picture in memory: rows of 32-bit pixels 0xFFRRGGBB, one word a pixel, the first row
// first. It is `devicePixelRatio` times the logical size it stands for, so logical geometry lands
// on a dense screen crisply. The layout is that of the usual 32-bit RGB images of the toolkits and
// of a canvas's words on a little-endian machine, so a view can show it without copying.
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
