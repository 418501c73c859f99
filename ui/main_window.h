// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The main window, `Form1`: the program's one window, its Run button, vane menu, drawing area and
// timer, and the wiring of its events to the rotor logic.
//
// The rotor logic (scene::Rotor) knows the window only through three small interfaces, each
// realised here on Qt Widgets (the layering is told in the README):
//   - surface::Surface by the off-screen persistent image (raster::ImageSurface) that DrawingArea
//     (`Picture1`) shows: the rotor draws on the image itself, and after each drawing event the
//     area repaints only the bands of rows that changed;
//   - surface::Timer by AnimationTimer (`Timer1`): a steady 10 ms period (surface::Timer keeps
//     ticks from nesting);
//   - scene::Host by the window itself: the frame's yield. The window presents the picture just
//     before it yields, so the repaint of what the frame changed comes in that very yield, which
//     is one pass over pending events.
// The window owns them and the rotor, creates them with the stored layout, and forwards load,
// activation, the Run click, the menu clicks and the close to the rotor. A test may hand in a
// timer of its own instead of the real one, to drive frames by hand. It also tells a screen
// reader what each control is and what the picture shows (MenuItemAccessible speaks for the
// menu's items).
#pragma once

#include "scene/rotor.h"
#include "ui/animation_timer.h"

#include <QMainWindow>
#include <memory>

class QPushButton;

namespace rotavel::ui {

class DrawingArea;

class MainWindow final : public QMainWindow, private scene::Host {
    Q_OBJECT

public:
    // The client area below the menu bar, at 15 twips a pixel.
    static constexpr QSize kClientSize{455, 427};
    static constexpr QRgb kBackColor = 0xE0E0E0; // shows only in the strip right of the picture

    // Builds the window with its stored layout and runs the rotor's load; the timer is off.
    // Without a `timer` the window makes its AnimationTimer; one that is given must outlive the
    // window.
    explicit MainWindow(surface::Timer* timer = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The frame's yield: the picture first, then one pass over the pending events (its repaint,
    // clicks, a close), never waiting for new ones.
    void processPendingEvents() override;

    void buildMenu();
    // Tells a screen reader how many vanes the picture shows and whether they turn. Cheap when
    // nothing changed, so it runs after every tick.
    void describePicture();

    QWidget* m_client;                          // the client area below the menu bar
    DrawingArea* m_picture;                     // `Picture1`, owned by m_client
    QPushButton* m_run;                         // `Command1`, owned by m_client
    std::unique_ptr<AnimationTimer> m_ownTimer; // `Timer1` unless one was given
    surface::Timer& m_timer;
    scene::Rotor m_rotor;
    bool m_shownOnce = false;
    int m_describedVanes = -1; // what the picture's description says, to notice changes
    bool m_describedTurning = false;
};

} // namespace rotavel::ui
