// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

#include <string>

namespace rotavel::scene {

// A count of vanes in spoken words: "1 vane", "3 vanes" (not the menu's captions).
std::string describeVanes(int nvanes);

// What a screen reader is told the picture shows: "1 vane, turning", "2 vanes, stopped". The
// window and the page both say exactly these words.
std::string describePicture(int nvanes, bool turning);

} // namespace rotavel::scene
