// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/surface.h"

#include <cstddef>
#include <string>
#include <vector>

namespace rotavel::surface {

// One call on the drawing area or the timer, or the frame's yield, as the rotor logic made it.
struct Call {
    enum class Op {
        Scale,
        Cls,
        Line,
        LineTo,
        PSet,
        DrawWidth,
        ForeColor,
        AutoRedraw,
        Timer,
        Yield
    };

    Op op = Op::Cls;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0; // points in the order the call takes them
    int width = 0;                        // DrawWidth
    Colour colour = 0;                    // ForeColor
    bool on = false;                      // AutoRedraw, Timer

    bool operator==(const Call&) const = default;
};

// The trace keyword of a kind of call: "scale", "lineto", "timer", ...
const char* opName(Call::Op op);

// The trace line of a call, e.g. "line -1 0 1 0" or "forecolor 0x0000FF00"; coordinates are the
// single-precision values as "%.9g", so the text gives back the exact float.
std::string formatCall(const Call& call);
// The same line appended to `out`, which allocates nothing once `out` has room.
void appendCall(std::string& out, const Call& call);
// Makes a drawing-area call again on `area`; the timer's calls and the yield do nothing.
void replay(const Call& call, Surface& area);

// An ordered log of calls, shared by the recording surface, the manual timer and a host's yield so
// that one sequence shows how they interleave. Appending never allocates until the reserve is used.
class CallLog {
public:
    explicit CallLog(std::size_t reserve = 4096) { m_calls.reserve(reserve); }

    void append(const Call& call) { m_calls.push_back(call); }
    const std::vector<Call>& calls() const { return m_calls; }
    std::size_t size() const { return m_calls.size(); }
    // Forgets the calls but keeps the storage.
    void clear() { m_calls.clear(); }

private:
    std::vector<Call> m_calls;
};

} // namespace rotavel::surface
