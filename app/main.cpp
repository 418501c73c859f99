// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "app/display_guard.h"
#include "app/quit_signals.h"
#include "app/utf8_locale.h"
#include "ui/main_window.h"

#include <QApplication>
#include <cstdio>
#include <optional>

int main(int argc, char* argv[]) {
    using rotavel::app::DisplayGuard;

    if (const std::string missing = DisplayGuard::missingDisplay(); !missing.empty()) {
        std::fprintf(stderr, "rotavel-motion: %s\n", missing.c_str());
        return 1;
    }

    // How a desktop matches the window to its desktop entry and icon: the Wayland app id is the
    // entry's name, and so is the class in the X11 window's WM_CLASS, which Qt takes from the
    // application name (its instance part stays the binary's name). Where Qt names the program
    // to people it takes the display name; being the window's title, it adds nothing to it.
    QGuiApplication::setDesktopFileName(QStringLiteral(ROTAVEL_APP_ID));
    QCoreApplication::setApplicationName(QStringLiteral(ROTAVEL_APP_ID));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Rotavel Motion"));

    rotavel::app::chooseUtf8CharacterType();
    std::optional<DisplayGuard> guard(std::in_place);
    QApplication app(argc, argv);
    guard.reset();

    rotavel::ui::MainWindow window; // runs the rotor's load before the window is shown
    // A logout's SIGTERM or a terminal's Ctrl+C closes the window as its close button does.
    rotavel::app::QuitSignals quitSignals([&window] { window.close(); });
    window.show();
    return app.exec();
}
