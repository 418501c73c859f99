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
    void eachPresetIsReadAsItsCaptionAndChosenFromThere_data();
    void eachPresetIsReadAsItsCaptionAndChosenFromThere();
    void runWorksFromTheKeyboardAndThePictureSaysWhetherItTurns();
    void returnAndEnterPressTheFocusedRun_data();
    void returnAndEnterPressTheFocusedRun();
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
    QVERIFY(title->text(QAccessible::Accelerator).isEmpty());
    QAccessibleInterface* menu = title->child(0);
    QCOMPARE(menu, menuInterface(window));
    QCOMPARE(menu->role(), QAccessible::PopupMenu);
    QCOMPARE(name(menu), QStringLiteral("Choose #Vanes"));
    QCOMPARE(description(menu), about);
    QCOMPARE(menu->childCount(), 7);
}

void AccessibilityTest::eachPresetIsReadAsItsCaptionAndChosenFromThere_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("described");
    QTest::addColumn<QString>("picture");

    QTest::newRow("1 vane, read without the trailing space") << 0 << "1 vane"
                                                             << "Rotor with 1 vane"
                                                             << "1 vane, stopped";
    QTest::newRow("2 Vanes") << 1 << "2 Vanes"
                             << "Rotor with 2 vanes"
                             << "2 vanes, stopped";
    QTest::newRow("8 vanes") << 6 << "8 vanes"
                             << "Rotor with 8 vanes"
                             << "8 vanes, stopped";
}

void AccessibilityTest::eachPresetIsReadAsItsCaptionAndChosenFromThere() {
    QFETCH(int, index);
    QFETCH(QString, spoken);
    QFETCH(QString, described);
    QFETCH(QString, picture);

    MainWindow window;
    QAccessibleInterface* menu = menuInterface(window);
    QAccessibleInterface* item = menu->child(index);
    QCOMPARE(item->role(), QAccessible::MenuItem);
    QCOMPARE(name(item), spoken);
    QCOMPARE(description(item), described);
    QCOMPARE(item->parent(), menu);

    QAccessibleActionInterface* actions = item->actionInterface();
    QVERIFY(actions);
    QCOMPARE(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(description(accessible(pictureOf(window))), picture);
}

void AccessibilityTest::runWorksFromTheKeyboardAndThePictureSaysWhetherItTurns() {
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

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(w.timer.isEnabled());
    QCOMPARE(description(picture), QStringLiteral("2 vanes, turning"));
    for (int i = 0; i < 5; ++i)
        w.timer.fire();
    menuInterface(window)->child(2)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QCOMPARE(description(picture), QStringLiteral("3 vanes, turning"));
    QCOMPARE(5 + w.runToStop(), 503); // it stops by itself
    QCOMPARE(description(picture), QStringLiteral("3 vanes, stopped"));

    // Announced once per change, not once per frame.
    if (QAccessible::isActive()) {
        QCOMPARE(g_announced, QStringList({QStringLiteral("2 vanes, turning"),
                                           QStringLiteral("3 vanes, turning"),
                                           QStringLiteral("3 vanes, stopped")}));
    }
}

void AccessibilityTest::returnAndEnterPressTheFocusedRun_data() {
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Return") << Qt::Key_Return << Qt::KeyboardModifiers();
    QTest::newRow("Enter on the keypad")
        << Qt::Key_Enter << Qt::KeyboardModifiers(Qt::KeypadModifier);
}

void AccessibilityTest::returnAndEnterPressTheFocusedRun() {
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);

    MainWindow window;
    QVERIFY(showActive(window));
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QVERIFY(window.findChild<rotavel::ui::AnimationTimer*>(QStringLiteral("Timer1"))->isEnabled());
    QCOMPARE(description(accessible(pictureOf(window))), QStringLiteral("2 vanes, turning"));
    window.close();
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
