// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/recording_surface.h"

namespace rotavel::surface {

void RecordingSurface::Scale(float x1, float y1, float x2, float y2) {
    m_log.append({Call::Op::Scale, x1, y1, x2, y2});
    if (m_forward)
        m_forward->Scale(x1, y1, x2, y2);
}

void RecordingSurface::Cls() {
    m_log.append({Call::Op::Cls});
    if (m_forward)
        m_forward->Cls();
}

void RecordingSurface::Line(float x1, float y1, float x2, float y2) {
    m_log.append({Call::Op::Line, x1, y1, x2, y2});
    if (m_forward)
        m_forward->Line(x1, y1, x2, y2);
}

void RecordingSurface::Line(float x, float y) {
    m_log.append({Call::Op::LineTo, x, y});
    if (m_forward)
        m_forward->Line(x, y);
}

void RecordingSurface::PSet(float x, float y) {
    m_log.append({Call::Op::PSet, x, y});
    if (m_forward)
        m_forward->PSet(x, y);
}

void RecordingSurface::setDrawWidth(int width) {
    m_log.append({.op = Call::Op::DrawWidth, .width = width});
    m_drawWidth = width;
    if (m_forward)
        m_forward->setDrawWidth(width);
}

void RecordingSurface::setForeColor(Colour colour) {
    m_log.append({.op = Call::Op::ForeColor, .colour = colour});
    m_foreColor = colour;
    if (m_forward)
        m_forward->setForeColor(colour);
}

void RecordingSurface::setAutoRedraw(bool on) {
    m_log.append({.op = Call::Op::AutoRedraw, .on = on});
    m_autoRedraw = on;
    if (m_forward)
        m_forward->setAutoRedraw(on);
}

} // namespace rotavel::surface
