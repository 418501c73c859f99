// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// Built into the sanitizer build only. The toolkit unloads the graphics driver it loaded for its
// Wayland connection before the leak check runs at exit, and a leak report then shows the driver's
// frames as an unknown module that no suppression can name. Keeping every library mapped until
// exit lets the report name them and the toolkit's own leaks be suppressed by library, as ours
// never are.
#include <dlfcn.h>

extern "C" int dlclose(void*) noexcept {
    return 0;
}
