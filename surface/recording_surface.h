// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/call_log.h"
#include "surface/surface.h"

namespace rotavel::surface {

// Logs every call into a `CallLog` and, when given one, hands it on to another surface (the image
// the headless driver saves). Pen and auto-redraw state are kept here so the getters work alone.
class RecordingSurface final : public Surface {
public:
    explicit RecordingSurface(CallLog& log, Surface* forward = nullptr)
        : m_log(log), m_forward(forward) {}

    void Scale(float x1, float y1, float x2, float y2) override;
    void Cls() override;
    void Line(float x1, float y1, float x2, float y2) override;
    void Line(float x, float y) override;
    void PSet(float x, float y) override;
    void setDrawWidth(int width) override;
    int drawWidth() const override { return m_drawWidth; }
    void setForeColor(Colour colour) override;
    Colour foreColor() const override { return m_foreColor; }
    void setAutoRedraw(bool on) override;
    bool autoRedraw() const override { return m_autoRedraw; }

private:
    CallLog& m_log;
    Surface* m_forward = nullptr;
    int m_drawWidth = PenDefaults::kDrawWidth;
    Colour m_foreColor = PenDefaults::kForeColor;
    bool m_autoRedraw = false;
};

} // namespace rotavel::surface
