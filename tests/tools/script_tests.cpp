// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "tools/script.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

using rotavel::tools::Command;
using rotavel::tools::parseScript;
using rotavel::tools::quoted;
using rotavel::tools::ScriptError;
using Kind = Command::Kind;
using namespace std::string_literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

const std::string kCommands =
    " (commands: load, activate, run, menu, tick, close, state, save or queue)";
const std::string kItems = " (items: oone, mvn1, tthree, mv2, ffive, ssix or eeight)";

} // namespace

// What each command does is the driver table's; here, what the executable cannot show: the lines
// skipped, the numbers kept, the counts as read.
TEST(Script, ReadsCommandsSkippingBlanksCommentsAndCarriageReturns) {
    const auto s =
        parseScript("# a comment\n\n \t\nload\r\n\tactivate  \n  #load x\ntick 0042\n"
                    "tick\t1000000\nqueue tick\nmenu eeight\nsave /tmp/a.png\nqueue close\nclose");
    ASSERT_TRUE(s.ok()) << s.errors.front().what;
    std::vector<std::tuple<Kind, bool, std::uint32_t, std::size_t>> read;
    for (const Command& c : s.commands)
        read.emplace_back(c.kind, c.queued, c.count, c.line);
    const decltype(read) expected{{Kind::Load, false, 1, 4},  {Kind::Activate, false, 1, 5},
                                  {Kind::Tick, false, 42, 7}, {Kind::Tick, false, 1000000, 8},
                                  {Kind::Tick, true, 1, 9},   {Kind::Menu, false, 1, 10},
                                  {Kind::Save, false, 1, 11}, {Kind::Close, true, 1, 12},
                                  {Kind::Close, false, 1, 13}};
    EXPECT_EQ(read, expected); // the last line needs no newline
    EXPECT_EQ(s.commands[5].preset->item, "eeight");
    EXPECT_EQ(s.paths, std::vector<std::string>{"/tmp/a.png"});
}

TEST(Script, ReportsEveryBadLineWithItsNumberAndFirstFault) {
    const auto s = parseScript("load\nlaod\nload now\nmenu\nmenu oone two\ntick -1\ntick +5\n"
                               "tick 1e3\ntick 2 3\nqueue\nqueue load\nqueue tick 2\nqueue menu\n"
                               "save\nsave a b\nLOAD\nload\r\r\nrun\n");
    const std::string items = "oone, mvn1, tthree, mv2, ffive, ssix or eeight";
    const std::string range = " is not a whole number from 1 to 1000000";
    const std::vector<ScriptError> expected{
        {2, "unknown command \"laod\"" + kCommands},
        {3, "extra word \"now\" after \"load\""},
        {4, "\"menu\" needs an item: " + items},
        {5, "extra word \"two\" after \"menu oone\""},
        {6, "count \"-1\"" + range},
        {7, "count \"+5\"" + range},
        {8, "count \"1e3\"" + range},
        {9, "extra word \"3\" after \"tick N\""},
        {10, "\"queue\" needs an event: run, menu ITEM, tick or close"},
        {11, "cannot queue \"load\": only run, menu ITEM, tick or close can be held"},
        {12, "extra word \"2\" after \"queue tick\""},
        {13, "\"queue menu\" needs an item: " + items},
        {14, "\"save\" needs a path"},
        {15, "extra word \"b\" after \"save PATH\""},
        {16, "unknown command \"LOAD\"" + kCommands},
        {17, "unknown command \"load\\x0D\"" + kCommands},
    };
    EXPECT_EQ(s.errors, expected);
}

