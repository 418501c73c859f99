// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <string>
#include <vector>

namespace rotavel::app {

// Keeps the program from aborting inside the toolkit when there is no display to open: Qt ends the
// process with a core dump when no window-system plugin can start. The guard explains instead, in
// one line, and exits with status 1. Both checks concern X11 and Wayland desktops only: on other
// systems (Windows, macOS) missingDisplay() is always empty and the guard catches nothing.
class DisplayGuard {
public:
    // Why the program cannot show a window, judged from the environment alone, or empty if a
    // display may be there. Call before creating the application object.
    static std::string missingDisplay();

    // While alive, catches a fatal start-up failure of the toolkit and holds back its other
    // messages; on destruction (start-up went well) they are passed on unchanged.
    DisplayGuard();
    ~DisplayGuard();

    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext& context,
                              const QString& message);

    // A message held back, with copies of its context's strings (null ones stay null).
    struct Held {
        QtMsgType type;
        std::optional<std::string> category, file, function;
        int line;
        QString message;
    };

    QtMessageHandler m_previous;
    static inline std::vector<Held> s_held;
};

} // namespace rotavel::app
