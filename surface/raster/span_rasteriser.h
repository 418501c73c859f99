// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/rasteriser.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace rotavel::raster {

namespace span_pixels {
enum class Path;
}

// The program's rasteriser: a frame is about 1,200 short, wide, round-capped strokes, far too
// many to hand to QPainter one by one in a 10 ms tick.
//
// Each stroke's antialiased coverage (from the distance of a pixel's centre to the segment) goes
// into a coverage mask, taking the larger value where strokes overlap. The mask is composited
// onto the image once per run of same-coloured strokes that touch one another, so the 63
// segments of a circle join without the beads that blending each round end separately leaves.
// Only rows and columns actually touched are composited, and `clear` restores only what was
// drawn since the last clear. A run drawn again (the rotor's hub, once a vane) has its mask
// copied back rather than worked out again. Memory is allocated when the rasteriser is made and
// in `attach`, never per stroke or frame.
class SpanRasteriser final : public Rasteriser {
public:
    // Pens wider than this many logical pixels are drawn this wide.
    static constexpr int kMaxPenWidth = 32767;

    // Without `rememberRuns` every run is worked out afresh: what the remembered ones must match.
    explicit SpanRasteriser(bool rememberRuns = true);

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
    // the pen's radius. Strokes equal to the bit have the same coverage.
    struct Stroke {
        double ax, ay, bx, by;
        float radius;

        bool sameAs(const Stroke& o) const;
        // How far from the segment a pixel's centre may lie and still be touched: the pen's
        // radius and half a pixel.
        double reach() const { return reachOf(radius); }
        static double reachOf(float radius) { return double(radius) + 0.5; }
    };

    // Holds the stroke from a to b (device pixels) in the run, with the pixel loops of build P.
    template <span_pixels::Path P> void capsule(double ax, double ay, double bx, double by);
    // The pixels a stroke may touch, within the image; empty when none.
    Box boxOf(const Stroke& s) const;
    // Adds a stroke's coverage to the mask, and its box to the held run's.
    template <span_pixels::Path P> void cover(const Stroke& s, const Box& box);
    // Adds only the box: the part of `cover` that later strokes' runs depend on.
    void hold(const Box& box);
    // Takes the held run's next stroke: whether it is left undrawn for now, as the next stroke
    // of the remembered run (the strokes it left undrawn are drawn once the run turns out to be
    // another).
    bool follow(const Stroke& s);
    // Draws the held run's first n strokes, left undrawn while they followed the remembered run.
    template <span_pixels::Path P> void coverFollowed(int n);
    // Puts the remembered run's mask rows back, as the held run's.
    void restoreRemembered();
    // Whether a run of these strokes has been seen lately; if not, notes that it now has.
    bool sighted();
    // The next stroke starts another run.
    void endRun();
    // Calls f(y, lo, hi) for every mask row the held run may have touched, with the columns it
    // may have touched, and forgets the run.
    template <typename F> void drainHeld(F f);
    // Blends the mask onto the image in the held colour and empties it.
    template <span_pixels::Path P> void composite();
    // The two above as this processor runs them fastest: with the AVX2 loops where it has them.
    void capsule(double ax, double ay, double bx, double by) {
        m_avx2 ? capsuleAvx2(ax, ay, bx, by) : capsuleNative(ax, ay, bx, by);
    }
    void composite() { m_avx2 ? compositeAvx2() : compositeNative(); }
    void capsuleNative(double ax, double ay, double bx, double by);
    void compositeNative();
    void capsuleAvx2(double ax, double ay, double bx, double by);
    void compositeAvx2();
    // Rare, and kept out of the loops above: strokes left undrawn, drawn after all.
    void coverFollowed(int n) { m_avx2 ? coverFollowedAvx2(n) : coverFollowedNative(n); }
    [[gnu::noinline]] void coverFollowedNative(int n);
    [[gnu::noinline]] void coverFollowedAvx2(int n);

    const bool m_avx2; // this processor has AVX2
    const bool m_rememberRuns;

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

    // A run that comes again: the rotor draws its hub once a vane, the same 65 strokes each time.
    // Every run's strokes are kept while it is held. A run seen a second time is remembered, its
    // strokes and its mask rows; when the same strokes come again, in the same order, they are
    // only compared, and at the run's end the rows are copied back into the mask.
    static constexpr int kRunStrokes = 128;         // the longest run remembered
    static constexpr int kFewestRunStrokes = 8;     // shorter ones cost less to work out again
    static constexpr std::size_t kRunBytes = 65536; // mask bytes of the largest
    struct Sighting {
        int strokes = 0;
        Stroke first{}, last{};
    };
    struct MaskRow {
        int y, lo, hi;
    };
    std::vector<Stroke> m_run; // the held run's first kRunStrokes strokes
    int m_runStrokes = 0;
    bool m_following = false; // every stroke of the held run so far is the remembered run's
    std::array<Sighting, 4> m_sightings{}; // the last runs that might have been remembered
    int m_nextSighting = 0;
    std::vector<Stroke> m_remembered;
    int m_rememberedStrokes = 0; // none remembered when 0
    std::vector<MaskRow> m_rememberedRows;
    int m_rememberedRowCount = 0;
    std::vector<std::uint8_t> m_rememberedBytes;
};

} // namespace rotavel::raster
