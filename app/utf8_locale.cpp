// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "app/utf8_locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace rotavel::app {

void chooseUtf8CharacterType() {
    // The character type the environment gives, read as Qt will read it (LC_ALL, then LC_CTYPE,
    // then LANG). One that is not installed is the user's choice all the same: left alone.
    const char* given = std::setlocale(LC_CTYPE, "");
    const bool plain = given && (std::strcmp(given, "C") == 0 || std::strcmp(given, "POSIX") == 0);
    const bool available = plain && std::setlocale(LC_CTYPE, "C.UTF-8");
    std::setlocale(LC_CTYPE, "C"); // as it was: Qt reads the environment afresh
    if (!available)
        return;
    // LC_ALL outranks LC_CTYPE; where it is set it names the plain locale for every category, and
    // C.UTF-8 is that same locale but for its character type.
    const char* all = std::getenv("LC_ALL");
    setenv(all && *all ? "LC_ALL" : "LC_CTYPE", "C.UTF-8", 1);
}

} // namespace rotavel::app
