// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/call_log.h"
#include "surface/timer.h"

namespace rotavel::surface {

// A timer ticked by hand: the headless driver's, the page's (its script fires it) and the tests'.
// Every assignment of `Enabled` is logged when a log is given, even one that changes nothing.
class ManualTimer final : public Timer {
public:
    explicit ManualTimer(CallLog* log = nullptr) : m_log(log) {}

    void setEnabled(bool on) override;
    bool isEnabled() const override { return m_enabled; }

    // One fire of the timer: while enabled, a tick is delivered (held, if a tick is running).
    // Returns whether the timer was on.
    bool fire();

private:
    CallLog* m_log = nullptr;
    bool m_enabled = false;
};

} // namespace rotavel::surface
