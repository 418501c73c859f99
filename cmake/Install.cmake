# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Installs the program as a desktop application: the binary, its desktop entry, its icon in the
# hicolor theme (the 32 x 32 window icon and two larger drawings of it) and its AppStream metainfo;
# and the headless driver beside it, each with its manual page. The tests and the benchmarks stay
# in the build.
include(GNUInstallDirs)

# Installing never builds: `make install` and `make package` build first, and cpack, run by the
# package test, must not rebuild the tree under the tests running beside it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The program links only system libraries, found without a search path; the $ORIGIN paths Qt's
# project set-up adds would only let a stray library beside the binary be loaded instead.
set_target_properties(rotavel-motion rotor-headless PROPERTIES INSTALL_RPATH "")
install(TARGETS rotavel-motion rotor-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (--strip, and cpack) also drops the sections no one reads at run time: the
# compilers' version strings and the bare .note; the build id stays for matching debug symbols.
find_program(ROTAVEL_OBJCOPY NAMES objcopy)
if(ROTAVEL_OBJCOPY)
  foreach(_program rotavel-motion rotor-headless)
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${ROTAVEL_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${_program}\"
                        COMMAND_ERROR_IS_FATAL ANY)
      endif()")
  endforeach()
endif()

# The manual pages, with the program's version in their footer, compressed as man finds them; -n
# keeps the name and time out, so the same page always gives the same bytes.
find_program(ROTAVEL_GZIP gzip REQUIRED)
set(_man_pages)
foreach(_page rotavel-motion rotor-headless)
  set(_roff ${CMAKE_BINARY_DIR}/man/${_page}.1)
  set(_gz ${_roff}.gz)
  configure_file(${PROJECT_SOURCE_DIR}/dist/man/${_page}.1 ${_roff} @ONLY)
  add_custom_command(OUTPUT ${_gz}
                     COMMAND ${ROTAVEL_GZIP} -9n -c ${_roff} > ${_gz}
                     DEPENDS ${_roff} VERBATIM)
  list(APPEND _man_pages ${_gz})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/dist/${ROTAVEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/${ROTAVEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(_hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/assets/rotor_icon.png
        DESTINATION ${_hicolor}/32x32/apps RENAME ${ROTAVEL_APP_ID}.png)
foreach(_size 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/rotavel-motion-${_size}.png
          DESTINATION ${_hicolor}/${_size}x${_size}/apps RENAME ${ROTAVEL_APP_ID}.png)
endforeach()
