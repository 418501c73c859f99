#include "ui/event_loop_host.h"

#include <QCoreApplication>

namespace rotavel::ui {

void EventLoopHost::processPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace rotavel::ui
