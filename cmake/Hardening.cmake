# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Hardened binaries: stack protector, fortified libc calls, position-independent executables and
# full RELRO. Sanitized builds leave it out (fortify and the sanitizers both wrap the same calls).
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

if(NOT ROTAVEL_SANITIZE)
  add_compile_options(-fstack-protector-strong)
  # _FORTIFY_SOURCE needs optimisation; a Debug build gets the rest.
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE$<SEMICOLON>-D_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro,-z,now)
endif()
