// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/raster/pixel_buffer.h"

#include <algorithm>

namespace rotavel::raster {

PixelBuffer::PixelBuffer(int width, int height, double devicePixelRatio, std::uint32_t fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)), m_ratio(devicePixelRatio),
      m_pixels(std::size_t(m_width) * std::size_t(m_height), fill) {}

} // namespace rotavel::raster
