// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// rotor-headless: runs the rotor logic from a script on standard input, with no window, and
// prints every drawing and timer call on standard output.
//
// Exit status: 0 when the script ran to its end or closed the window, 1 when a file or the trace
// could not be written (or the script could not be read), 2 when the script has a bad line (then
// nothing runs).
#include "tools/headless_driver.h"
#include "tools/script.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using rotavel::tools::kToolName;

constexpr int kReadFailed = 1;
constexpr int kBadScript = 2;

bool readAll(std::FILE* in, std::string& text) {
    char block[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0)
        text.append(block, n);
    return !std::ferror(in);
}

} // namespace

int main() {
    std::string text;
    errno = 0;
    if (!readAll(stdin, text)) {
        std::fprintf(stderr, "%s: cannot read the script: %s\n", kToolName,
                     errno ? std::strerror(errno) : "read failed");
        return kReadFailed;
    }

    const rotavel::tools::Script script = rotavel::tools::parseScript(text);
    if (!script.ok()) {
        for (const rotavel::tools::ScriptError& e : script.errors)
            std::fprintf(stderr, "%s: line %zu: %s\n", kToolName, e.line, e.what.c_str());
        return kBadScript;
    }

    // The image is only ever seen through a save; without one, drawing it would be wasted time.
    const bool saves =
        std::any_of(script.commands.begin(), script.commands.end(),
                    [](const auto& c) { return c.kind == rotavel::tools::Command::Kind::Save; });
    rotavel::tools::HeadlessDriver driver(stdout, stderr, saves);
    return driver.run(script);
}
