// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/event_loop_host.h"

#include <QCoreApplication>

namespace rotavel::ui {

void EventLoopHost::processPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace rotavel::ui
