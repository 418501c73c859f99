// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/timer.h"

namespace rotavel::surface {

void Timer::deliverTick() {
    if (m_ticking) {
        ++m_held;
        return;
    }
    m_ticking = true;
    if (m_onTick)
        m_onTick();
    while (m_held > 0 && isEnabled()) {
        --m_held;
        m_onTick();
    }
    m_held = 0;
    m_ticking = false;
}

} // namespace rotavel::surface
