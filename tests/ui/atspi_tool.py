#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

"""What the end-to-end tests ask of a running program through its accessibility, as a screen
reader would: read an accessible's description, or press it.

  atspi_tool.py PID describe NAME   prints the description of the accessible called NAME
  atspi_tool.py PID press NAME      does its first action (a button's press)

Exits 1 if the program with that process id is not on the accessibility bus (yet) or has no such
accessible. Needs the Debian packages python3-gi and gir1.2-atspi-2.0.
"""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def named(accessible, name, depth=0):
    if accessible.get_name() == name:
        return accessible
    if depth > 20:
        return None
    for i in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(i)
        found = child and named(child, name, depth + 1)
        if found:
            return found
    return None


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    pid, command = int(argv[1]), argv[2]
    app = application(pid)
    if app is None:
        sys.stderr.write(f"atspi_tool: no application with process id {pid} on the bus\n")
        return 1
    target = named(app, argv[3])
    if target is None:
        sys.stderr.write(f"atspi_tool: no accessible called {argv[3]}\n")
        return 1
    if command == "describe":
        print(target.get_description())
        return 0
    if command == "press":
        return 0 if target.do_action(0) else 1
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except GLib.Error as error:
        sys.stderr.write(f"atspi_tool: {error.message}\n")
        sys.exit(1)
