// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/animation_timer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <vector>

using rotavel::ui::AnimationTimer;
using rotavel::ui::TickNotifier;

namespace {

void spin(int ms) {
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < ms) {
    }
}

} // namespace

class AnimationTimerTest : public QObject {
    Q_OBJECT

private slots:
    void switchingOnWhileOnKeepsItsPace();
    void ticksComeWhileOnAndASwitchOffInsideATickIsTheLast();
    void aStoppedTimerStaysQuietWhileAnotherTicks();
    void ticksDoNotNestWhileATickYields();
    void periodsMissedByALongTickAreDroppedNotQueued();
    void aDestroyedTimerNeitherRunsNorCallsBack();
};

void AnimationTimerTest::switchingOnWhileOnKeepsItsPace() {
    // Run clicked during a frame switches the timer on again: the period already begun must
    // stand, or a restarted timer could fall due inside the running tick's yield.
    QObject window;
    AnimationTimer timer(&window);
    QCOMPARE(timer.notifier()->remainingTime(), -1);
    int before = -1, after = -1;
    timer.setTickHandler([&] {
        spin(3); // a frame takes a few milliseconds to draw
        before = timer.notifier()->remainingTime();
        timer.setEnabled(true);
        after = timer.notifier()->remainingTime();
        timer.setEnabled(false);
    });
    timer.setEnabled(true);
    QVERIFY(timer.isEnabled());
    QVERIFY(timer.notifier()->remainingTime() > 0);
    QTRY_VERIFY(after >= 0);
    QVERIFY(before <= 8);
    QVERIFY(after <= before);
    QVERIFY(!timer.isEnabled());
    QCOMPARE(timer.notifier()->remainingTime(), -1);
}

void AnimationTimerTest::ticksComeWhileOnAndASwitchOffInsideATickIsTheLast() {
    QObject window;
    AnimationTimer timer(&window);
    int ticks = 0;
    bool finished = false;
    timer.setTickHandler([&] {
        ++ticks;
        if (ticks == 3) {
            timer.setEnabled(false);
            QCoreApplication::processEvents(); // the yield comes after the stop test
            finished = true;                   // the tick runs on after switching the timer off
        }
    });
    timer.setEnabled(true);
    QTRY_VERIFY(finished);
    QCOMPARE(ticks, 3);
    QVERIFY(!timer.isEnabled());
}

void AnimationTimerTest::aStoppedTimerStaysQuietWhileAnotherTicks() {
    // Stopped after its first tick, and then again switched on and off inside one tick.
    QObject window;
    AnimationTimer stopped(&window), other(&window);
    int stoppedTicks = 0, otherTicks = 0;
    stopped.setTickHandler([&] {
        ++stoppedTicks;
        stopped.setEnabled(false);
        stopped.setEnabled(true);
        stopped.setEnabled(false);
    });
    other.setTickHandler([&] { ++otherTicks; });
    stopped.setEnabled(true);
    QTRY_COMPARE(stoppedTicks, 1);
    other.setEnabled(true);
    QTRY_VERIFY(otherTicks >= 5); // five periods and more
    QCOMPARE(stoppedTicks, 1);
    QVERIFY(!stopped.notifier()->isEnabled()); // nothing watched while stopped
}

void AnimationTimerTest::ticksDoNotNestWhileATickYields() {
    QObject window;
    AnimationTimer timer(&window);
    int ticks = 0, depth = 0, deepest = 0;
    timer.setTickHandler([&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        if (ticks == 1) {
            // The yield runs past the next period, and a timeout falls due right inside it.
            QElapsedTimer yielding;
            yielding.start();
            while (yielding.elapsed() < 25)
                QCoreApplication::processEvents();
            QVERIFY(QMetaObject::invokeMethod(timer.notifier(), "timeout"));
            QCOMPARE(ticks, 1);
        }
        if (ticks == 3)
            timer.setEnabled(false);
        --depth;
    });
    timer.setEnabled(true);
    QTRY_COMPARE(ticks, 3);
    QCOMPARE(deepest, 1);
}

void AnimationTimerTest::periodsMissedByALongTickAreDroppedNotQueued() {
    // A 35 ms tick misses three periods: one tick follows at once, the next keeps the grid.
    QObject window;
    AnimationTimer timer(&window);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> starts;
    timer.setTickHandler([&] {
        starts.push_back(clock.nsecsElapsed());
        if (starts.size() == 1)
            spin(35);
        if (starts.size() == 3)
            timer.setEnabled(false);
    });
    timer.setEnabled(true);
    QTRY_COMPARE(starts.size(), std::size_t{3});
    QVERIFY(starts[1] - starts[0] >= 35'000'000);
    QVERIFY2(starts[2] - starts[1] >= 2'000'000, "a missed period was delivered as a tick");
}

void AnimationTimerTest::aDestroyedTimerNeitherRunsNorCallsBack() {
    // The notifier belongs to the window and outlives the timer object by a moment.
    QObject window;
    int ticks = 0;
    {
        AnimationTimer timer(&window);
        timer.setTickHandler([&] { ++ticks; });
        timer.setEnabled(true);
    }
    auto* notifier = window.findChild<TickNotifier*>(QStringLiteral("Timer1"));
    QVERIFY(notifier);
    QVERIFY(!notifier->isActive());
    QVERIFY(QMetaObject::invokeMethod(notifier, "timeout"));
    QCOMPARE(ticks, 0);
}

QTEST_GUILESS_MAIN(AnimationTimerTest)
#include "animation_timer_tests.moc"
