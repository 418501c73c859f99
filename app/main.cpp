// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "app/display_guard.h"
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

    std::optional<DisplayGuard> guard(std::in_place);
    QApplication app(argc, argv);
    guard.reset();

    rotavel::ui::MainWindow window; // runs the rotor's load before the window is shown
    window.show();
    return app.exec();
}
