// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The executable end to end: the exit statuses and what goes to each stream.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

using namespace std::string_literals;

namespace {

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

Outcome runTool(const QByteArray& script, const QStringList& arguments = {}) {
    QProcess tool;
    tool.start(QStringLiteral(ROTOR_HEADLESS), arguments);
    EXPECT_TRUE(tool.waitForStarted(30000));
    tool.write(script);
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    return {tool.exitCode(), tool.readAllStandardOutput(), tool.readAllStandardError()};
}

} // namespace

TEST(RotorHeadless, BadScriptExits2ReportingEveryBadLineAndRunningNothing) {
    const Outcome o = runTool("load\nbogus\nrun\ntick x\nclose\n");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "rotor-headless: line 2: unknown command \"bogus\" (commands: load, activate, "
              "run, menu, tick, queue, close, state, save)\n"
              "rotor-headless: line 4: count \"x\" is not a whole number from 1 to 1000000\n");
}

TEST(RotorHeadless, CloseExits0AndLaterLinesAreCheckedButNotRun) {
    const Outcome closed = runTool("load\nclose\nrun\ntick\n");
    EXPECT_EQ(closed.status, 0);
    EXPECT_EQ(closed.out, "event load\nscale -13 -18 13 13\nevent close\n");
    EXPECT_EQ(closed.err, "");
    const Outcome checked = runTool("load\nclose\nmenu seven\n");
    EXPECT_EQ(checked.status, 2);
    EXPECT_EQ(checked.out, "");
}

TEST(RotorHeadless, SaveWritesTheAreaInteriorAsPngAndExits1OnlyWhenItCannot) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.png");
    EXPECT_EQ(runTool("load\nactivate\nrun\ntick\nsave " + path.toUtf8() + "\n").status, 0);
    const QImage png(path, "PNG");
    ASSERT_EQ(png.size(), QSize(448, 426));
    EXPECT_EQ(png.pixel(447, 425), qRgb(0, 0, 192)); // background colour
    EXPECT_EQ(png.pixel(2, 2), qRgb(125, 245, 251)); // the picture's light cyan
    EXPECT_GT(qGreen(png.pixel(224, 247)), 200);     // the white hub at (0, 0)
    EXPECT_GT(qBlue(png.pixel(224, 247)), 200);

    const Outcome failed = runTool("load\nsave " + dir.path().toUtf8() + "\nrun\n");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "event load\nscale -13 -18 13 13\n");
    EXPECT_TRUE(failed.err.startsWith("rotor-headless: line 2: cannot save \""))
        << failed.err.data();
}

TEST(RotorHeadless, RatioSetsTheSavedImagesDensityAndNothingInTheTrace) {
    QTemporaryDir dir;
    const QByteArray script =
        "load\nactivate\nmenu oone\nrun\ntick 3\nsave " + dir.filePath("a.png").toUtf8() + "\n";
    const Outcome dense = runTool(script, {"--ratio", "2"});
    EXPECT_EQ(dense.status, 0);
    const QImage png(dir.filePath("a.png"), "PNG");
    ASSERT_EQ(png.size(), QSize(896, 852));
    EXPECT_EQ(png.pixel(895, 851), qRgb(0, 0, 192));
    EXPECT_EQ(dense.out, runTool(script).out);

    for (const QStringList& bad :
         {QStringList{"--ratio"}, QStringList{"--ratio", "0"}, QStringList{"--ratio", "2x"},
          QStringList{"--ratio", "nan"}, QStringList{"--ratio", "9"}, QStringList{"2"}}) {
        const Outcome o = runTool("load\n", bad);
        EXPECT_EQ(o.status, 2) << bad.join(' ').toStdString();
        EXPECT_EQ(o.out, "");
        EXPECT_TRUE(o.err.startsWith("usage: rotor-headless [--ratio R]")) << o.err.data();
    }
}

TEST(RotorHeadless, HostileScriptGetsOneEscapedLinePerBadLineAndNoRun) {
    QByteArray script = QByteArray::fromStdString("load\n\0\nmenu \xFF\x1B[2J\ntick 4294967297\n"s);
    script += QByteArray(10'000'000, 'x') + "\nrun\n";
    const Outcome o = runTool(script);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    const QList<QByteArray> lines = o.err.split('\n');
    ASSERT_EQ(lines.size(), 5); // four messages and the empty rest after the last newline
    EXPECT_EQ(lines[0], "rotor-headless: line 2: unknown command \"\\x00\" (commands: load, "
                        "activate, run, menu, tick, queue, close, state, save)");
    EXPECT_EQ(lines[1], "rotor-headless: line 3: unknown menu item \"\\xFF\\x1B[2J\" (items: "
                        "oone, mvn1, tthree, mv2, ffive, ssix or eeight)");
    EXPECT_EQ(lines[2], "rotor-headless: line 4: count \"4294967297\" is not a whole number "
                        "from 1 to 1000000");
    EXPECT_TRUE(lines[3].startsWith("rotor-headless: line 5: unknown command \"xxxx"));
    EXPECT_LT(lines[3].size(), 300);
}

TEST(RotorHeadless, HugeCountsOnAStoppedTimerEndPromptly) {
    // A hundred thousand fires of a million each: only the 503 of the animation are delivered.
    QByteArray script = "load\nactivate\nrun\n";
    for (int i = 0; i < 100'000; ++i)
        script += "tick 1000000\n";
    const Outcome o = runTool(script + "state\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.count("event tick\n"), 503);
    EXPECT_TRUE(o.out.endsWith(" off\n"));
}

TEST(RotorHeadless, AFailedSaveShowsTheHostilePathEscaped) {
    QTemporaryDir dir;
    const Outcome o = runTool("load\nsave " + dir.path().toUtf8() + "/no/\x1B]0;x\x07\xFF\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("/no/\\x1B]0;x\\x07\\xFF\": ")) << o.err.data();
    for (const char c : o.err)
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
}
