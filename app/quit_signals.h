// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <functional>

namespace rotavel::app {

// Turns SIGTERM (a logout, a service manager) and SIGINT (Ctrl+C in a terminal) into the same
// close a user gives the window, so the program ends the way it always does, with status 0. The
// signal handler only writes a byte to a pipe; the close itself runs in the event loop, where the
// pipe's notifier fires, between frames or inside a frame's yield like any other close.
//
// Each signal is caught once: a second one of the same kind, while the first close is still on
// its way, ends the program at once as usual. Only one QuitSignals may exist at a time. Where
// there are no such signals (not a Unix system), it does nothing.
class QuitSignals final : public QObject {
    Q_OBJECT

public:
    // Catches both signals from now on; `close` runs in the event loop after either arrives.
    explicit QuitSignals(std::function<void()> close, QObject* parent = nullptr);
    // Gives both signals back their default action.
    ~QuitSignals() override;

    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    void drain();

    std::function<void()> m_close;
    int m_pipe[2] = {-1, -1};
};

} // namespace rotavel::app
