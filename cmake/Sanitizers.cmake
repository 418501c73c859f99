# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# ROTAVEL_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer, and any
# report stops the program.
# The fuzzer's targets (tools/, tests/tools/) take the same checks.
option(ROTAVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# Out-of-range float-to-int conversions too, which `undefined` leaves out with g++: a NaN that
# reached the rasteriser's rounding would otherwise pass unseen.
set(ROTAVEL_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow
                            -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(ROTAVEL_SANITIZE)
  # Debug builds keep every check; -O1 keeps the suite quick enough to run on every change.
  add_compile_options(-O1)
  add_compile_options(${ROTAVEL_SANITIZER_FLAGS})
  add_link_options(${ROTAVEL_SANITIZER_FLAGS})
endif()
