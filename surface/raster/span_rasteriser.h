// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/rasteriser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace rotavel::raster {

// The program's rasteriser: a frame is about 1,200 short, wide, round-capped strokes, far too
// many to hand to QPainter one by one in a 10 ms tick.
//
// Each stroke's antialiased coverage (from the distance of a pixel's centre to the segment) goes
// into a coverage mask, taking the larger value where strokes overlap. The mask is composited
// onto the image once per run of same-coloured strokes that touch one another, so the 63
// segments of a circle join without the beads that blending each round end separately leaves.
// Only rows and columns actually touched are composited, and `clear` restores only what was
// drawn since the last clear. Memory is allocated in `attach`, never per stroke or frame.
class SpanRasteriser final : public Rasteriser {
public:
    // Pens wider than this many logical pixels are drawn this wide.
    static constexpr int kMaxPenWidth = 32767;

    void attach(PixelBuffer& image, const PixelBuffer& background) override;
    void detach() override;
    void setPen(std::uint32_t colour, int width) override;
    void segment(Point from, Point to) override;
    void dot(Point at) override;
    const Bands& flush() override;
    void clear() override;

private:
    // For each row, the columns touched (inclusive); a row with lo > hi is untouched.
    struct RowSpans {
        std::vector<int> lo, hi;
        int top = 0, bottom = -1; // rows that may be touched

        void resize(int rows);
        void markAll(int width);
        bool empty() const { return top > bottom; }
        void add(int y, int x0, int x1) {
            lo[y] = std::min(lo[y], x0);
            hi[y] = std::max(hi[y], x1);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        // Calls f(y, lo, hi) for every touched row, top to bottom, and leaves the spans empty.
        template <typename F> void drain(F f) {
            for (int y = top; y <= bottom; ++y) {
                if (lo[y] <= hi[y])
                    f(y, lo[y], hi[y]);
                lo[y] = INT_MAX;
                hi[y] = -1;
            }
            top = int(lo.size());
            bottom = -1;
        }
    };

    // A stroke as it reaches the mask: its ends in device pixels, cut to the image's margin, and
    // the pen's radius.
    struct Stroke {
        double ax, ay, bx, by;
        float radius;

        // How far from the segment a pixel's centre may lie and still be touched: the pen's
        // radius and half a pixel.
        double reach() const { return reachOf(radius); }
        static double reachOf(float radius) { return double(radius) + 0.5; }
    };

    // Holds the stroke from a to b (device pixels) in the run.
    void capsule(double ax, double ay, double bx, double by);
    // The pixels a stroke may touch, within the image; empty when none.
    Box boxOf(const Stroke& s) const;
    // Adds a stroke's coverage to the mask, and its box to the held run's.
    void cover(const Stroke& s, const Box& box);
    // Calls f(y, lo, hi) for every mask row the held run may have touched, with the columns it
    // may have touched, and forgets the run.
    template <typename F> void drainHeld(F f);
    // Blends the mask onto the image in the held colour and empties it.
    void composite();

    PixelBuffer* m_image = nullptr;
    // The background row a clear copies each image row from. A row the same as the one above
    // is copied from the first of them, which stays in the cache: below the picture a clear
    // reads one row again and again, not a whole background that has left the cache.
    std::vector<const std::uint32_t*> m_restoreFrom;
    int m_width = 0, m_height = 0; // device pixels
    double m_ratio = 1.0;

    std::uint32_t m_colour = 0xFFFFFFFF;
    int m_penWidth = 1;    // logical pixels
    float m_radius = 0.5f; // device pixels

    // Coverage 0..255, one byte a device pixel; each row has room past its end for strokes
    // worked four pixels at a time.
    static constexpr int kMaskPadding = 16;
    std::vector<std::uint8_t> m_mask;
    int m_stride = 0;
    // The held run: coverage in the mask not yet composited, all in one colour. Short strokes
    // (most of them) only widen a box, which costs far less than keeping each row's span; long
    // ones keep their rows' spans, as a box around them would be mostly empty.
    std::uint32_t m_heldColour = 0;
    Box m_heldShort;   // the mask written for short strokes, padding included
    Box m_heldLongBox; // every held long stroke's pixels
    RowSpans m_heldLong;
    RowSpans m_drawn; // image rows drawn since clear
    Bands m_changed;  // image pixels drawn or cleared since the last flush
    Bands m_flushed;  // what the last flush returned
};

} // namespace rotavel::raster
