// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The script reader under arbitrary bytes. Built as a libFuzzer target in the clang fuzzing tree;
// script_tests replays every kept input through it on each test run.
//
// Besides "no crash, no hang", every input must keep the reader's promises: each line that is not
// blank or a comment gives exactly one command or one error, with its own line number; messages
// are short, valid UTF-8 and free of control characters; and the commands, written back out, read
// back the same (which holds only for well-formed commands).
#include "tools/script.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
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

void check(bool ok, const char* what, std::size_t line = 0) {
    if (ok)
        return;
    std::fprintf(stderr, "script fuzzer: broken promise at line %zu: %s\n", line, what);
    std::abort();
}

// True when `text` is valid UTF-8 (as the C library decodes it) holding no control character
// (C0, DEL or C1) and no character that reorders text on a terminal.
bool safeToShow(std::string_view text) {
    static const bool utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    check(utf8, "no C.UTF-8 locale to decode messages with");
    std::mbstate_t state{};
    for (std::size_t i = 0, length; i < text.size(); i += length) {
        wchar_t wide = 0;
        length = std::mbrtowc(&wide, text.data() + i, text.size() - i, &state);
        const auto cp = static_cast<char32_t>(wide);
        if (length == 0 || length > 4 || cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp > 0x10FFFF ||
            (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069))
            return false;
    }
    return true;
}

// Undoes quoted(): the bytes it shows, and whether it was cut short. Fails on a malformed escape.
std::string unquote(std::string_view q, bool& cut) {
    cut = q.size() >= 5 && q.ends_with("...");
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
        constexpr std::string_view kHex = "0123456789ABCDEF";
        check(e == 'x' && i + 2 < q.size() && kHex.find(q[i + 1]) != kHex.npos &&
                  kHex.find(q[i + 2]) != kHex.npos,
              "escape is not \\x and two upper-case hex digits");
        bytes += static_cast<char>(kHex.find(q[i + 1]) * 16 + kHex.find(q[i + 2]));
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

// The commands written back as a script, each line ending in CR LF so that a path's own trailing
// carriage return survives the reader dropping one.
std::string writeBack(const Script& s) {
    constexpr std::array<std::string_view, 8> kNames{"load", "activate", "run",   "menu",
                                                     "tick", "close",    "state", "save"};
    std::string text;
    for (const Command& c : s.commands) {
        if (c.queued)
            text += "queue ";
        text += kNames.at(static_cast<std::size_t>(c.kind));
        if (c.kind == Kind::Menu)
            text += " " + std::string(c.preset->item);
        else if (c.kind == Kind::Tick && !c.queued)
            text += " " + std::to_string(c.count);
        else if (c.kind == Kind::Save)
            text += " " + s.paths.at(c.path);
        text += "\r\n";
    }
    return text;
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
            if (s.commands[ci].kind == Kind::Save)
                check(s.commands[ci].path == saves++, "save paths out of order", line);
            ++ci;
        } else {
            check(ei < s.errors.size() && s.errors[ei].line == line,
                  "line numbers out of step with the script's lines", line);
            const std::string& what = s.errors[ei++].what;
            check(!what.empty() && what.size() <= kMaxMessage, "message empty or too long", line);
            check(safeToShow(what), "message holds a control byte or invalid UTF-8", line);
        }
    }
    check(s.paths.size() == saves, "a path kept for no save command");
    check(s.ok() == s.errors.empty(), "ok() disagrees with the errors");

    // Written back out, the commands read back as they were: a count, preset, queue mark or path
    // the reader should have refused fails here.
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
