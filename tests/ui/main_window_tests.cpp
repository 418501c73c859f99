// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "hand_ticked_window.h"
#include "paint_counter.h"
#include "surface/raster/image_surface.h"
#include "surface/raster/qt_image_view.h"
#include "ui/drawing_area.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <functional>

using rotavel::ui::DrawingArea;
using rotavel::ui::MainWindow;

namespace {

// The drawing area's image as it is before anything is drawn.
QImage blankPicture(const MainWindow& window) {
    const rotavel::raster::ImageSurface blank(
        rotavel::scene::kPicture1, rotavel::testing::pictureOf(window)->image().devicePixelRatio());
    return rotavel::raster::qImageView(blank.image()).copy();
}

using rotavel::testing::framePicture;
using rotavel::testing::HandTickedWindow;
using rotavel::testing::PaintCounter;
using rotavel::testing::pictureOf;
using rotavel::testing::runButtonOf;
using rotavel::testing::showAndWait;
using rotavel::testing::shownPicture;

bool isWhite(QRgb pixel) {
    return qRed(pixel) >= 0xF0 && qGreen(pixel) >= 0xF0 && qBlue(pixel) >= 0xF0;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void theWindowHasItsStoredLayout();
    void theMenuOffersTheSevenPresetsInOrder_data();
    void theMenuOffersTheSevenPresetsInOrder();
    void nothingIsDrawnBeforeRunAndAMenuChoiceDrawsNothing();
    void runAnimates503FramesOntoTheScreenAndTheLastOneStays();
    void everyFrameReachesTheScreenWholeAndNothingStaleStays();
    void resizingLeavesThePictureAlone();
    void aTickFallingDueInTheYieldDoesNotNest();
    void runClickedInTheYieldRestartsTheRotorNotTheTimer();
    void aCloseInsideTheYieldEndsTheTickWithoutTouchingTheWindow();
};

void MainWindowTest::initTestCase() {
    // Each test closes its own window; the test program goes on.
    QApplication::setQuitOnLastWindowClosed(false);
}

void MainWindowTest::theWindowHasItsStoredLayout() {
    MainWindow window;
    QVERIFY(showAndWait(window));

    QCOMPARE(window.objectName(), QStringLiteral("Form1"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Rotavel Motion"));
    QVERIFY(!(window.windowFlags() & Qt::MSWindowsFixedSizeDialogHint));
    QVERIFY(window.maximumSize().width() > 455); // an ordinary sizable frame

    // The client area is 455 x 427 below the menu bar.
    QWidget* client = window.centralWidget();
    QCOMPARE(client->size(), QSize(455, 427));
    QCOMPARE(client->y(), window.menuBar()->geometry().bottom() + 1);
    QCOMPARE(window.size(), QSize(455, 427 + window.menuBar()->height()));

    auto* picture = window.findChild<DrawingArea*>(QStringLiteral("Picture1"));
    QVERIFY(picture);
    QCOMPARE(picture->parentWidget(), client);
    QCOMPARE(picture->geometry(), QRect(0, 0, 452, 430));     // its bottom edge is cut off
    QCOMPARE(picture->contentsRect(), QRect(2, 2, 448, 426)); // inside a thin sunken border
    QCOMPARE(picture->frameShadow(), QFrame::Sunken);

    auto* run = window.findChild<QPushButton*>(QStringLiteral("Command1"));
    QVERIFY(run);
    QCOMPARE(run->text(), QStringLiteral("Run"));
    QCOMPARE(run->geometry(), QRect(16, 8, 57, 33));
    QCOMPARE(client->childAt(20, 12), run); // over the picture
    QCOMPARE(client->childAt(200, 200), picture);

    // First in tab order: the first widget in the focus chain that takes focus by tabbing.
    QWidget* first = window.nextInFocusChain();
    while (first != &window && !(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    QCOMPARE(first, run);

    // Light grey shows right of the picture; the button has a plain white face.
    const QImage shot = client->grab().toImage();
    QCOMPARE(shot.pixel(453, 200) & 0xFFFFFF, 0xE0E0E0u);
    QVERIFY(isWhite(shot.pixel(16 + 6, 8 + 6)));
    QVERIFY(isWhite(shot.pixel(16 + 50, 8 + 27)));

    QVERIFY(!window.windowIcon().isNull());
    const QImage icon(QStringLiteral(":/assets/rotor_icon.png"));
    QCOMPARE(icon.size(), QSize(32, 32));
    QVERIFY(icon.colorCount() > 0 && icon.colorCount() <= 16);

    auto* timer = window.findChild<rotavel::ui::AnimationTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QCOMPARE(timer->parent(), &window);
    QVERIFY(!timer->isEnabled());
}

void MainWindowTest::theMenuOffersTheSevenPresetsInOrder_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("nvanes");
    QTest::addColumn<double>("bladelen");

    QTest::newRow("1 vane, trailing space") << 0 << "oone"
                                            << "1 vane " << 1 << 8.0;
    QTest::newRow("2 Vanes, capital V") << 1 << "mvn1"
                                        << "2 Vanes" << 2 << 7.3;
    QTest::newRow("3 vanes") << 2 << "tthree"
                             << "3 vanes" << 3 << 5.0;
    QTest::newRow("4 vanes") << 3 << "mv2"
                             << "4 vanes" << 4 << 4.2;
    QTest::newRow("5 vanes") << 4 << "ffive"
                             << "5 vanes" << 5 << 3.0;
    QTest::newRow("6 vanes") << 5 << "ssix"
                             << "6 vanes" << 6 << 2.8;
    QTest::newRow("8 vanes") << 6 << "eeight"
                             << "8 vanes" << 8 << 2.0;
}

void MainWindowTest::theMenuOffersTheSevenPresetsInOrder() {
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, nvanes);
    QFETCH(double, bladelen);

    HandTickedWindow w;
    MainWindow& window = w.window;
    auto* menu = window.findChild<QMenu*>(QStringLiteral("mmain"));
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("Choose #Vanes"));
    QVERIFY(QKeySequence::mnemonic(menu->title()).isEmpty());
    QCOMPARE(window.menuBar()->actions(), QList<QAction*>{menu->menuAction()});

    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 7);
    QAction* item = items.at(index);
    QCOMPARE(item->objectName(), name);
    QCOMPARE(item->text(), caption);
    QVERIFY(QKeySequence::mnemonic(item->text()).isEmpty());
    QVERIFY(item->shortcut().isEmpty());
    QVERIFY(!item->isCheckable());
    QVERIFY(item->isEnabled());
    QCOMPARE(item->parent(), &window);

    items.at((index + 1) % items.size())->trigger(); // from another preset
    item->trigger();
    runButtonOf(window)->click();
    w.timer.fire();
    QCOMPARE(pictureOf(window)->image(),
             framePicture(nvanes, bladelen, 1, pictureOf(window)->image().devicePixelRatio()));
}

void MainWindowTest::nothingIsDrawnBeforeRunAndAMenuChoiceDrawsNothing() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));
    QVERIFY(pictureOf(window)->surface().autoRedraw()); // switched on when first shown

    for (QAction* item : window.findChild<QMenu*>(QStringLiteral("mmain"))->actions())
        item->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(pictureOf(window)->image(), blankPicture(window));
    QVERIFY(!w.timer.isEnabled());
    runButtonOf(window)->click(); // the last choice is the one drawn
    w.timer.fire();
    QCOMPARE(pictureOf(window)->image(),
             framePicture(8, 2, 1, pictureOf(window)->image().devicePixelRatio()));
}

