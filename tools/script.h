// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The headless driver's script: one command a line, read and checked as a whole before any of it
// runs, so a bad line anywhere means nothing runs at all.
//
// The reader is written for hostile input: any bytes (NUL, invalid UTF-8, very long lines, CR LF
// endings) give either commands or errors, in time and memory proportional to the input, and an
// error message never carries a raw control byte or invalid UTF-8 from the script.
#pragma once

#include "scene/presets.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rotavel::tools {

struct Command {
    enum class Kind : std::uint8_t { Load, Activate, Run, Menu, Tick, Close, State, Save };

    static constexpr std::uint32_t kMaxTicks = 1000000;

    Kind kind = Kind::Load;
    // Held as pending and handled in the yield of the next delivered tick (Run, Menu, Close, Tick).
    bool queued = false;
    std::uint32_t count = 1;               // Tick: fires, 1 to kMaxTicks; a queued tick is one
    const scene::Preset* preset = nullptr; // Menu
    std::size_t path = 0;                  // Save: index into Script::paths
    std::size_t line = 0;                  // 1-based, for messages
};

struct ScriptError {
    std::size_t line = 0;
    std::string what;

    bool operator==(const ScriptError&) const = default;
};

struct Script {
    std::vector<Command> commands;
    std::vector<std::string> paths; // kept apart so a command stays small
    std::vector<ScriptError> errors;

    bool ok() const { return errors.empty(); }
};

// Reads a whole script. Every bad line gives one error naming its first fault; the commands are
// only meant to be run when there is no error.
Script parseScript(std::string_view text);

// A script word as it may be shown in a message: in double quotes, with control bytes, invalid
// UTF-8, quotes and backslashes escaped as \xHH, \" and \\, and cut short with "..." once
// `limit` bytes of the word are shown.
std::string quoted(std::string_view word, std::size_t limit = 40);

} // namespace rotavel::tools
