#include "ui/animation_timer.h"

#include <QElapsedTimer>
#include <QTest>

using rotavel::ui::AnimationTimer;

class AnimationTimerTest : public QObject {
    Q_OBJECT

private slots:
    void switchingOnWhileOnKeepsItsPace();
    void ticksComeWhileOnAndASwitchOffInsideATickIsTheLast();
    void aTickArrivingDuringATickIsDropped();
    void aDestroyedTimerNeitherRunsNorCallsBack();
};

void AnimationTimerTest::switchingOnWhileOnKeepsItsPace() {
    // Run clicked during a frame switches the timer on again: the period already begun must
    // stand, or a restarted timer could fall due inside the running tick's yield.
    QObject window;
    AnimationTimer timer(&window);
    int before = -1, after = -1;
    timer.setTickHandler([&] {
        QElapsedTimer drawing; // a frame takes a few milliseconds to draw
        drawing.start();
        while (drawing.elapsed() < 3) {
        }
        before = timer.qtimer()->remainingTime();
        timer.setEnabled(true);
        after = timer.qtimer()->remainingTime();
        timer.setEnabled(false);
    });
    timer.setEnabled(true);
    QTRY_VERIFY(after >= 0);
    QVERIFY(before <= 8);
    QVERIFY(after <= before);
    QVERIFY(!timer.isEnabled());
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
            finished = true; // the tick runs on after switching the timer off
        }
    });
    timer.setEnabled(true);
    QTRY_VERIFY(finished);
    QCOMPARE(ticks, 3);
    QVERIFY(!timer.isEnabled());
}

void AnimationTimerTest::aTickArrivingDuringATickIsDropped() {
    QObject window;
    AnimationTimer timer(&window);
    int ticks = 0, depth = 0, deepest = 0;
    timer.setTickHandler([&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        if (ticks == 1) {
            // As if the timer fell due while the tick yields to the event loop.
            QVERIFY(QMetaObject::invokeMethod(timer.qtimer(), "timeout"));
            QCOMPARE(ticks, 1);
        }
        timer.setEnabled(false);
        --depth;
    });
    timer.setEnabled(true);
    QTRY_VERIFY(ticks > 0);
    QCOMPARE(deepest, 1);
    QCOMPARE(ticks, 1);
}

void AnimationTimerTest::aDestroyedTimerNeitherRunsNorCallsBack() {
    // The QTimer belongs to the window and outlives the timer object by a moment.
    QObject window;
    int ticks = 0;
    {
        AnimationTimer timer(&window);
        timer.setTickHandler([&] { ++ticks; });
        timer.setEnabled(true);
    }
    QTimer* qtimer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(qtimer);
    QVERIFY(!qtimer->isActive());
    QVERIFY(QMetaObject::invokeMethod(qtimer, "timeout"));
    QCOMPARE(ticks, 0);
}

QTEST_GUILESS_MAIN(AnimationTimerTest)
#include "animation_timer_tests.moc"
