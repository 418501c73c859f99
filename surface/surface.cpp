// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/surface.h"

namespace rotavel::surface {

std::uint32_t toRgb(Colour colour) {
    if (colour & kSystemColourFlag) {
        switch (colour & 0xFF'FFFFu) {
        case 5:  // window background
        case 14: // highlight text
            return 0xFFFFFF;
        case 13: // highlight
            return 0x0078D7;
        case 15: // button face
            return 0xF0F0F0;
        default: // every other system colour is a text or frame colour in the light scheme
            return 0x000000;
        }
    }
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

} // namespace rotavel::surface
