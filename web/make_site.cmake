# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Names the build of the page after the bytes of all its files, and writes the two files that
# carry the name: index.html, which asks for the others with "?build=NAME", and the service
# worker, which keeps exactly these files, each with its SHA-256, under a cache of that name.
#
# cmake -DSOURCE=<folder of index.html and service_worker.js> -DSITE=<the site> -P make_site.cmake
# Every other file of the page must be in SITE already.
cmake_minimum_required(VERSION 3.25)

# The files index.html asks for with the build's name, and those asked for under their own name.
set(_named page.css page.js rotavel.js rotavel.wasm rotor_icon.png)
set(_plain manifest.webmanifest icons/rotavel-motion-192.png icons/rotavel-motion-512.png
           icons/rotavel-motion-maskable-512.png)

set(_all)
foreach(_file IN LISTS _named _plain)
  file(SHA256 ${SITE}/${_file} _sha256_${_file})
  string(APPEND _all "${_file} ${_sha256_${_file}}\n")
endforeach()
foreach(_template index.html service_worker.js)
  file(SHA256 ${SOURCE}/${_template} _sha256)
  string(APPEND _all "${_template} ${_sha256}\n")
endforeach()
string(SHA256 ROTAVEL_BUILD "${_all}")
string(SUBSTRING ${ROTAVEL_BUILD} 0 16 ROTAVEL_BUILD)

configure_file(${SOURCE}/index.html ${SITE}/index.html @ONLY)
file(SHA256 ${SITE}/index.html _sha256_index.html) # as written for this build

set(_entries)
foreach(_file IN LISTS _plain _named ITEMS index.html)
  set(_sha256 ${_sha256_${_file}})
  set(_address ${_file})
  if(_file IN_LIST _named)
    string(APPEND _address "?build=${ROTAVEL_BUILD}")
  endif()
  list(APPEND _entries "  [\"${_address}\", \"${_sha256}\"]")
endforeach()
list(JOIN _entries ",\n" ROTAVEL_FILES)
set(ROTAVEL_FILES "[\n${ROTAVEL_FILES},\n]")
configure_file(${SOURCE}/service_worker.js ${SITE}/service_worker.js @ONLY)
