# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# The page's files beside index.html and the service worker, for the build that copies them and
# for make_site.cmake, which names the build after them: those index.html asks for with the build's
# name, and those asked for under their own.
set(ROTAVEL_NAMED_FILES page.css page.js rotavel.js rotor_icon.png)
set(ROTAVEL_PLAIN_FILES manifest.webmanifest icons/rotavel-motion-192.png
                        icons/rotavel-motion-512.png icons/rotavel-motion-maskable-512.png)
