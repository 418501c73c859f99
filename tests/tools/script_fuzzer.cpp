// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The script reader under arbitrary bytes. Built as a libFuzzer target in the clang fuzzing tree,
// and with a small replaying main (fuzz_replay_main.cpp) in the normal build, so every kept input
// is checked again on each test run.
//
// Besides "no crash, no hang", every input must keep the reader's promises: each line that is not
// blank or a comment gives exactly one command or one error, with its own line number; messages
// are short, valid UTF-8 and free of control characters; commands are well formed; and the
// commands, written back out, read back the same.
#include "scene/presets.h"
#include "tools/script.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using rotavel::tools::Command;
using rotavel::tools::parseScript;
using rotavel::tools::quoted;
using rotavel::tools::Script;
using Kind = Command::Kind;

// The longest message the reader can give: its fixed text and one quoted word of 40 bytes at
// worst all escaped.
constexpr std::size_t kMaxMessage = 256;

[[noreturn]] void fail(const char* what, std::size_t line = 0) {
    std::fprintf(stderr, "script fuzzer: broken promise at line %zu: %s\n", line, what);
    std::abort();
}

void check(bool ok, const char* what, std::size_t line = 0) {
    if (!ok)
        fail(what, line);
}

// True when `text` is valid UTF-8 holding no control character (C0, DEL or C1) and no character
// that reorders or hides text on a terminal.
bool safeToShow(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t cp = lead;
        if (lead >= 0x80) {
            if (lead >= 0xC2 && lead <= 0xDF)
                length = 2, cp = lead & 0x1F;
            else if (lead >= 0xE0 && lead <= 0xEF)
                length = 3, cp = lead & 0x0F;
            else if (lead >= 0xF0 && lead <= 0xF4)
                length = 4, cp = lead & 0x07;
            else
                return false;
            if (text.size() - i < length)
                return false;
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80)
                    return false;
                cp = (cp << 6) | (next & 0x3F);
            }
            constexpr std::array<char32_t, 5> kMin{0, 0, 0x80, 0x800, 0x10000};
            if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
        }
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || (cp >= 0x202A && cp <= 0x202E) ||
            (cp >= 0x2066 && cp <= 0x2069))
            return false;
        i += length;
    }
    return true;
}

// Undoes quoted(): the bytes it shows, and whether it was cut short. Fails on a malformed escape.
std::string unquote(std::string_view q, bool& cut) {
    cut = q.size() >= 5 && q.substr(q.size() - 3) == "...";
    if (cut)
        q.remove_suffix(3);
    check(q.size() >= 2 && q.front() == '"' && q.back() == '"', "quoted word not in quotes");
    q = q.substr(1, q.size() - 2);
    std::string bytes;
    for (std::size_t i = 0; i < q.size(); ++i) {
        check(q[i] != '"', "bare quote inside a quoted word");
        if (q[i] != '\\') {
            bytes += q[i];
            continue;
        }
        check(i + 1 < q.size(), "dangling backslash in a quoted word");
        const char e = q[++i];
        if (e == '"' || e == '\\') {
            bytes += e;
            continue;
        }
        check(e == 'x' && i + 2 < q.size(), "unknown or short escape in a quoted word");
        const auto hex = [](char h) -> int {
            if (h >= '0' && h <= '9')
                return h - '0';
            if (h >= 'A' && h <= 'F')
                return h - 'A' + 10;
            fail("escape is not two upper-case hex digits");
        };
        bytes += static_cast<char>(hex(q[i + 1]) * 16 + hex(q[i + 2]));
        i += 2;
    }
    return bytes;
}

// quoted() shows a prefix of the word faithfully, escaping what may not be shown as it is.
void checkQuoted(std::string_view word, std::size_t limit) {
    const std::string q = quoted(word, limit);
    check(safeToShow(q), "quoted word holds a control byte or invalid UTF-8");
    check(q.size() <= 2 + 4 * limit + 3, "quoted word longer than its limit allows");
    bool cut = false;
    const std::string shown = unquote(q, cut);
    check(word.starts_with(shown), "quoted word does not show the word's start");
    check(cut == (shown.size() < word.size()), "quoted word cut without \"...\" or the reverse");
    check(shown.size() >= std::min(limit, word.size()), "quoted word shows less than its limit");
}