void MainWindowTest::runAnimates503FramesOntoTheScreenAndTheLastOneStays() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));
    QTest::mouseClick(runButtonOf(window), Qt::LeftButton);
    QVERIFY(w.timer.isEnabled());
    QCoreApplication::processEvents(); // the pressed button and the hub bar shown
    PaintCounter paints(pictureOf(window));
    for (int i = 0; i < 3; ++i)
        w.timer.fire();
    QCOMPARE(paints.count(), 3); // each frame shown from its yield, once
    QCOMPARE(3 + w.runToStop(), 503);
    // Loaded before it was shown: the start-up vanes, not the menu's "2 Vanes".
    QCOMPARE(pictureOf(window)->image(),
             framePicture(2, 5.5, 503, pictureOf(window)->image().devicePixelRatio()));

    // Activating the window again, twice, changes nothing on the picture.
    const QImage last = pictureOf(window)->image().copy();
    QVERIFY(last != blankPicture(window));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    QApplication::sendEvent(&window, &activate);
    QCoreApplication::processEvents();
    QVERIFY(pictureOf(window)->surface().autoRedraw());
    QCOMPARE(pictureOf(window)->image(), last);
    QVERIFY(!w.timer.isEnabled());
}

void MainWindowTest::everyFrameReachesTheScreenWholeAndNothingStaleStays() {
    // Only the changed rectangle is repainted: it must cover the strokes just drawn and those the
    // clear took away, whatever the shape before and after (a long blade, eight short ones).
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));
    const DrawingArea& picture = *pictureOf(window);
    runButtonOf(window)->click();
    QCoreApplication::processEvents();
    QCOMPARE(shownPicture(picture, picture.image()), picture.image()); // the hub bar
    for (const char* item : {"oone", "eeight", "oone", "mvn1"}) {
        window.findChild<QAction*>(QString::fromLatin1(item))->trigger();
        for (int i = 0; i < 12; ++i) {
            w.timer.fire();
            QCOMPARE(shownPicture(picture, picture.image()), picture.image());
        }
    }
}

