// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "surface/raster/qt_image_view.h"

namespace rotavel::raster {

QImage qImageView(const PixelBuffer& buffer) {
    QImage view(reinterpret_cast<const uchar*>(buffer.data()), buffer.width(), buffer.height(),
                buffer.bytesPerLine(), QImage::Format_RGB32);
    view.setDevicePixelRatio(buffer.devicePixelRatio());
    return view;
}

QImage qImageView(PixelBuffer& buffer) {
    QImage view(reinterpret_cast<uchar*>(buffer.data()), buffer.width(), buffer.height(),
                buffer.bytesPerLine(), QImage::Format_RGB32);
    view.setDevicePixelRatio(buffer.devicePixelRatio());
    return view;
}

} // namespace rotavel::raster
