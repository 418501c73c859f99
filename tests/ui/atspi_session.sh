#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Runs a test program the way a screen reader's session runs the program: on an X server of its
# own, in a D-Bus session with an AT-SPI accessibility bus, where Qt switches its accessibility on
# and sends its change events.
#
# usage: atspi_session.sh PROGRAM [ARGUMENTS...]
# Needs Xvfb, dbus-run-session and at-spi-bus-launcher (Debian packages xvfb, dbus, at-spi2-core).
set -euo pipefail

launcher=/usr/libexec/at-spi-bus-launcher
for command in Xvfb dbus-run-session "$launcher"; do
    if ! command -v "$command" >/dev/null; then
        echo "FAIL: $command is missing (install the Debian packages xvfb, dbus and at-spi2-core)"
        exit 1
    fi
done

work=$(mktemp -d)
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it on file descriptor 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }

export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 # as if a screen reader had asked for it
unset WAYLAND_DISPLAY QT_SCALE_FACTOR

# The bus launcher ends with the session.
dbus-run-session -- bash -c 'env -u DISPLAY "$0" --launch-immediately & exec "$@"' "$launcher" "$@"
