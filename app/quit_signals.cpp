// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "app/quit_signals.h"

#include <QSocketNotifier>
#include <QtGlobal>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace rotavel::app {

#ifdef Q_OS_UNIX

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};

// The write end of the pipe, for the handler; -1 while no QuitSignals exists.
volatile std::sig_atomic_t s_writeEnd = -1;

extern "C" void onQuitSignal(int) {
    // Only async-signal-safe calls here. A full pipe already holds a wakeup, so a failed write
    // loses nothing.
    const int savedErrno = errno;
    const char byte = 1;
    if (s_writeEnd >= 0) {
        const ssize_t written = ::write(s_writeEnd, &byte, 1);
        static_cast<void>(written);
    }
    errno = savedErrno;
}

bool makeNonBlockingPipe(int (&ends)[2]) {
    if (::pipe(ends) != 0)
        return false;
    for (int end : ends) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> close, QObject* parent)
    : QObject(parent), m_close(std::move(close)) {
    if (!makeNonBlockingPipe(m_pipe)) {
        qWarning("rotavel-motion: cannot watch for SIGTERM and SIGINT: %s", std::strerror(errno));
        return;
    }
    auto* notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);
    s_writeEnd = m_pipe[1];

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // Restarting keeps the toolkit's own system calls from failing with EINTR; resetting lets a
    // second signal end a program whose close is stuck.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    if (m_pipe[0] < 0)
        return;
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    s_writeEnd = -1;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void QuitSignals::drain() {
    char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    m_close();
}

#else // no such signals to catch

QuitSignals::QuitSignals(std::function<void()> close, QObject* parent)
    : QObject(parent), m_close(std::move(close)) {}

QuitSignals::~QuitSignals() = default;

void QuitSignals::drain() {}

#endif

} // namespace rotavel::app
