// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "tools/script.h"

#include <gtest/gtest.h>
#include <string>

using rotavel::tools::Command;
using rotavel::tools::parseScript;
using rotavel::tools::quoted;
using rotavel::tools::ScriptError;
using Kind = Command::Kind;
using namespace std::string_literals;

namespace {

// Only printable ASCII: what a message may carry whatever the script held.
bool printableAscii(const std::string& s) {
    for (const char c : s)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

} // namespace

TEST(Script, ReadsEveryFormSkippingBlanksCommentsAndCarriageReturns) {
    const auto s = parseScript("# a comment\n\n \t\nload\r\n\tactivate  \nrun\nmenu tthree\n"
                               "tick\ntick 0042\ntick\t1000000\nqueue menu eeight\nqueue tick\n"
                               "queue run\nqueue close\n  #load x\nstate\nsave /tmp/a.png\nclose");
    ASSERT_TRUE(s.ok()) << s.errors.front().what;
    ASSERT_EQ(s.commands.size(), 14u);
    const Command& first = s.commands[0];
    EXPECT_EQ(first.kind, Kind::Load);
    EXPECT_EQ(first.line, 4u);
    EXPECT_EQ(s.commands[3].preset->nvanes, 3);
    EXPECT_EQ(s.commands[4].count, 1u);
    EXPECT_EQ(s.commands[5].count, 42u);
    EXPECT_EQ(s.commands[6].count, 1000000u);
    EXPECT_TRUE(s.commands[7].queued);
    EXPECT_EQ(s.commands[7].preset->item, "eeight");
    EXPECT_EQ(s.commands[8].kind, Kind::Tick);
    EXPECT_TRUE(s.commands[8].queued);
    EXPECT_EQ(s.commands[10].kind, Kind::Close);
    EXPECT_TRUE(s.commands[10].queued);
    EXPECT_EQ(s.commands[11].kind, Kind::State);
    EXPECT_EQ(s.paths.at(s.commands[12].path), "/tmp/a.png");
    EXPECT_EQ(s.commands[13].kind, Kind::Close);
    EXPECT_FALSE(s.commands[13].queued);
    EXPECT_EQ(s.commands[13].line, 18u); // the last line needs no newline
}

TEST(Script, ReportsEveryBadLineWithItsNumberAndFirstFault) {
    const auto s = parseScript("load\nlaod\nload now\nmenu\nmenu seven\nmenu oone two\ntick 0\n"
                               "tick 1000001\ntick -1\ntick +5\ntick 1e3\ntick 2 3\nqueue\n"
                               "queue load\nqueue tick 2\nqueue menu\nsave\nsave a b\nLOAD\n"
                               "load\r\r\nrun\n");
    const std::vector<ScriptError> expected{
        {2, "unknown command \"laod\" (commands: load, activate, run, menu, tick, queue, close, "
            "state, save)"},
        {3, "extra word \"now\" after \"load\""},
        {4, "\"menu\" needs an item: oone, mvn1, tthree, mv2, ffive, ssix or eeight"},
        {5, "unknown menu item \"seven\" (items: oone, mvn1, tthree, mv2, ffive, ssix or eeight)"},
        {6, "extra word \"two\" after \"menu oone\""},
        {7, "count \"0\" is not a whole number from 1 to 1000000"},
        {8, "count \"1000001\" is not a whole number from 1 to 1000000"},
        {9, "count \"-1\" is not a whole number from 1 to 1000000"},
        {10, "count \"+5\" is not a whole number from 1 to 1000000"},
        {11, "count \"1e3\" is not a whole number from 1 to 1000000"},
        {12, "extra word \"3\" after \"tick N\""},
        {13, "\"queue\" needs an event: run, menu ITEM, close or tick"},
        {14, "cannot queue \"load\": only run, menu ITEM, close or tick can be held"},
        {15, "extra word \"2\" after \"queue tick\""},
        {16, "\"queue menu\" needs an item: oone, mvn1, tthree, mv2, ffive, ssix or eeight"},
        {17, "\"save\" needs a path"},
        {18, "extra word \"b\" after \"save PATH\""},
        {19, "unknown command \"LOAD\" (commands: load, activate, run, menu, tick, queue, close, "
             "state, save)"},
        {20, "unknown command \"load\\x0D\" (commands: load, activate, run, menu, tick, queue, "
             "close, state, save)"},
    };
    EXPECT_EQ(s.errors, expected);
}

TEST(Script, HostileBytesGiveBoundedPrintableMessages) {
    std::string text = "tick 99999999999999999999999999999\n";
    text += std::string("menu \0\xFF\x1B[2J\"\\", 13) + "\n";
    text += "save a\0b\n"s;
    text += std::string(100000, 'x') + "\n";
    text += "\xE2\x80\xAE\n"; // a right-to-left override
    const auto s = parseScript(text);
    ASSERT_EQ(s.errors.size(), 5u);
    for (const ScriptError& e : s.errors) {
        EXPECT_TRUE(printableAscii(e.what)) << e.what;
        EXPECT_LT(e.what.size(), 200u) << e.what;
    }
    EXPECT_NE(s.errors[1].what.find(R"("\x00\xFF\x1B[2J\"\\")"), std::string::npos);
    EXPECT_NE(s.errors[2].what.find("NUL"), std::string::npos);
    EXPECT_NE(s.errors[3].what.find("xxx\"..."), std::string::npos);
    EXPECT_EQ(quoted("caf\xC3\xA9"), "\"caf\xC3\xA9\""); // well-formed text stays readable
    EXPECT_EQ(quoted("\xC3"), "\"\\xC3\"");              // a cut sequence does not
    EXPECT_EQ(quoted("\xC0\xAF"), "\"\\xC0\\xAF\"");     // nor an overlong one
}

TEST(Script, TenMegabyteLinesGiveOneShortErrorOrOneCommand) {
    constexpr std::size_t kTen = 10'000'000;
    const auto word = parseScript(std::string(kTen, 'x')); // one word and no newline
    ASSERT_EQ(word.errors.size(), 1u);
    EXPECT_EQ(word.errors[0].line, 1u);
    EXPECT_LT(word.errors[0].what.size(), 256u);
    EXPECT_NE(word.errors[0].what.find("xxx\"... (commands:"), std::string::npos);

    // Blanks and words by the million cost one look each.
    const auto spread = parseScript(std::string(kTen / 2, ' ') + "load" +
                                    std::string(kTen / 2, '\t') + "\r\nrun" + [] {
                                        std::string words;
                                        for (int i = 0; i < 2'000'000; ++i)
                                            words += " a";
                                        return words;
                                    }());
    ASSERT_EQ(spread.commands.size(), 1u);
    EXPECT_EQ(spread.commands[0].kind, Kind::Load);
    EXPECT_EQ(spread.errors, (std::vector<ScriptError>{{2, "extra word \"a\" after \"run\""}}));
}

TEST(Script, CountsThatWouldWrapAnIntegerAreStillTooBig) {
    const auto s = parseScript("tick 4294967297\ntick 18446744073709551617\ntick " +
                               std::string(10'000'000, '9') + "\ntick " +
                               std::string(10'000'000, '0') + "7\n");
    ASSERT_EQ(s.errors.size(), 3u);
    EXPECT_EQ(s.errors[0].what, "count \"4294967297\" is not a whole number from 1 to 1000000");
    EXPECT_EQ(s.errors[1].line, 2u);
    EXPECT_EQ(s.errors[2].line, 3u);
    EXPECT_LT(s.errors[2].what.size(), 256u);
    ASSERT_EQ(s.commands.size(), 1u); // leading zeros are allowed, however many
    EXPECT_EQ(s.commands[0].count, 7u);
}

TEST(Script, NulBytesAndInvalidUtf8AreShownEscapedInTheirLine) {
    const auto s = parseScript("\0\nlo\0ad\ntick 1\0\n\xFF\xFE\n\xED\xA0\x80\n\xF4\x90\x80\x80\n"
                               "\xEF\xBB\xBFload\n\xC2\x85\nmenu \xC3\xA9t\xC3\xA9\n"s);
    const std::string commands =
        " (commands: load, activate, run, menu, tick, queue, close, state, save)";
    const std::vector<ScriptError> expected{
        {1, "unknown command \"\\x00\"" + commands},
        {2, "unknown command \"lo\\x00ad\"" + commands},
        {3, "count \"1\\x00\" is not a whole number from 1 to 1000000"},
        {4, "unknown command \"\\xFF\\xFE\"" + commands},
        {5, "unknown command \"\\xED\\xA0\\x80\"" + commands},      // a lone surrogate
        {6, "unknown command \"\\xF4\\x90\\x80\\x80\"" + commands}, // past U+10FFFF
        {7, "unknown command \"\\xEF\\xBB\\xBFload\"" + commands},  // a byte-order mark
        {8, "unknown command \"\\xC2\\x85\"" + commands},           // a C1 control
        {9, "unknown menu item \"\xC3\xA9t\xC3\xA9\" (items: oone, mvn1, tthree, mv2, ffive, "
            "ssix or eeight)"},
    };
    EXPECT_EQ(s.errors, expected);
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
