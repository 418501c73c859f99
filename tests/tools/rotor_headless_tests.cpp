// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The executable end to end, one table of runs: the script and command line, the exit status and
// what goes to each stream. Expected text is matched line by line; a line "*" stands for any run
// of lines, and $DIR for a fresh folder of the run's own.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Case {
    std::string script;
    QStringList arguments;
    int status;
    std::string out, err;
    bool fullDisk = false; // the trace goes to a device that is always full
};

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome runTool(const Case& run, const QString& dir) {
    QProcess tool;
    if (run.fullDisk)
        tool.setStandardOutputFile("/dev/full");
    tool.start(QStringLiteral(ROTOR_HEADLESS), run.arguments);
    EXPECT_TRUE(tool.waitForStarted(30000));
    QByteArray script = QByteArray::fromStdString(run.script);
    tool.write(script.replace("$DIR", dir.toUtf8()));
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    return {tool.exitCode(), tool.readAllStandardOutput().toStdString(),
            tool.readAllStandardError().toStdString()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1)
        lines.push_back(text.substr(pos, end - pos));
    return lines;
}

// Whether `text` is `pattern`, line by line, a pattern line "*" matching any run of lines.
bool matches(const std::string& text, const std::string& pattern) {
    const std::vector<std::string> lines = linesOf(text);
    std::vector<std::vector<std::string>> parts(1); // the runs of lines between the stars
    for (const std::string& line : linesOf(pattern)) {
        if (line == "*")
            parts.emplace_back();
        else
            parts.back().push_back(line);
    }
    if (parts.size() == 1)
        return lines == parts[0] && text.size() == pattern.size();
    const auto at = [&](std::size_t i, const std::vector<std::string>& part) {
        return i + part.size() <= lines.size() &&
               std::equal(part.begin(), part.end(), lines.begin() + std::ptrdiff_t(i));
    };
    std::size_t pos = parts.front().size();
    if (!at(0, parts.front()))
        return false;
    for (std::size_t k = 1; k + 1 < parts.size(); ++k) {
        while (pos + parts[k].size() <= lines.size() && !at(pos, parts[k]))
            ++pos;
        if (!at(pos, parts[k]))
            return false;
        pos += parts[k].size();
    }
    return lines.size() >= pos + parts.back().size() &&
           at(lines.size() - parts.back().size(), parts.back());
}

const std::string kStart = "load\nactivate\nrun\n";
const std::string kStarted = "event load\nscale -13 -18 13 13\nevent activate\nautoredraw on\n"
                             "event run\nline -1 0 1 0\ntimer on\n";
const std::string kFirstFrame =
    kStarted + "event tick\ncls\nline -1 0 1 0\npset 1 0\nlineto 0.995004177 0.099833414\n*\n"
               "lineto 0.999858618 0.0168139003\ndrawwidth 4\nforecolor 0x0000FF00\n"
               "line 11.4907827 0.437360704 0.494220227 0.162389338\ndrawwidth 2\n"
               "forecolor 0x00FFFFFF\npset 7.99250174 0.299875021\n*\nyield\n";
const std::string kStopped = "*\nyield\ntimer off\nstate 25.150000000000222 2 5.5 off\n";
const std::string kCommands =
    " (commands: load, activate, run, menu, tick, close, state, save or queue)\n";
const std::string kItems = " (items: oone, mvn1, tthree, mv2, ffive, ssix or eeight)\n";
const std::string kUsage = "usage: rotor-headless [--ratio R] < SCRIPT  (R from 0.5 to 8)\n";
const std::string kLoaded = "event load\nscale -13 -18 13 13\n";

