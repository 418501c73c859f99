# Installs the program as a desktop application: the binary, its desktop entry, its icon in the
# hicolor theme (the 32 x 32 window icon and two larger drawings of it) and its AppStream metainfo.
# Only the program is installed: the headless driver, the tests and the benchmarks stay in the build.
include(GNUInstallDirs)

# Installing never builds: `make install` and `make package` build first, and cpack, run by the
# package test, must not rebuild the tree under the tests running beside it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The reverse-DNS name the desktop knows the program by; the file names in dist/ follow it.
set(ROTAVEL_APP_ID io.github.rotavel.RotavelMotion)

# The program links only system libraries, found without a search path; the $ORIGIN paths Qt's
# project set-up adds would only let a stray library beside the binary be loaded instead.
set_target_properties(rotavel-motion PROPERTIES INSTALL_RPATH "")
install(TARGETS rotavel-motion RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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
