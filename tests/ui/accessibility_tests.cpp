// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "hand_ticked_window.h"
#include "ui/drawing_area.h"
#include "ui/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

using rotavel::testing::pictureOf;
using rotavel::testing::runButtonOf;
using rotavel::ui::MainWindow;

// What a screen reader learns of the window, read through QAccessible as it reads it. On the
// offscreen platform Qt keeps its accessibility off and sends no change events; the same tests
// run again on an AT-SPI bus (ROTAVEL_REQUIRE_ATSPI set), where it is on and they are checked.
class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void theControlsAndTheMenuAreNamedAndDescribed();
    void runWorksFromTheKeyboardAndThePictureSaysWhetherItTurns_data();
    void runWorksFromTheKeyboardAndThePictureSaysWhetherItTurns();
    void theMenuOpensFromTheKeyboardWithoutAnAccessKey();
};

namespace {

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString name(QAccessibleInterface* iface) {
    return iface->text(QAccessible::Name);
}

QString description(QAccessibleInterface* iface) {
    return iface->text(QAccessible::Description);
}

QAccessibleInterface* menuInterface(MainWindow& window) {
    return accessible(window.findChild<QMenu*>(QStringLiteral("mmain")));
}

// The picture's descriptions as announced, one per change event.
QObject* g_watched = nullptr;
QStringList g_announced;

void recordAnnouncement(QAccessibleEvent* event) {
    if (event->type() == QAccessible::DescriptionChanged && event->object() == g_watched)
        g_announced << description(event->accessibleInterface());
}

// Shown and holding the keyboard; with no window manager to hand it over, the window takes it.
bool showActive(MainWindow& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

void AccessibilityTest::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    if (qEnvironmentVariableIsSet("ROTAVEL_REQUIRE_ATSPI"))
        QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 15000);
}

void AccessibilityTest::theControlsAndTheMenuAreNamedAndDescribed() {
    MainWindow window;
    QAccessibleInterface* run = accessible(runButtonOf(window));
    QCOMPARE(run->role(), QAccessible::PushButton);
    QCOMPARE(name(run), QStringLiteral("Run"));
    QCOMPARE(description(run),
             QStringLiteral("Start the rotor turning four times from its starting position"));

    QAccessibleInterface* picture = accessible(pictureOf(window));
    QCOMPARE(picture->role(), QAccessible::Animation);
    QCOMPARE(name(picture), QStringLiteral("Rotor"));
    QCOMPARE(description(picture), QStringLiteral("2 vanes, stopped"));

    // The menu's title in the menu bar, and the menu it opens, as captioned and with no access key.
    const QString about = QStringLiteral("Choose how many vanes the rotor has");
    QAccessibleInterface* bar = accessible(window.menuBar());
    QCOMPARE(bar->childCount(), 1);
    QAccessibleInterface* title = bar->child(0);
    QCOMPARE(title->role(), QAccessible::MenuItem);
    QCOMPARE(name(title), QStringLiteral("Choose #Vanes"));
    QCOMPARE(description(title), about);
    QAccessibleInterface* menu = title->child(0);
    QCOMPARE(menu, menuInterface(window));
    QCOMPARE(menu->role(), QAccessible::PopupMenu);
    QCOMPARE(name(menu), QStringLiteral("Choose #Vanes"));
    QCOMPARE(description(menu), about);
    QCOMPARE(menu->childCount(), 7);
}

void AccessibilityTest::runWorksFromTheKeyboardAndThePictureSaysWhetherItTurns_data() {
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Space") << Qt::Key_Space << Qt::KeyboardModifiers();
    QTest::newRow("Return") << Qt::Key_Return << Qt::KeyboardModifiers();
    QTest::newRow("Enter on the keypad")
        << Qt::Key_Enter << Qt::KeyboardModifiers(Qt::KeypadModifier);
}

void AccessibilityTest::runWorksFromTheKeyboardAndThePictureSaysWhetherItTurns() {
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    rotavel::testing::HandTickedWindow w;
    MainWindow& window = w.window;
    QVERIFY(showActive(window));
    // Run has the focus and is the only tab stop: the picture is not one.
    QCOMPARE(QApplication::focusWidget(), runButtonOf(window));
    QTest::keyClick(&window, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), runButtonOf(window));

    g_watched = pictureOf(window);
    g_announced.clear();
    const QAccessible::UpdateHandler previous =
        QAccessible::installUpdateHandler(recordAnnouncement);
    const auto restore = qScopeGuard([previous] { QAccessible::installUpdateHandler(previous); });
    QAccessibleInterface* picture = accessible(pictureOf(window));

    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QVERIFY(w.timer.isEnabled());
    QCOMPARE(description(picture), QStringLiteral("2 vanes, turning"));
    for (int i = 0; i < 5; ++i)
        w.timer.fire();
    menuInterface(window)->child(2)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QCOMPARE(description(picture), QStringLiteral("3 vanes, turning"));
    QCOMPARE(5 + rotavel::testing::runToStop(w.timer), 503); // it stops by itself
    QCOMPARE(description(picture), QStringLiteral("3 vanes, stopped"));

    // Announced once per change, not once per frame.
    if (QAccessible::isActive()) {
        QCOMPARE(g_announced, QStringList({QStringLiteral("2 vanes, turning"),
                                           QStringLiteral("3 vanes, turning"),
                                           QStringLiteral("3 vanes, stopped")}));
    }
}

void AccessibilityTest::theMenuOpensFromTheKeyboardWithoutAnAccessKey() {
    MainWindow window;
    QVERIFY(showActive(window));
    auto* menu = window.findChild<QMenu*>(QStringLiteral("mmain"));

    // Alt on its own takes the keyboard to the menu bar; Down opens the menu at its first item.
    QTest::keyClick(&window, Qt::Key_Alt);
    QTRY_COMPARE(window.menuBar()->activeAction(), menu->menuAction());
    QTest::keyClick(window.menuBar(), Qt::Key_Down);
    QTRY_VERIFY(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Down);
    QAccessibleInterface* third = menuInterface(window)->child(2);
    QTRY_VERIFY(third->state().focused); // the item a screen reader follows
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(description(accessible(pictureOf(window))), QStringLiteral("3 vanes, stopped"));
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_tests.moc"
