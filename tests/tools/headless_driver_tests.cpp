// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "tools/headless_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using rotavel::tools::HeadlessDriver;
using rotavel::tools::parseScript;

namespace {

// What a script printed and how it ended.
struct Trace {
    int status = -1;
    std::string out, err;
    std::vector<std::string> lines;

    int count(const std::string& prefix) const {
        return static_cast<int>(std::count_if(
            lines.begin(), lines.end(), [&](const auto& l) { return l.starts_with(prefix); }));
    }
    std::vector<std::string> last(std::size_t n) const {
        return {lines.end() - std::min(n, lines.size()), lines.end()};
    }
};

Trace run(const std::string& script, bool paint = false, std::FILE* out = nullptr) {
    const auto parsed = parseScript(script);
    EXPECT_TRUE(parsed.ok());
    char *outText = nullptr, *errText = nullptr;
    std::size_t outSize = 0, errSize = 0;
    std::FILE* memOut = open_memstream(&outText, &outSize);
    std::FILE* memErr = open_memstream(&errText, &errSize);
    Trace t;
    {
        HeadlessDriver driver(out ? out : memOut, memErr, paint);
        t.status = driver.run(parsed);
    }
    std::fclose(memOut);
    std::fclose(memErr);
    t.out.assign(outText, outSize);
    t.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    for (std::size_t pos = 0, end; (end = t.out.find('\n', pos)) != std::string::npos;
         pos = end + 1)
        t.lines.push_back(t.out.substr(pos, end - pos));
    return t;
}

const std::string kStart = "load\nactivate\nrun\n";

} // namespace

TEST(HeadlessDriver, FirstFrameTraceReadsCallByCall) {
    const Trace t = run(kStart + "tick\n");
    EXPECT_EQ(t.status, 0);
    const std::vector<std::string> head{
        "event load", "scale -13 -18 13 13", "event activate", "autoredraw on",
        "event run",  "line -1 0 1 0",       "timer on",       "event tick",
        "cls",        "line -1 0 1 0",       "pset 1 0",       "lineto 0.995004177 0.099833414"};
    ASSERT_GT(t.lines.size(), 80u);
    EXPECT_EQ(std::vector(t.lines.begin(), t.lines.begin() + 12), head);
    // The hub circle's 63 segments, then the blade's pen, the blade, the pivot circle's pen.
    EXPECT_EQ(t.lines[73], "lineto 0.999858618 0.0168139003");
    EXPECT_EQ(std::vector(t.lines.begin() + 74, t.lines.begin() + 80),
              (std::vector<std::string>{"drawwidth 4", "forecolor 0x0000FF00",
                                        "line 11.4907827 0.437360704 0.494220227 0.162389338",
                                        "drawwidth 2", "forecolor 0x00FFFFFF",
                                        "pset 7.99250174 0.299875021"}));
    EXPECT_EQ(t.count("pset "), 6);         // hub and pivot circles of three passes
    EXPECT_EQ(t.count("line "), 1 + 6 + 4); // Run's hub bar, bars and blades, four links
    EXPECT_EQ(t.lines.back(), "yield");
}

TEST(HeadlessDriver, StopsOnTick503AndDeliversNoMore) {
    const Trace t = run(kStart + "tick 502\nstate\ntick\ntick 1000000\nstate\n");
    EXPECT_EQ(t.count("event tick"), 503);
    EXPECT_EQ(t.count("timer off"), 1);
    EXPECT_EQ(t.count("state 25.100000000000222 2 5.5 on"), 1);
    EXPECT_EQ(t.last(3), (std::vector<std::string>{"yield", "timer off",
                                                   "state 25.150000000000222 2 5.5 off"}));
}

TEST(HeadlessDriver, QueuedEventsWaitForTheNextYieldAndRunThereInOrder) {
    const Trace t = run(kStart + "queue menu tthree\nqueue run\nstate\ntick\ntick\nstate\n");
    EXPECT_EQ(t.lines[7], "state 0 2 5.5 on"); // held, not handled yet
    const auto yield = std::find(t.lines.begin(), t.lines.end(), "yield");
    ASSERT_NE(yield, t.lines.end());
    EXPECT_EQ(std::vector(yield, yield + 6),
              (std::vector<std::string>{"yield", "event menu tthree", "event run", "line -1 0 1 0",
                                        "timer on", "event tick"}));
    EXPECT_EQ(t.count("pset "), 6 + 8); // the second frame has three vanes
    EXPECT_EQ(t.lines.back(), "state 0.050000000000000003 3 5 on");
}

TEST(HeadlessDriver, HeldTicksAreDeliveredOnlyAfterTheRunningTickReturns) {
    // Two held ticks after a Run handled in the same yield: both follow the first frame.
    const Trace both = run(kStart + "queue tick\nqueue tick\nqueue run\ntick\nstate\n");
    EXPECT_EQ(both.count("event tick"), 3);
    EXPECT_EQ(both.lines.back(), "state 0.10000000000000001 2 5.5 on");
    // The 503rd tick switches the timer off after its yield, so the tick held there is dropped.
    const Trace last = run(kStart + "tick 502\nqueue tick\ntick\nstate\n");
    EXPECT_EQ(last.count("event tick"), 503);
    EXPECT_EQ(last.last(3), (std::vector<std::string>{"yield", "timer off",
                                                      "state 25.150000000000222 2 5.5 off"}));
}

TEST(HeadlessDriver, CloseEndsTheScriptAndDropsWhatWasHeldBehindIt) {
    const Trace queued =
        run(kStart + "tick 502\nqueue close\nqueue run\nqueue tick\ntick\nstate\n");
    EXPECT_EQ(queued.status, 0);
    EXPECT_EQ(queued.last(2), (std::vector<std::string>{"yield", "event close"}));
    EXPECT_EQ(queued.count("timer off"), 0); // the stop test leaves the closed window alone
    EXPECT_EQ(queued.count("event run"), 1);
    EXPECT_EQ(queued.count("event tick"), 503);

    const Trace straight = run("load\nclose\nrun\n");
    EXPECT_EQ(straight.status, 0);
    EXPECT_EQ(straight.out, "event load\nscale -13 -18 13 13\nevent close\n");
}

TEST(HeadlessDriver, FailedWritesStopWithStatus1AfterWhatRan) {
    const Trace save = run("load\nsave /nonexistent-dir/x.png\nrun\n", true);
    EXPECT_EQ(save.status, 1);
    EXPECT_EQ(save.out, "event load\nscale -13 -18 13 13\n");
    EXPECT_EQ(save.err, "rotor-headless: line 2: cannot save \"/nonexistent-dir/x.png\": No such "
                        "file or directory\n");

    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    const Trace trace = run(kStart + "tick 503\n", false, full);
    std::fclose(full);
    EXPECT_EQ(trace.status, 1);
    EXPECT_EQ(trace.err, "rotor-headless: cannot write the trace: No space left on device\n");
}
