// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "scene/rotor.h"

namespace rotavel::ui {

// The frame's yield on screen: one pass over the application's pending events (repaints, clicks,
// a close), never waiting for new ones.
class EventLoopHost final : public scene::Host {
public:
    void processPendingEvents() override;
};

} // namespace rotavel::ui
