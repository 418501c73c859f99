#include "surface/call_log.h"

#include <cstdio>

namespace rotavel::surface {

std::string formatCall(const Call& c) {
    char buf[128];
    switch (c.op) {
    case Call::Op::Scale:
        std::snprintf(buf, sizeof buf, "scale %.9g %.9g %.9g %.9g", c.x1, c.y1, c.x2, c.y2);
        break;
    case Call::Op::Cls:
        return "cls";
    case Call::Op::Line:
        std::snprintf(buf, sizeof buf, "line %.9g %.9g %.9g %.9g", c.x1, c.y1, c.x2, c.y2);
        break;
    case Call::Op::LineTo:
        std::snprintf(buf, sizeof buf, "lineto %.9g %.9g", c.x1, c.y1);
        break;
    case Call::Op::PSet:
        std::snprintf(buf, sizeof buf, "pset %.9g %.9g", c.x1, c.y1);
        break;
    case Call::Op::DrawWidth:
        std::snprintf(buf, sizeof buf, "drawwidth %d", c.width);
        break;
    case Call::Op::ForeColor:
        std::snprintf(buf, sizeof buf, "forecolor 0x%08X", static_cast<unsigned>(c.colour));
        break;
    case Call::Op::AutoRedraw:
        return c.on ? "autoredraw on" : "autoredraw off";
    case Call::Op::Timer:
        return c.on ? "timer on" : "timer off";
    case Call::Op::Yield:
        return "yield";
    }
    return buf;
}

} // namespace rotavel::surface
