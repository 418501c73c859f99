// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/call_log.h"

#include <charconv>
#include <cstdio>

namespace rotavel::surface {

namespace {

// " %.9g" of a float: nine significant digits give back the exact single-precision value.
void appendCoordinate(std::string& out, float value) {
    char buf[32];
    buf[0] = ' ';
#if defined(__cpp_lib_to_chars)
    const auto end = std::to_chars(buf + 1, buf + sizeof buf, value, std::chars_format::general, 9);
    out.append(buf, end.ptr);
#else
    // The page's C++ library has no floating-point to_chars; printf's "%.9g" is the same text in
    // the "C" locale, the only one the page has.
    const int n = std::snprintf(buf + 1, sizeof buf - 1, "%.9g", double(value));
    out.append(buf, 1 + std::size_t(n));
#endif
}

void appendPoints(std::string& out, const Call& c, int count) {
    const float v[] = {c.x1, c.y1, c.x2, c.y2};
    for (int i = 0; i < count; ++i)
        appendCoordinate(out, v[i]);
}

} // namespace

const char* opName(Call::Op op) {
    switch (op) {
    case Call::Op::Scale:
        return "scale";
    case Call::Op::Cls:
        return "cls";
    case Call::Op::Line:
        return "line";
    case Call::Op::LineTo:
        return "lineto";
    case Call::Op::PSet:
        return "pset";
    case Call::Op::DrawWidth:
        return "drawwidth";
    case Call::Op::ForeColor:
        return "forecolor";
    case Call::Op::AutoRedraw:
        return "autoredraw";
    case Call::Op::Timer:
        return "timer";
    case Call::Op::Yield:
        return "yield";
    }
    return "?";
}

void appendCall(std::string& out, const Call& c) {
    out += opName(c.op);
    switch (c.op) {
    case Call::Op::Scale:
    case Call::Op::Line:
        appendPoints(out, c, 4);
        break;
    case Call::Op::LineTo:
    case Call::Op::PSet:
        appendPoints(out, c, 2);
        break;
    case Call::Op::DrawWidth: {
        char buf[16];
        const auto end = std::to_chars(buf, buf + sizeof buf, c.width);
        out += ' ';
        out.append(buf, end.ptr);
        break;
    }
    case Call::Op::ForeColor: {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += " 0x";
        for (int shift = 28; shift >= 0; shift -= 4)
            out += kHex[(c.colour >> shift) & 0xF];
        break;
    }
    case Call::Op::AutoRedraw:
    case Call::Op::Timer:
        out += c.on ? " on" : " off";
        break;
    case Call::Op::Cls:
    case Call::Op::Yield:
        break;
    }
}

std::string formatCall(const Call& c) {
    std::string line;
    appendCall(line, c);
    return line;
}

void replay(const Call& call, Surface& area) {
    switch (call.op) {
    case Call::Op::Scale:
        area.Scale(call.x1, call.y1, call.x2, call.y2);
        break;
    case Call::Op::Cls:
        area.Cls();
        break;
    case Call::Op::Line:
        area.Line(call.x1, call.y1, call.x2, call.y2);
        break;
    case Call::Op::LineTo:
        area.Line(call.x1, call.y1);
        break;
    case Call::Op::PSet:
        area.PSet(call.x1, call.y1);
        break;
    case Call::Op::DrawWidth:
        area.setDrawWidth(call.width);
        break;
    case Call::Op::ForeColor:
        area.setForeColor(call.colour);
        break;
    case Call::Op::AutoRedraw:
        area.setAutoRedraw(call.on);
        break;
    case Call::Op::Timer:
    case Call::Op::Yield:
        break;
    }
}

} // namespace rotavel::surface
