// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "ui/event_loop_host.h"

#include "ui/drawing_area.h"

#include <QCoreApplication>

namespace rotavel::ui {

void EventLoopHost::processPendingEvents() {
    m_picture.present();
    if (m_events)
        m_events->processPendingEvents();
    else
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace rotavel::ui
