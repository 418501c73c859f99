// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#pragma once

namespace rotavel::app {

// Qt works in a UTF-8 character type and, where the environment gives only the plain "C" one (no
// locale set at all, as in a container, a chroot or a service), switches to C.UTF-8 itself and
// says so on standard error; the program promises silence. Call before creating the application
// object: where the environment's character type is the plain one, this asks for C.UTF-8 in its
// place, which differs from "C" in the character type alone. A locale the user chose is left as
// it is.
void chooseUtf8CharacterType();

} // namespace rotavel::app
