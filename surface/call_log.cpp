#include "surface/call_log.h"

#include <charconv>

namespace rotavel::surface {

namespace {

// " %.9g" of a float: nine significant digits give back the exact single-precision value.
void appendCoordinate(std::string& out, float value) {
    char buf[32];
    buf[0] = ' ';
    const auto end = std::to_chars(buf + 1, buf + sizeof buf, value, std::chars_format::general, 9);
    out.append(buf, end.ptr);
}

void appendPoints(std::string& out, const char* name, const Call& c, int count) {
    out += name;
    const float v[] = {c.x1, c.y1, c.x2, c.y2};
    for (int i = 0; i < count; ++i)
        appendCoordinate(out, v[i]);
}

} // namespace

void appendCall(std::string& out, const Call& c) {
    switch (c.op) {
    case Call::Op::Scale:
        appendPoints(out, "scale", c, 4);
        break;
    case Call::Op::Cls:
        out += "cls";
        break;
    case Call::Op::Line:
        appendPoints(out, "line", c, 4);
        break;
    case Call::Op::LineTo:
        appendPoints(out, "lineto", c, 2);
        break;
    case Call::Op::PSet:
        appendPoints(out, "pset", c, 2);
        break;
    case Call::Op::DrawWidth: {
        char buf[16];
        const auto end = std::to_chars(buf, buf + sizeof buf, c.width);
        out += "drawwidth ";
        out.append(buf, end.ptr);
        break;
    }
    case Call::Op::ForeColor: {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += "forecolor 0x";
        for (int shift = 28; shift >= 0; shift -= 4)
            out += kHex[(c.colour >> shift) & 0xF];
        break;
    }
    case Call::Op::AutoRedraw:
        out += c.on ? "autoredraw on" : "autoredraw off";
        break;
    case Call::Op::Timer:
        out += c.on ? "timer on" : "timer off";
        break;
    case Call::Op::Yield:
        out += "yield";
        break;
    }
}

std::string formatCall(const Call& c) {
    std::string line;
    appendCall(line, c);
    return line;
}

} // namespace rotavel::surface
