# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# ROTAVEL_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer, and any
# report stops the program.
option(ROTAVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(ROTAVEL_SANITIZE)
  # Out-of-range float-to-int conversions too, which `undefined` leaves out: a NaN that reached the
  # rasteriser's rounding would otherwise pass unseen.
  set(_san -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
           -fno-omit-frame-pointer)
  # Debug builds keep every check; -O1 keeps the suite quick enough to run on every change.
  add_compile_options(-O1)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()
