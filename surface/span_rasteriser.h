#pragma once

#include "surface/rasteriser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace rotavel::surface {

// The program's rasteriser: a frame is about 1,200 short, wide, round-capped strokes, far too
// many to hand to QPainter one by one in a 10 ms tick.
//
// Each stroke's antialiased coverage (from the distance of a pixel's centre to the segment) goes
// into a coverage mask, taking the larger value where strokes overlap. The mask is composited
// onto the image once per run of same-coloured strokes that touch one another, so the 63
// segments of a circle join without the beads that blending each round end separately leaves.
// Only rows and columns actually touched are composited, and `clear` restores only what was
// drawn since the last clear. Memory is allocated in `attach` and never per stroke or frame.
class SpanRasteriser final : public Rasteriser {
public:
    // Pens wider than this many logical pixels are drawn this wide.
    static constexpr int kMaxPenWidth = 32767;

    void attach(QImage& image, const QImage& background) override;
    void detach() override;
    void setPen(QRgb colour, int width) override;
    void segment(QPointF from, QPointF to) override;
    void dot(QPointF at) override;
    void flush() override;
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
        void addRows(int y0, int y1, int x0, int x1) {
            for (int y = y0; y <= y1; ++y) {
                lo[y] = std::min(lo[y], x0);
                hi[y] = std::max(hi[y], x1);
            }
            top = std::min(top, y0);
            bottom = std::max(bottom, y1);
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

    // Adds the coverage of the stroke from a to b (device pixels) to the mask.
    void capsule(double ax, double ay, double bx, double by);
    // Blends the mask onto the image in the held colour and empties it.
    void composite();

    QImage* m_image = nullptr;
    const QImage* m_background = nullptr;
    int m_width = 0, m_height = 0; // device pixels
    double m_ratio = 1.0;

    QRgb m_colour = 0xFFFFFFFF;
    int m_penWidth = 1;    // logical pixels
    float m_radius = 0.5f; // device pixels

    // Coverage 0..255, one byte a device pixel; each row has room past its end for strokes
    // worked four pixels at a time.
    static constexpr int kMaskPadding = 16;
    std::vector<std::uint8_t> m_mask;
    int m_stride = 0;
    RowSpans m_held; // mask rows holding coverage not yet composited
    QRgb m_heldColour = 0;
    int m_heldX0 = 0, m_heldY0 = 0, m_heldX1 = -1, m_heldY1 = -1; // bounding box of the held run
    RowSpans m_drawn;                                             // image rows drawn since clear
};

} // namespace rotavel::surface
