// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "expected_presets.h"
#include "hand_ticked_window.h"
#include "paint_counter.h"
#include "surface/raster/image_surface.h"
#include "surface/raster/qt_image_view.h"
#include "ui/drawing_area.h"
#include "ui/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

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
    void runAnimates503FramesOntoTheScreenAndTheLastOneStays();
    void resizingLeavesThePictureAlone();
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
    QCOMPARE(run->geometry(), QRect(16, 8, 57, 33));

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
}

void MainWindowTest::theMenuOffersTheSevenPresetsInOrder_data() {
    QTest::addColumn<int>("index");
    const auto& presets = rotavel::testing::expectedPresets();
    for (std::size_t i = 0; i < presets.size(); ++i)
        QTest::newRow(presets[i].item.c_str()) << int(i);
}

// Each item as shown, and as a screen reader reads it and presses it.
void MainWindowTest::theMenuOffersTheSevenPresetsInOrder() {
    QFETCH(int, index);
    const auto& presets = rotavel::testing::expectedPresets();
    const auto& expected = presets.at(std::size_t(index));
    const QString vanes = expected.nvanes == 1 ? QStringLiteral("1 vane")
                                               : QStringLiteral("%1 vanes").arg(expected.nvanes);

    HandTickedWindow w;
    MainWindow& window = w.window;
    auto* menu = window.findChild<QMenu*>(QStringLiteral("mmain"));
    QVERIFY(menu);
    QVERIFY(QKeySequence::mnemonic(menu->title()).isEmpty());

    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), qsizetype(presets.size()));
    QAction* item = items.at(index);
    QCOMPARE(item->objectName(), QString::fromStdString(expected.item));
    QCOMPARE(item->text(), QString::fromStdString(expected.caption));
    QVERIFY(QKeySequence::mnemonic(item->text()).isEmpty());
    QVERIFY(item->shortcut().isEmpty());
    QVERIFY(!item->isCheckable());
    QCOMPARE(item->parent(), &window);

    // Read without the first caption's trailing space.
    QAccessibleInterface* spokenMenu = QAccessible::queryAccessibleInterface(menu);
    QAccessibleInterface* spoken = spokenMenu->child(index);
    QCOMPARE(spoken->role(), QAccessible::MenuItem);
    QCOMPARE(spoken->text(QAccessible::Name), item->text().trimmed());
    QCOMPARE(spoken->text(QAccessible::Description), QStringLiteral("Rotor with ") + vanes);
    QCOMPARE(spoken->parent(), spokenMenu);
    QAccessibleActionInterface* actions = spoken->actionInterface();
    QVERIFY(actions);
    QCOMPARE(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});

    items.at((index + 1) % items.size())->trigger(); // from another preset
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(pictureOf(window)->image(), blankPicture(window)); // a choice draws nothing
    QCOMPARE(
        QAccessible::queryAccessibleInterface(pictureOf(window))->text(QAccessible::Description),
        vanes + QStringLiteral(", stopped"));
    runButtonOf(window)->click();
    w.timer.fire();
    QCOMPARE(pictureOf(window)->image(),
             framePicture(expected.nvanes, expected.bladelen, 1,
                          pictureOf(window)->image().devicePixelRatio()));
}

void MainWindowTest::runAnimates503FramesOntoTheScreenAndTheLastOneStays() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));
    DrawingArea& picture = *pictureOf(window);
    QVERIFY(picture.surface().autoRedraw());         // switched on when first shown
    QCOMPARE(picture.image(), blankPicture(window)); // nothing drawn before Run
    QTest::mouseClick(runButtonOf(window), Qt::LeftButton);
    QVERIFY(w.timer.isEnabled());
    QCoreApplication::processEvents();                // the pressed button and the hub bar shown
    QVERIFY(picture.image() != blankPicture(window)); // the hub bar, before any tick
    QCOMPARE(shownPicture(picture, picture.image()), picture.image());
    rotavel::testing::PaintCounter paints(&picture);
    for (int i = 0; i < 3; ++i)
        w.timer.fire();
    QCOMPARE(paints.count(), 3); // each frame shown from its yield, once
    QCOMPARE(3 + rotavel::testing::runToStop(w.timer), 503);
    // Loaded before it was shown: the start-up vanes, not the menu's "2 Vanes".
    const QImage last = picture.image().copy();
    QCOMPARE(last, framePicture(2, 5.5, 503, last.devicePixelRatio()));

    // Activating the window again, twice, changes nothing on the picture.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    QApplication::sendEvent(&window, &activate);
    QCoreApplication::processEvents();
    QVERIFY(picture.surface().autoRedraw());
    QCOMPARE(picture.image(), last);
    QVERIFY(!w.timer.isEnabled());
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

void MainWindowTest::aCloseInsideTheYieldEndsTheTickWithoutTouchingTheWindow() {
    HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showAndWait(window));

    QImage atClose;
    // In the next frame's yield, between drawing and stop test: a window manager's close button.
    QMetaObject::invokeMethod(
        &window,
        [&] {
            QVERIFY(window.close());
            atClose = pictureOf(window)->image().copy();
        },
        Qt::QueuedConnection);
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
