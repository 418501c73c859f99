// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/menu_item_accessible.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace rotavel::ui {

MenuItemAccessible::MenuItemAccessible(QAction* action, const QString& description)
    : QAccessibleObject(action), m_description(description) {}

void MenuItemAccessible::install(QAction* action, const QString& description) {
    QAccessible::registerAccessibleInterface(new MenuItemAccessible(action, description));
}

QAction* MenuItemAccessible::action() const {
    return static_cast<QAction*>(object());
}

QWidget* MenuItemAccessible::owner() const {
    for (QObject* shownIn : action()->associatedObjects()) {
        if (qobject_cast<QMenu*>(shownIn) || qobject_cast<QMenuBar*>(shownIn))
            return static_cast<QWidget*>(shownIn);
    }
    return nullptr;
}

QWindow* MenuItemAccessible::window() const {
    const QWidget* shownIn = owner();
    return shownIn ? shownIn->window()->windowHandle() : nullptr;
}

QAccessibleInterface* MenuItemAccessible::parent() const {
    return QAccessible::queryAccessibleInterface(owner());
}

// A menu's title has the menu as its one child; a plain item has none.
QAccessibleInterface* MenuItemAccessible::child(int index) const {
    return index == 0 ? QAccessible::queryAccessibleInterface(action()->menu()) : nullptr;
}

int MenuItemAccessible::childCount() const {
    return action()->menu() ? 1 : 0;
}

int MenuItemAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child && action()->menu() && child->object() == action()->menu() ? 0 : -1;
}

QString MenuItemAccessible::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name:
        return action()->text().trimmed(); // the captions carry no access keys to strip
    case QAccessible::Description:
        return m_description;
    default:
        return {};
    }
}

QAccessible::State MenuItemAccessible::state() const {
    QAccessible::State state;
    const QWidget* shownIn = owner();
    state.invisible = !shownIn || !shownIn->isVisible() || !action()->isVisible();
    state.disabled = !action()->isEnabled();
    // The highlighted item is the one a screen reader follows through the menu.
    if (const auto* menu = qobject_cast<const QMenu*>(shownIn))
        state.focused = menu->activeAction() == action();
    else if (const auto* bar = qobject_cast<const QMenuBar*>(shownIn))
        state.focused = bar->activeAction() == action();
    return state;
}

QRect MenuItemAccessible::rect() const {
    QWidget* shownIn = owner();
    QRect rect;
    if (const auto* menu = qobject_cast<const QMenu*>(shownIn))
        rect = menu->actionGeometry(action());
    else if (const auto* bar = qobject_cast<const QMenuBar*>(shownIn))
        rect = bar->actionGeometry(action());
    return shownIn ? rect.translated(shownIn->mapToGlobal(QPoint(0, 0))) : rect;
}

void* MenuItemAccessible::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

QStringList MenuItemAccessible::actionNames() const {
    return {action()->menu() ? showMenuAction() : pressAction()};
}

void MenuItemAccessible::doAction(const QString& actionName) {
    if (!action()->isEnabled())
        return;
    if (actionName == pressAction() && !action()->menu()) {
        action()->trigger();
    } else if (actionName == showMenuAction() && action()->menu()) {
        if (auto* bar = qobject_cast<QMenuBar*>(owner()))
            bar->setActiveAction(action());
    }
}

} // namespace rotavel::ui
