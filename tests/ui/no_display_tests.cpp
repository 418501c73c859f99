// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include <QDir>
#include <QProcess>
#include <QTest>

// The program started where no window can be shown: one line saying so and how to get a display,
// exit status 1, and no abort inside the toolkit.
class NoDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void explainsInOneLineAndExitsWithStatus1_data();
    void explainsInOneLineAndExitsWithStatus1();
};

namespace {

// A display number no X server on this machine answers.
QString unservedDisplay() {
    for (int n = 4000;; ++n)
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            return QStringLiteral(":%1").arg(n);
}

} // namespace

void NoDisplayTest::explainsInOneLineAndExitsWithStatus1_data() {
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("platform");

    QTest::newRow("nothing set") << QString() << QString();
    QTest::newRow("a display nobody serves") << unservedDisplay() << QString();
    QTest::newRow("the X platform asked for, no display") << QString() << QStringLiteral("xcb");
}

void NoDisplayTest::explainsInOneLineAndExitsWithStatus1() {
    QFETCH(QString, display);
    QFETCH(QString, platform);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);

    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ROTAVEL_MOTION_PATH), {});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);

    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(errors.startsWith(QStringLiteral("rotavel-motion: no display available")),
             qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("xvfb-run")), qPrintable(errors));
    QVERIFY(program.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(NoDisplayTest)
#include "no_display_tests.moc"