TEST(Script, NulBytesControlsAndInvalidUtf8AreShownEscapedInTheirLine) {
    const auto s = parseScript("\0\nlo\0ad\ntick 1\0\n\xFF\xFE\n\xED\xA0\x80\n\xF4\x90\x80\x80\n"
                               "\xEF\xBB\xBFload\n\xC2\x85\nmenu \xC3\xA9t\xC3\xA9\n"
                               "menu \0\xFF\x1B[2J\"\\\nsave a\0b\n\xE2\x80\xAE\n"s);
    const std::vector<ScriptError> expected{
        {1, "unknown command \"\\x00\"" + kCommands},
        {2, "unknown command \"lo\\x00ad\"" + kCommands},
        {3, "count \"1\\x00\" is not a whole number from 1 to 1000000"},
        {4, "unknown command \"\\xFF\\xFE\"" + kCommands},
        {5, "unknown command \"\\xED\\xA0\\x80\"" + kCommands},      // a lone surrogate
        {6, "unknown command \"\\xF4\\x90\\x80\\x80\"" + kCommands}, // past U+10FFFF
        {7, "unknown command \"\\xEF\\xBB\\xBFload\"" + kCommands},  // a byte-order mark
        {8, "unknown command \"\\xC2\\x85\"" + kCommands},           // a C1 control
        {9, "unknown menu item \"\xC3\xA9t\xC3\xA9\"" + kItems},
        {10, R"(unknown menu item "\x00\xFF\x1B[2J\"\\")" + kItems},
        {11, "path \"a\\x00b\" holds a NUL byte"},
        {12, "unknown command \"\\xE2\\x80\\xAE\"" + kCommands}, // a right-to-left override
    };
    EXPECT_EQ(s.errors, expected);
    EXPECT_EQ(quoted("caf\xC3\xA9"), "\"caf\xC3\xA9\""); // well-formed text stays readable
    EXPECT_EQ(quoted("\xC3"), "\"\\xC3\"");              // a cut sequence does not
    EXPECT_EQ(quoted("\xC0\xAF"), "\"\\xC0\\xAF\"");     // nor an overlong one
}

// Ten-megabyte words, blanks by the million, counts that would wrap an integer and half a million
// bad lines: each costs one look and gives one short message; leading zeros are allowed however
// many.
TEST(Script, HugeLinesAndCountsGiveOneShortErrorOrOneCommand) {
    constexpr std::size_t kTen = 10'000'000;
    std::string words;
    for (int i = 0; i < 2'000'000; ++i)
        words += " a";
    const auto s = parseScript(std::string(kTen, 'x') + "\n" + std::string(kTen / 2, ' ') + "load" +
                               std::string(kTen / 2, '\t') + "\r\nrun" + words +
                               "\ntick 4294967297\ntick 18446744073709551617\ntick " +
                               std::string(kTen, '9') + "\ntick " + std::string(kTen, '0') + "7");
    const std::string forty(40, 'x'), nines(40, '9');
    const std::string range = " is not a whole number from 1 to 1000000";
    const std::vector<ScriptError> expected{
        {1, "unknown command \"" + forty + "\"..." + kCommands},
        {3, "extra word \"a\" after \"run\""},
        {4, "count \"4294967297\"" + range},
        {5, "count \"18446744073709551617\"" + range},
        {6, "count \"" + nines + "\"..." + range},
    };
    EXPECT_EQ(s.errors, expected);
    ASSERT_EQ(s.commands.size(), 2u);
    EXPECT_EQ(s.commands[0].kind, Kind::Load);
    EXPECT_EQ(s.commands[1].count, 7u);
    std::string badLines;
    for (int i = 0; i < 500'000; ++i)
        badLines += "bad\n";
    EXPECT_EQ(parseScript(badLines).errors.size(), 500'000u);
}

// Every bound of the reader at its limit and one past it: the tick count from 1 to 1000000, the
// words a line may hold before one is only reported as extra, the bytes of a word a message shows.
TEST(Script, BoundsHoldAtTheLimitAndNotOnePast) {
    struct Row {
        std::string line;
        std::uint32_t count; // 0: refused
    };
    for (const Row& r : {Row{"tick 1", 1}, Row{"tick 0", 0}, Row{"tick 1000000", 1000000},
                         Row{"tick 1000001", 0}}) {
        const auto s = parseScript(r.line);
        ASSERT_EQ(s.ok(), r.count != 0) << r.line;
        if (r.count) {
            EXPECT_EQ(s.commands.at(0).count, r.count) << r.line;
        }
    }
    EXPECT_EQ(parseScript("queue menu oone two").errors,
              (std::vector<ScriptError>{{1, "extra word \"two\" after \"queue menu oone\""}}));
    const std::string forty(40, 'x');
    EXPECT_EQ(rotavel::tools::quoted(forty), "\"" + forty + "\"");
    EXPECT_EQ(rotavel::tools::quoted(forty + "y"), "\"" + forty + "\"...");
}

// Every kept fuzzing input, the seeds and past crashes, through the fuzz target's promises; one
// broken aborts the run, the input named just before.
TEST(Script, KeptFuzzInputsKeepEveryPromise) {
    std::size_t replayed = 0;
    for (const char* dir : {FUZZ_DIR "/corpus", FUZZ_DIR "/regressions"}) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            std::fprintf(stderr, "replaying %s\n", entry.path().c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 4u);
}