std::vector<Case> runs() {
    std::string manyTicks = kStart;
    for (int i = 0; i < 100'000; ++i)
        manyTicks += "tick 1000000\n";
    std::vector<Case> table{
        {kStart + "tick\n", {}, 0, kFirstFrame, ""},
        // The density of the saved image leaves the trace alone.
        {kStart + "tick\nsave $DIR/a.png\n", {"--ratio", "2"}, 0, kFirstFrame, ""},
        // The 503rd tick stops the timer; later ticks, a million at a time, deliver nothing.
        {kStart + "tick 502\nstate\ntick\ntick 1000000\nstate\n",
         {},
         0,
         "*\nstate 25.100000000000222 2 5.5 on\n" + kStopped,
         ""},
        {manyTicks + "state\n", {}, 0, kStopped, ""},
        // Queued events wait for the next yield and are handled there in order.
        {kStart + "queue menu tthree\nqueue run\nstate\ntick\ntick\nstate\n",
         {},
         0,
         kStarted + "state 0 2 5.5 on\nevent tick\n*\nyield\nevent menu tthree\nevent run\n"
                    "line -1 0 1 0\ntimer on\nevent tick\n*\nstate 0.050000000000000003 3 5 on\n",
         ""},
        // Held ticks follow the running one, each after its yield; one held at the stop is
        // dropped.
        {kStart + "queue tick\nqueue tick\nqueue run\ntick\nstate\n",
         {},
         0,
         "*\nyield\nevent run\nline -1 0 1 0\ntimer on\nevent tick\n*\nyield\nevent tick\n*\n"
         "yield\nstate 0.10000000000000001 2 5.5 on\n",
         ""},
        {kStart + "tick 502\nqueue tick\ntick\nstate\n", {}, 0, kStopped, ""},
        // A close ends the script, drops what was held behind it and skips the stop test.
        {kStart + "tick 502\nqueue close\nqueue run\nqueue tick\ntick\nstate\n",
         {},
         0,
         "*\nevent tick\n*\nyield\nevent close\n",
         ""},
        {"load\nclose\nrun\ntick\n", {}, 0, kLoaded + "event close\n", ""},
        // Every line is checked before any runs, even behind a close.
        {"load\nclose\nmenu seven\n",
         {},
         2,
         "",
         "rotor-headless: line 3: unknown menu item \"seven\"" + kItems},
        {"load\nbogus\nrun\ntick x\nclose\n",
         {},
         2,
         "",
         "rotor-headless: line 2: unknown command \"bogus\"" + kCommands +
             "rotor-headless: line 4: count \"x\" is not a whole number from 1 to 1000000\n"},
        // A save that fails ends the run with status 1, after the trace so far; the path is
        // shown escaped.
        {"load\nsave /nonexistent-dir/x.png\nrun\n",
         {},
         1,
         kLoaded,
         "rotor-headless: line 2: cannot save \"/nonexistent-dir/x.png\": No such file or "
         "directory\n"},
        {"load\nsave $DIR/no/\x1B]0;x\x07\xFF\n",
         {},
         1,
         kLoaded,
         "rotor-headless: line 2: cannot save \"$DIR/no/\\x1B]0;x\\x07\\xFF\": No such file or "
         "directory\n"},
        {kStart + "tick 503\n",
         {},
         1,
         "",
         "rotor-headless: cannot write the trace: No space left on device\n",
         true},
        // The command line: --ratio R from 0.5 to 8, nothing else.
        {"load\n", {"--ratio", "0.5"}, 0, kLoaded, ""},
        {"load\n", {"--ratio", "8"}, 0, kLoaded, ""},
    };
    for (const QStringList& bad :
         {QStringList{"--ratio"}, QStringList{"--ratio", "0"}, QStringList{"--ratio", "0.49"},
          QStringList{"--ratio", "8.01"}, QStringList{"--ratio", "2x"},
          QStringList{"--ratio", "nan"}, QStringList{"2"}})
        table.push_back({"load\n", bad, 2, "", kUsage});
    return table;
}

} // namespace

TEST(RotorHeadless, EveryRunEndsWithItsStatusAndStreams) {
    const std::vector<Case> table = runs();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Case& run = table[i];
        SCOPED_TRACE("run " + std::to_string(i) + ": " + run.script.substr(0, 80) + " " +
                     run.arguments.join(' ').toStdString());
        QTemporaryDir dir;
        const Outcome o = runTool(run, dir.path());
        std::string err = run.err;
        for (std::size_t at; (at = err.find("$DIR")) != std::string::npos;)
            err.replace(at, 4, dir.path().toStdString());
        EXPECT_EQ(o.status, run.status);
        EXPECT_TRUE(matches(o.out, run.out)) << o.out.substr(0, 2000);
        EXPECT_EQ(o.err, err);
    }
}

// What a save writes: the area's interior at the device pixel ratio asked for.
TEST(RotorHeadless, SaveWritesTheAreaAtTheRatioAsPng) {
    for (const int ratio : {1, 2}) {
        QTemporaryDir dir;
        const Case run{
            kStart + "tick\nsave $DIR/a.png\n", {"--ratio", QString::number(ratio)}, 0, "", ""};
        ASSERT_EQ(runTool(run, dir.path()).status, 0);
        const QImage png(dir.filePath("a.png"), "PNG");
        ASSERT_EQ(png.size(), QSize(448, 426) * ratio);
        EXPECT_EQ(png.pixel(png.width() - 1, png.height() - 1), qRgb(0, 0, 192)); // background
        EXPECT_EQ(png.pixel(2, 2), qRgb(125, 245, 251));      // the picture's light cyan
        const QRgb hub = png.pixel(224 * ratio, 247 * ratio); // the white hub at (0, 0)
        EXPECT_GT(qGreen(hub), 200);
        EXPECT_GT(qBlue(hub), 200);
    }
}
