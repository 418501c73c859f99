#include "paint_counter.h"
#include "surface/image_surface.h"
#include "surface/qt_image_view.h"
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

// Runs an action once, from inside the first frame's yield: a tick is under way exactly while
// events are handled in its yield.
class InYield : public QObject {
public:
    InYield(const MainWindow& window, std::function<void()> action)
        : m_window(window), m_action(std::move(action)) {
        qApp->installEventFilter(this);
    }
    bool done() const { return m_done; }

protected:
    bool eventFilter(QObject*, QEvent*) override {
        if (!m_done && m_window.rotor().isTicking()) {
            m_done = true;
            m_action();
        }
        return false;
    }

private:
    const MainWindow& m_window;
    std::function<void()> m_action;
    bool m_done = false;
};

// The drawing area's image as it is before anything is drawn.
QImage blankPicture(const MainWindow& window) {
    const rotavel::surface::ImageSurface blank(window.picture()->devicePixelRatioF());
    return rotavel::surface::qImageView(blank.image()).copy();
}

using rotavel::testing::PaintCounter;

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
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

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

    auto* timer = window.findChild<rotavel::ui::TickNotifier*>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QCOMPARE(timer->parent(), &window);
    QCOMPARE(timer->interval(), 10);
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    QVERIFY(!timer->isActive());
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

    MainWindow window;
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
    QCOMPARE(window.rotor().nvanes(), nvanes);
    QCOMPARE(window.rotor().bladelen(), bladelen);
}

void MainWindowTest::nothingIsDrawnBeforeRunAndAMenuChoiceDrawsNothing() {
    MainWindow window;
    // Loaded before it is shown: the start-up preset, not the menu's "2 Vanes".
    QCOMPARE(window.rotor().nvanes(), 2);
    QCOMPARE(window.rotor().bladelen(), 5.5);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.picture()->autoRedraw()); // switched on when first shown

    QSignalSpy ticks(window.timer(), &rotavel::ui::TickNotifier::timeout);
    for (QAction* item : window.findChild<QMenu*>(QStringLiteral("mmain"))->actions())
        item->trigger();
    QCOMPARE(window.rotor().nvanes(), 8);
    QCoreApplication::processEvents();
    QCOMPARE(window.picture()->image(), blankPicture(window));
    QVERIFY(!window.timer()->isActive());
    QCOMPARE(ticks.count(), 0);
}

void MainWindowTest::runAnimates503FramesOntoTheScreenAndTheLastOneStays() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy ticks(window.timer(), &rotavel::ui::TickNotifier::timeout);
    PaintCounter paints(window.picture());

    QTest::mouseClick(window.runButton(), Qt::LeftButton);
    QVERIFY(window.timer()->isActive());
    QTRY_VERIFY(window.rotor().angle() > 0.2); // several frames
    QTRY_VERIFY(paints.count() >= 3);          // and the screen follows them

    QTRY_VERIFY_WITH_TIMEOUT(!window.timer()->isActive(), 30000);
    QCOMPARE(ticks.count(), 503);
    QVERIFY(window.rotor().angle() > 25.132736);
    QVERIFY(window.rotor().angle() < 25.132736 + 0.05);

    // Activating the window again, twice, changes nothing on the picture.
    const QImage last = window.picture()->image().copy();
    QVERIFY(last != blankPicture(window));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    QApplication::sendEvent(&window, &activate);
    QCoreApplication::processEvents();
    QVERIFY(window.picture()->autoRedraw());
    QCOMPARE(window.picture()->image(), last);
    QCOMPARE(ticks.count(), 503);
}

void MainWindowTest::resizingLeavesThePictureAlone() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.runButton()->click();
    QTRY_VERIFY(window.rotor().angle() > 0.1);
    window.close(); // the frame on screen stays as it is
    const QImage frame = window.picture()->image().copy();
    const QSize size = window.size();

    window.show();
    window.resize(200, 120);
    QTRY_COMPARE(window.centralWidget()->size().width(), 200);
    window.resize(size);
    QTRY_COMPARE(window.size(), size);
    QCOMPARE(window.picture()->geometry(), QRect(0, 0, 452, 430));
    QCOMPARE(window.picture()->image(), frame);
}

void MainWindowTest::aTickFallingDueInTheYieldDoesNotNest() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* timer = window.timer();

    double inYield = -1, afterDueTick = -1, afterFrame = -1;
    InYield probe(window, [&] {
        inYield = window.rotor().angle();
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout")); // falls due right now
        afterDueTick = window.rotor().angle();
    });
    // Connected after the window's own handler: runs as the tick returns.
    connect(timer, &rotavel::ui::TickNotifier::timeout, &probe, [&] {
        if (probe.done() && afterFrame < 0 && !window.rotor().isTicking())
            afterFrame = window.rotor().angle();
    });

    window.runButton()->click();
    QTRY_VERIFY(afterFrame >= 0);
    QVERIFY(inYield > 0);
    QCOMPARE(afterDueTick, inYield); // no frame drawn inside the frame
    QCOMPARE(afterFrame, inYield);   // and none right after it: the next one keeps the pace
    window.close();
}

void MainWindowTest::runClickedInTheYieldRestartsTheRotorNotTheTimer() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* timer = window.timer();

    int dueBefore = -1, dueAfter = -1;
    double angleAfterRun = -1;
    InYield probe(window, [&] {
        dueBefore = timer->remainingTime();
        window.runButton()->click();
        dueAfter = timer->remainingTime();
        angleAfterRun = window.rotor().angle();
    });
    window.runButton()->click();
    QTRY_VERIFY(probe.done());
    QCOMPARE(angleAfterRun, 0.0);
    QVERIFY(timer->isActive());
    QVERIFY(dueBefore >= 0);
    QVERIFY(dueAfter <= dueBefore); // the period under way stands
    window.close();
}

void MainWindowTest::aCloseInsideTheYieldEndsTheTickWithoutTouchingTheWindow() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QImage atClose;
    InYield probe(window, [&] {
        // What a window manager's close button does, arriving between drawing and stop test.
        QVERIFY(window.close());
        atClose = window.picture()->image().copy();
    });
    window.runButton()->click();
    QTRY_VERIFY(probe.done());
    QTRY_VERIFY(!window.rotor().isTicking());

    QVERIFY(window.rotor().isClosed());
    QVERIFY(!window.isVisible());
    QVERIFY(!window.timer()->isActive());
    QCOMPARE(window.picture()->image(), atClose);

    // A tick that was already on its way draws nothing either.
    QVERIFY(QMetaObject::invokeMethod(window.timer(), "timeout"));
    QCoreApplication::processEvents();
    QCOMPARE(window.picture()->image(), atClose);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_tests.moc"
