// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/animation_timer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <sys/timerfd.h>
#include <vector>

using rotavel::ui::AnimationTimer;

namespace {

void spin(int ms) {
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < ms) {
    }
}

// Nanoseconds to the timer's next period end, read from its timerfd; -1 while it is disarmed,
// -2 without a timerfd.
qint64 nsToNextTick(const AnimationTimer& timer) {
    auto* notifier = timer.findChild<QSocketNotifier*>();
    itimerspec left{};
    if (!notifier || timerfd_gettime(int(notifier->socket()), &left) != 0)
        return -2;
    const qint64 ns = left.it_value.tv_sec * 1'000'000'000LL + left.it_value.tv_nsec;
    return ns > 0 ? ns : -1;
}

} // namespace

class AnimationTimerTest : public QObject {
    Q_OBJECT

private slots:
    void thePeriodStandsThroughASwitchOnAndALongTickDropsWhatItMissed();
    void ticksComeWhileOnAndASwitchOffInsideATickIsTheLast();
    void ticksDoNotNestWhileATickYields();
};

void AnimationTimerTest::thePeriodStandsThroughASwitchOnAndALongTickDropsWhatItMissed() {
    // Run clicked during a frame switches the timer on again: the period already begun must
    // stand, or a restarted timer could fall due inside the running tick's yield. Then a long
    // tick misses three periods: one tick follows at once, the next keeps the grid. A busy
    // machine makes ticks late, never early: only lower bounds are checked.
    constexpr qint64 kPeriod = 10'000'000; // nanoseconds
    QObject window;
    AnimationTimer timer(&window);
    QEventLoop loop; // not QTRY_*: it sleeps between polls
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    std::vector<qint64> starts;
    qint64 before = -1, after = -1, longEnd = 0;
    timer.setTickHandler([&] {
        starts.push_back(clock.nsecsElapsed());
        if (starts.size() == 1) {
            spin(3); // a frame takes a few milliseconds to draw
            before = nsToNextTick(timer);
            timer.setEnabled(true);
            after = nsToNextTick(timer);
        } else if (starts.size() == 2) {
            spin(32);
            longEnd = clock.nsecsElapsed();
        } else if (starts.size() == 4) {
            timer.setEnabled(false);
            loop.quit();
        }
    });
    clock.start();
    timer.setEnabled(true);
    loop.exec();
    QCOMPARE(starts.size(), std::size_t{4});
    QVERIFY2(starts[0] >= kPeriod * 95 / 100, "a tick came before its period was over");
    QVERIFY(before >= 0 && before <= kPeriod - 3'000'000);
    QVERIFY2(after <= before, "switching on while on restarted the period");
    QVERIFY2(starts[3] >= (longEnd + kPeriod - 1) / kPeriod * kPeriod,
             "a missed period was delivered as a tick");
    QCOMPARE(nsToNextTick(timer), -1); // disarmed
}

void AnimationTimerTest::ticksComeWhileOnAndASwitchOffInsideATickIsTheLast() {
    // Switched off inside its third tick, on and off once more, then the tick's yield: that tick
    // runs to its end and is the last, while another timer goes on ticking.
    QObject window;
    AnimationTimer stopped(&window), other(&window);
    int stoppedTicks = 0, otherTicks = 0;
    bool finished = false;
    stopped.setTickHandler([&] {
        if (++stoppedTicks < 3)
            return;
        stopped.setEnabled(false);
        stopped.setEnabled(true);
        stopped.setEnabled(false);
        QCoreApplication::processEvents(); // the yield comes after the stop test
        finished = true;
    });
    other.setTickHandler([&] { ++otherTicks; });
    stopped.setEnabled(true);
    QTRY_VERIFY(finished);
    other.setEnabled(true);
    QTRY_VERIFY(otherTicks >= 5); // five periods and more
    QCOMPARE(stoppedTicks, 3);
    QVERIFY(!stopped.isEnabled());
    auto* watched = stopped.findChild<QSocketNotifier*>();
    QVERIFY(!watched || !watched->isEnabled()); // nothing watched while stopped
}

void AnimationTimerTest::ticksDoNotNestWhileATickYields() {
    QObject window;
    AnimationTimer timer(&window);
    int ticks = 0, depth = 0, deepest = 0;
    timer.setTickHandler([&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        if (ticks == 1) {
            // The yield runs past the next period, and the timer's wakeup comes right inside it
            // (Qt may or may not deliver it there by itself).
            QElapsedTimer yielding;
            yielding.start();
            while (yielding.elapsed() < 25)
                QCoreApplication::processEvents();
            if (auto* notifier = timer.findChild<QSocketNotifier*>()) {
                QEvent due(QEvent::SockAct);
                QCoreApplication::sendEvent(notifier, &due);
            }
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

QTEST_GUILESS_MAIN(AnimationTimerTest)
#include "animation_timer_tests.moc"
