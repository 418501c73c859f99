// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/geometry.h"

#include <algorithm>
#include <vector>

namespace rotavel::raster {

// Pixels of an image, kept as one box for each band of `kRows` rows: as cheap to widen as a
// single box, and far tighter around vanes that lie apart, whose single box would take in all
// the background between them. Memory is allocated when it is sized, never as it grows.
class Bands {
public:
    static constexpr int kRows = 16;

    Bands() = default;
    // Room for an image `height` rows tall; holds nothing.
    explicit Bands(int height) : m_boxes(std::size_t(std::max(0, height + kRows - 1) / kRows)) {}

    bool empty() const { return m_bounds.empty(); }
    // The box around every band's.
    const Box& bounds() const { return m_bounds; }

    // Row y (inside the image) from column x0 to x1.
    void addRow(int y, int x0, int x1) {
        m_boxes[std::size_t(y / kRows)].add({x0, y, x1, y});
        m_bounds.add({x0, y, x1, y});
    }
    // A box whose rows lie inside the image.
    void add(const Box& box) {
        if (box.empty())
            return;
        for (int band = box.y0 / kRows; band <= box.y1 / kRows; ++band)
            m_boxes[std::size_t(band)].add({box.x0, std::max(box.y0, band * kRows), box.x1,
                                            std::min(box.y1, band * kRows + kRows - 1)});
        m_bounds.add(box);
    }

    // Calls f(box) for every band that holds pixels, top to bottom.
    template <typename F> void forEach(F f) const {
        if (empty())
            return;
        for (int band = m_bounds.y0 / kRows; band <= m_bounds.y1 / kRows; ++band)
            if (const Box& box = m_boxes[std::size_t(band)]; !box.empty())
                f(box);
    }

    // Holds nothing again; only the bands in use are touched.
    void clear() {
        if (empty())
            return;
        std::fill(m_boxes.begin() + m_bounds.y0 / kRows, m_boxes.begin() + m_bounds.y1 / kRows + 1,
                  Box{});
        m_bounds = Box{};
    }

private:
    std::vector<Box> m_boxes;
    Box m_bounds;
};

} // namespace rotavel::raster