void MainWindowTest::resizingLeavesThePictureAlone() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));
    runButtonOf(window)->click();
    w.timer.fire();
    w.timer.fire();
    window.close(); // the frame on screen stays as it is
    const QImage frame = pictureOf(window)->image().copy();
    const QSize size = window.size();

    window.show();
    window.resize(200, 120);
    QTRY_COMPARE(window.centralWidget()->size().width(), 200);
    window.resize(size);
    QTRY_COMPARE(window.size(), size);
    QCOMPARE(pictureOf(window)->geometry(), QRect(0, 0, 452, 430));
    QCOMPARE(pictureOf(window)->image(), frame);
    QTRY_COMPARE(shownPicture(*pictureOf(window), frame), frame);
}

void MainWindowTest::aTickFallingDueInTheYieldDoesNotNest() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));

    const qreal ratio = pictureOf(window)->image().devicePixelRatio();
    QImage inYield, afterDueTick;
    w.inYield([&] {
        inYield = pictureOf(window)->image().copy();
        QVERIFY(w.timer.fire()); // falls due right now
        afterDueTick = pictureOf(window)->image().copy();
    });
    runButtonOf(window)->click();
    w.timer.fire();
    QCOMPARE(inYield, framePicture(2, 5.5, 1, ratio));
    QCOMPARE(afterDueTick, inYield); // no frame drawn inside the frame
    QCOMPARE(pictureOf(window)->image(), framePicture(2, 5.5, 2, ratio)); // but one right after
    QCOMPARE(shownPicture(*pictureOf(window), pictureOf(window)->image()),
             pictureOf(window)->image());
}

void MainWindowTest::runClickedInTheYieldRestartsTheRotorNotTheTimer() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));
    runButtonOf(window)->click();
    for (int i = 0; i < 502; ++i)
        w.timer.fire();

    w.inYield([&] { runButtonOf(window)->click(); });
    w.timer.fire(); // the 503rd, whose stop test now finds a fresh run
    QVERIFY(w.timer.isEnabled());
    QCOMPARE(w.runToStop(), 503);
}

void MainWindowTest::aCloseInsideTheYieldEndsTheTickWithoutTouchingTheWindow() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));

    QImage atClose;
    w.inYield([&] {
        // What a window manager's close button does, arriving between drawing and stop test.
        QVERIFY(window.close());
        atClose = pictureOf(window)->image().copy();
    });
    runButtonOf(window)->click();
    w.timer.fire();

    QVERIFY(!window.isVisible());
    QVERIFY(!w.timer.isEnabled());
    QCOMPARE(pictureOf(window)->image(), atClose);

    // A tick that was already on its way draws nothing either.
    w.timer.setEnabled(true);
    QVERIFY(w.timer.fire());
    QCoreApplication::processEvents();
    QCOMPARE(pictureOf(window)->image(), atClose);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_tests.moc"