// The lines that are not blank or comments, numbered from 1, worked out independently of the
// reader: they are exactly those that must give a command or an error.
std::vector<std::size_t> meaningfulLines(std::string_view text) {
    std::vector<std::size_t> lines;
    std::size_t number = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line[first] != '#')
            lines.push_back(number);
    }
    return lines;
}

constexpr std::array<std::string_view, 8> kKindNames{"load", "activate", "run",   "menu",
                                                     "tick", "close",    "state", "save"};

// The commands written back as a script, each line ending in CR LF so that a path's own trailing
// carriage return survives the reader dropping one.
std::string writeBack(const Script& s) {
    std::string text;
    for (const Command& c : s.commands) {
        if (c.queued)
            text += "queue ";
        text += kKindNames[static_cast<std::size_t>(c.kind)];
        if (c.kind == Kind::Menu)
            text += " " + std::string(c.preset->item);
        else if (c.kind == Kind::Tick && !c.queued)
            text += " " + std::to_string(c.count);
        else if (c.kind == Kind::Save)
            text += " " + s.paths[c.path];
        text += "\r\n";
    }
    return text;
}

void checkCommand(const Command& c, std::size_t saves, const Script& s) {
    const std::size_t line = c.line;
    check(static_cast<std::size_t>(c.kind) < kKindNames.size(), "command of no kind", line);
    check(!c.queued || c.kind == Kind::Run || c.kind == Kind::Menu || c.kind == Kind::Close ||
              c.kind == Kind::Tick,
          "queued event that cannot be held", line);
    check(c.count >= 1 && c.count <= Command::kMaxTicks, "tick count out of range", line);
    check(c.count == 1 || (c.kind == Kind::Tick && !c.queued), "count on a single event", line);
    const auto& presets = rotavel::scene::kPresets;
    check((c.kind == Kind::Menu) == (c.preset != nullptr), "preset on the wrong command", line);
    check(!c.preset || (c.preset >= presets.data() && c.preset < presets.data() + presets.size()),
          "preset outside the table", line);
    if (c.kind == Kind::Save) {
        check(c.path == saves && c.path < s.paths.size(), "save paths out of order", line);
        const std::string& path = s.paths[c.path];
        check(!path.empty() &&
                  path.find_first_of(std::string_view(" \t\n\0", 4)) == std::string::npos,
              "path empty or holding a blank, newline or NUL", line);
    }
}

void checkScript(std::string_view text) {
    const Script s = parseScript(text);
    const std::vector<std::size_t> expected = meaningfulLines(text);

    // Each meaningful line, in order, is one command or one error, never both and never neither.
    check(s.commands.size() + s.errors.size() == expected.size(),
          "a meaningful line gave no command or error, or more than one");
    std::size_t ci = 0, ei = 0, saves = 0;
    for (const std::size_t line : expected) {
        if (ci < s.commands.size() && s.commands[ci].line == line) {
            checkCommand(s.commands[ci], saves, s);
            saves += s.commands[ci].kind == Kind::Save;
            ++ci;
        } else if (ei < s.errors.size() && s.errors[ei].line == line) {
            const std::string& what = s.errors[ei].what;
            check(!what.empty(), "empty message", line);
            check(what.size() <= kMaxMessage, "message too long", line);
            check(safeToShow(what), "message holds a control byte or invalid UTF-8", line);
            ++ei;
        } else {
            fail("line numbers out of step with the script's lines", line);
        }
    }
    check(s.paths.size() == saves, "a path kept for no save command");
    check(s.ok() == s.errors.empty(), "ok() disagrees with the errors");

    // Written back out, the commands read back as they were.
    if (s.commands.empty())
        return;
    const Script again = parseScript(writeBack(s));
    check(again.ok(), "written-back commands do not read back");
    check(again.commands.size() == s.commands.size(), "written-back commands changed in number");
    for (std::size_t i = 0; i < s.commands.size(); ++i) {
        const Command& a = s.commands[i];
        const Command& b = again.commands[i];
        check(a.kind == b.kind && a.queued == b.queued && a.count == b.count &&
                  a.preset == b.preset && b.line == i + 1,
              "written-back command reads back different", a.line);
        check(a.kind != Kind::Save || s.paths[a.path] == again.paths[b.path],
              "written-back path reads back different", a.line);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkScript(text);
    // The first byte picks how much of the rest quoted() may show.
    if (size > 0)
        checkQuoted(text.substr(1, 4096), data[0] % 64);
    return 0;
}
