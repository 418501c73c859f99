// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "scene/rotor.h"

namespace rotavel::ui {

class DrawingArea;

// The frame's yield on screen. The picture is presented first (the frame's strokes composited and
// the bands of rows they changed queued for repaint), then one pass over the application's pending
// events (that repaint, clicks, a close), never waiting for new ones; a test may give a yield of
// its own to take that pass's place.
class EventLoopHost final : public scene::Host {
public:
    // `events`, when given, must outlive this host.
    explicit EventLoopHost(DrawingArea& picture, scene::Host* events = nullptr)
        : m_picture(picture), m_events(events) {}

    void processPendingEvents() override;

private:
    DrawingArea& m_picture;
    scene::Host* m_events;
};

} // namespace rotavel::ui
