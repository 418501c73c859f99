// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QAccessibleObject>

class QAction;

namespace rotavel::ui {

// A menu item as a screen reader meets it: named by its caption without the spaces around it
// ("1 vane " is read as "1 vane") and described in words of its own. Qt's own menu items offer
// no description. Works for an item in a menu and for a menu's title in the menu bar.
class MenuItemAccessible final : public QAccessibleObject, public QAccessibleActionInterface {
public:
    // Gives `action` this interface; Qt's accessibility cache owns it from then on and drops it
    // with the action. Call before anything asks for the action's interface.
    static void install(QAction* action, const QString& description);

    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override;
    QRect rect() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    MenuItemAccessible(QAction* action, const QString& description);

    QAction* action() const;
    // The menu or menu bar the item is shown in.
    QWidget* owner() const;

    QString m_description;
};

} // namespace rotavel::ui
