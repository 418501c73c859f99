# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Names the build of the page after the bytes of all its files, and writes the files that carry
# the name: index.html, which asks for the others with "?build=NAME", and the service worker, which
# keeps exactly these files, each with its SHA-256, under a cache of that name. Then the page in
# one file, rotavel-motion.html, with its style, scripts, module and icon inside: into the site,
# and to ONE_FILE too if given.
#
# cmake -DSOURCE=<folder of index.html and service_worker.js> -DSITE=<the site> [-DONE_FILE=<path>]
#       -P make_site.cmake
# Every other file of the page must be in SITE already.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/files.cmake)

set(_all)
foreach(_file IN LISTS ROTAVEL_NAMED_FILES ROTAVEL_PLAIN_FILES)
  file(SHA256 ${SITE}/${_file} _sha256_${_file})
  string(APPEND _all "${_file} ${_sha256_${_file}}\n")
endforeach()
foreach(_template index.html service_worker.js)
  file(SHA256 ${SOURCE}/${_template} _sha256)
  string(APPEND _all "${_template} ${_sha256}\n")
endforeach()
string(SHA256 ROTAVEL_BUILD "${_all}")
string(SUBSTRING ${ROTAVEL_BUILD} 0 16 ROTAVEL_BUILD)

set(ROTAVEL_ICON "rotor_icon.png?build=${ROTAVEL_BUILD}")
set(ROTAVEL_STYLE "<link rel=\"stylesheet\" href=\"page.css?build=${ROTAVEL_BUILD}\">")
set(ROTAVEL_SCRIPTS "<script src=\"rotavel.js?build=${ROTAVEL_BUILD}\"></script>
<script src=\"page.js?build=${ROTAVEL_BUILD}\"></script>")
configure_file(${SOURCE}/index.html ${SITE}/index.html @ONLY)
file(SHA256 ${SITE}/index.html _sha256_index.html) # as written for this build

set(_entries)
foreach(_file IN LISTS ROTAVEL_PLAIN_FILES ROTAVEL_NAMED_FILES ITEMS index.html)
  set(_address ${_file})
  if(_file IN_LIST ROTAVEL_NAMED_FILES)
    string(APPEND _address "?build=${ROTAVEL_BUILD}")
  endif()
  list(APPEND _entries "  [\"${_address}\", \"${_sha256_${_file}}\"]")
endforeach()
list(JOIN _entries ",\n" ROTAVEL_FILES)
set(ROTAVEL_FILES "[\n${ROTAVEL_FILES},\n]")
configure_file(${SOURCE}/service_worker.js ${SITE}/service_worker.js @ONLY)

# The one file: the same page with each file it asks for written in its place (the icon as a data
# address, each byte percent-encoded).
file(READ ${SITE}/rotor_icon.png _icon HEX)
string(REGEX REPLACE "(..)" "%\\1" _icon "${_icon}")
set(ROTAVEL_ICON "data:image/png,${_icon}")
file(READ ${SITE}/page.css _style)
set(ROTAVEL_STYLE "<style>\n${_style}</style>")
file(READ ${SITE}/rotavel.js _module)
file(READ ${SITE}/page.js _script)
set(ROTAVEL_SCRIPTS "<script>\n${_module}</script>\n<script>\n${_script}</script>")
configure_file(${SOURCE}/index.html ${SITE}/rotavel-motion.html @ONLY)
if(ONE_FILE)
  configure_file(${SITE}/rotavel-motion.html ${ONE_FILE} COPYONLY)
endif()
