# `make package`: a Debian package of what Install.cmake installs, under /usr, named
# rotavel-motion_<version>_<arch>.deb. dpkg-shlibdeps (package dpkg-dev) finds the libraries the
# binary links; the Qt platform plugins are named by hand, because Qt loads them at run time and
# without them the window cannot open.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rotavel-motion)
set(CPACK_PACKAGE_VENDOR "The Rotavel Motion developers")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/rotavel/rotavel-motion)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated rotor with 1 to 8 vanes")
set(CPACK_PACKAGE_DESCRIPTION
    "Rotavel Motion shows a rotor in a window: a hub, vanes on pivot circles around it, a blade \
across each pivot turning at half the rotor's rate, and the links between them. Pick the number \
of vanes from the menu and press Run: the rotor turns four times, one frame every 10 ms.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Rotavel Motion developers <rotavel-motion@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# `make package_source` leaves out the build trees and the repository itself.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

include(CPack)
