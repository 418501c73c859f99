# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Targets without Qt's code generators. qt_standard_project_setup() turns AUTOMOC, AUTOUIC and
# AUTORCC on for every target, which gives each an autogen step even when it has no Q_OBJECT, form
# or resource; these make the library or executable with all three off.
function(rotavel_add_plain_library name)
  add_library(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()

function(rotavel_add_plain_executable name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
