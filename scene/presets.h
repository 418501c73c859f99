// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace rotavel::scene {

// One vane preset: the menu item's object name and caption (shown exactly as written, trailing
// space included), and the rotor values it sets.
struct Preset {
    std::string_view item;
    std::string_view caption;
    std::int16_t nvanes;
    double bladelen;
};

// The presets in menu order; the menu is built from this table. There is no 7-vane preset.
inline constexpr std::array<Preset, 7> kPresets{{
    {"oone", "1 vane ", 1, 8},
    {"mvn1", "2 Vanes", 2, 7.3},
    {"tthree", "3 vanes", 3, 5},
    {"mv2", "4 vanes", 4, 4.2},
    {"ffive", "5 vanes", 5, 3},
    {"ssix", "6 vanes", 6, 2.8},
    {"eeight", "8 vanes", 8, 2},
}};

// The preset whose menu item is named `item`, or nullptr.
constexpr const Preset* findPreset(std::string_view item) {
    for (const Preset& p : kPresets)
        if (p.item == item)
            return &p;
    return nullptr;
}

} // namespace rotavel::scene
