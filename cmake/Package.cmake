# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# `make package`: a Debian package of what Install.cmake installs, under /usr, named
# rotavel-motion_<version>_<arch>.deb. dpkg-shlibdeps (package dpkg-dev) finds the libraries the
# binary links; the Qt platform plugins are named by hand, because Qt loads them at run time and
# without them the window cannot open.
#
# The package also holds what Debian asks of every package and a plain install has no use for: the
# machine-readable copyright file and the changelog, installed only by the deb_doc component.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rotavel-motion)
set(CPACK_PACKAGE_VENDOR "The Rotavel Motion developers")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/rotavel/rotavel-motion)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated rotor with 1 to 8 vanes")
# The long description, below the summary: dpkg shows its lines as they stand, so each is kept
# within 80 columns; the empty line parts two paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Rotavel Motion shows a rotor in a window: a hub, vanes on pivot circles
around it, a blade across each pivot turning at half the rotor's rate, and
the links between them. Pick the number of vanes from the menu and press
Run: the rotor turns four times, one frame every 10 ms.

The package also holds rotor-headless, which runs the rotor from a script
without a window and prints every drawing call, for making frames and
checking scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Rotavel Motion developers <rotavel-motion@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The native window on a Wayland desktop; without it the program runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# `make package_source` leaves out the build trees and the repository itself.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

set(_doc ${CMAKE_BINARY_DIR}/debian-doc)
add_custom_command(OUTPUT ${_doc}/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${_doc}
                   COMMAND ${ROTAVEL_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/dist/debian/changelog
                           > ${_doc}/changelog.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/dist/debian/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${_doc}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${_doc}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/rotavel-motion COMPONENT deb_doc EXCLUDE_FROM_ALL)
# Everything a plain install puts in place, then the package's own files.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/"
                                 "${CMAKE_BINARY_DIR};${PROJECT_NAME};deb_doc;/")

include(CPack)
