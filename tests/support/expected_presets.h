// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "scene/presets.h"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace rotavel::testing {

// The vane presets the tests expect, in menu order, from presets.tsv: written apart from the
// program's own table, so that a slip in either shows.
struct ExpectedPreset {
    std::string item, caption;
    int nvanes = 0;
    double bladelen = 0;

    // As the rotor takes it; the strings stay with the table, which lives as long as the test.
    scene::Preset preset() const { return {item, caption, std::int16_t(nvanes), bladelen}; }
};

inline const std::vector<ExpectedPreset>& expectedPresets() {
    static const std::vector<ExpectedPreset> table = [] {
        std::vector<ExpectedPreset> rows;
        std::ifstream in(ROTAVEL_PRESETS_TSV);
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line.front() == '#')
                continue;
            std::istringstream fields(line);
            ExpectedPreset row;
            std::string vanes, length;
            std::getline(fields, row.item, '\t');
            std::getline(fields, row.caption, '\t');
            std::getline(fields, vanes, '\t');
            std::getline(fields, length, '\t');
            // from_chars: the numbers read the same whatever locale the toolkit set
            const auto a = std::from_chars(vanes.data(), vanes.data() + vanes.size(), row.nvanes);
            const auto b =
                std::from_chars(length.data(), length.data() + length.size(), row.bladelen);
            if (a.ec != std::errc() || b.ec != std::errc())
                throw std::runtime_error("bad line in " ROTAVEL_PRESETS_TSV ": " + line);
            rows.push_back(std::move(row));
        }
        if (rows.empty())
            throw std::runtime_error("no presets read from " ROTAVEL_PRESETS_TSV);
        return rows;
    }();
    return table;
}

} // namespace rotavel::testing
