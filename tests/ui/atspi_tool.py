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


def children(accessible):
    return (accessible.get_child_at_index(i) for i in range(accessible.get_child_count()))


def named(accessible, name, depth=0):
    if accessible.get_name() == name:
        return accessible
    found = (named(c, name, depth + 1) for c in children(accessible) if c and depth < 20)
    return next((f for f in found if f), None)


def main(pid, command, name):
    app = next((a for a in children(Atspi.get_desktop(0)) if a and a.get_process_id() == pid), None)
    target = app and named(app, name)
    if not target:
        sys.exit(f"atspi_tool: no accessible called {name} in process {pid} on the bus")
    if command == "describe":
        print(target.get_description())
    elif command != "press" or not target.do_action(0):
        sys.exit(1)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[2] not in ("describe", "press"):
        sys.exit(__doc__)
    try:
        main(int(sys.argv[1]), sys.argv[2], sys.argv[3])
    except GLib.Error as error:
        sys.exit(f"atspi_tool: {error.message}")
