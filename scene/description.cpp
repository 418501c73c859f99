// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "scene/description.h"

namespace rotavel::scene {

std::string describeVanes(int nvanes) {
    return nvanes == 1 ? "1 vane" : std::to_string(nvanes) + " vanes";
}

std::string describePicture(int nvanes, bool turning) {
    std::string words = describeVanes(nvanes);
    words += turning ? ", turning" : ", stopped";
    return words;
}

} // namespace rotavel::scene
