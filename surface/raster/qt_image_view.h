// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include "surface/raster/pixel_buffer.h"

#include <QImage>

namespace rotavel::raster {

// The pixels of `buffer` as a QImage at its device pixel ratio, without copying them: the view
// shows whatever is drawn into the buffer later, and is valid while the buffer lives and keeps its
// size. The const buffer's view is read-only (writing to it would detach a copy).
QImage qImageView(const PixelBuffer& buffer);
QImage qImageView(PixelBuffer& buffer);

} // namespace rotavel::raster
