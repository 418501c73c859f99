// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/manual_timer.h"

namespace rotavel::surface {

void ManualTimer::setEnabled(bool on) {
    if (m_log)
        m_log->append({.op = Call::Op::Timer, .on = on});
    m_enabled = on;
}

bool ManualTimer::fire() {
    if (!m_enabled)
        return false;
    deliverTick();
    return true;
}

} // namespace rotavel::surface
