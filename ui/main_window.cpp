// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/main_window.h"

#include "scene/description.h"
#include "ui/drawing_area.h"
#include "ui/menu_item_accessible.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>

namespace rotavel::ui {

namespace {

QString qString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MainWindow::MainWindow(surface::Timer* timer, QWidget* parent)
    : QMainWindow(parent), m_client(new QWidget(this)), m_picture(new DrawingArea(m_client)),
      m_run(new QPushButton(QStringLiteral("Run"), m_client)),
      m_ownTimer(timer ? nullptr : std::make_unique<AnimationTimer>(this)),
      m_timer(timer ? *timer : *m_ownTimer), m_rotor(m_picture->surface(), m_timer, *this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Rotavel Motion"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/rotor_icon.png")));

    QPalette client = m_client->palette();
    client.setColor(QPalette::Window, QColor(kBackColor));
    m_client->setPalette(client);
    m_client->setAutoFillBackground(true);
    setCentralWidget(m_client);

    // The button lies over the picture's top-left corner and is created after it, so it is on
    // top; it is the one control that takes the keyboard focus.
    m_run->setObjectName(QStringLiteral("Command1"));
    m_run->setGeometry(16, 8, 57, 33);
    QPalette face = m_run->palette();
    face.setColor(QPalette::Button, Qt::white);
    m_run->setPalette(face);
    m_run->raise();
    m_run->setAccessibleDescription(
        QStringLiteral("Start the rotor turning four times from its starting position"));
    connect(m_run, &QPushButton::clicked, this, [this] {
        m_rotor.run();
        m_picture->present(); // the hub bar, before the handler returns to the event loop
        describePicture();
    });
    // Return and Enter press the focused button as Space does. Not by making it the default
    // button: outside a dialog that only tints its plain white face.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
        new QShortcut(key, m_run, m_run, &QPushButton::click, Qt::WidgetShortcut);

    m_picture->setAccessibleName(QStringLiteral("Rotor"));

    buildMenu();
    m_timer.setTickHandler([this] {
        m_rotor.tick();
        describePicture(); // the tick may have stopped the timer
    });

    // The stored size is the client area's; the menu bar comes on top of it.
    int menuHeight = menuBar()->heightForWidth(kClientSize.width());
    if (menuHeight < 0)
        menuHeight = menuBar()->sizeHint().height();
    resize(kClientSize.width(), kClientSize.height() + menuHeight);

    m_rotor.load();
    describePicture();
}

MainWindow::~MainWindow() {
    m_timer.setTickHandler(nullptr); // a timer that was given may outlive the window
}

void MainWindow::processPendingEvents() {
    m_picture->present();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::buildMenu() {
    // No '&' anywhere: the captions are shown exactly as written, with no access keys. The
    // keyboard reaches the menu bar with Alt all the same.
    auto* menu = new QMenu(QStringLiteral("Choose #Vanes"), this);
    menu->setObjectName(QStringLiteral("mmain"));
    const QString about = QStringLiteral("Choose how many vanes the rotor has");
    menu->setAccessibleName(menu->title());
    menu->setAccessibleDescription(about);
    MenuItemAccessible::install(menu->menuAction(), about);
    for (const scene::Preset& preset : scene::kPresets) {
        auto* item = new QAction(qString(preset.caption), this);
        item->setObjectName(qString(preset.item));
        MenuItemAccessible::install(
            item,
            QStringLiteral("Rotor with %1").arg(qString(scene::describeVanes(preset.nvanes))));
        connect(item, &QAction::triggered, this, [this, preset] {
            m_rotor.choose(preset);
            describePicture();
        });
        menu->addAction(item);
    }
    menuBar()->addMenu(menu);
}

void MainWindow::describePicture() {
    const int nvanes = m_rotor.nvanes();
    const bool turning = m_timer.isEnabled();
    if (nvanes == m_describedVanes && turning == m_describedTurning)
        return;
    m_describedVanes = nvanes;
    m_describedTurning = turning;
    // Qt announces the change to a screen reader itself, on every call: hence only on a change.
    m_picture->setAccessibleDescription(qString(scene::describePicture(nvanes, turning)));
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        m_rotor.activate();
    return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Some window systems activate a new window only once the pointer enters it; the persistent
    // image must be on before the first Run all the same.
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_rotor.activate();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close may arrive inside a frame's yield: the rotor must leave the window alone from here
    // on, and no further tick may start.
    m_rotor.close();
    m_timer.setEnabled(false);
    describePicture();
    event->accept();
}

} // namespace rotavel::ui
