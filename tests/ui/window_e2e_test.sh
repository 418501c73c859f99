#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# The real program on a real X server, driven like a user: find the window by its caption, click
# Run, watch the picture animate and come to rest, close the window, expect exit status 0. Then
# once more, closing it in the middle of the animation, and ended by SIGTERM and SIGINT.
#
# usage: window_e2e_test.sh PROGRAM X11_WINDOW_TOOL [SCREENSHOT.png]
# With a third argument the window is also saved there, mid-animation.
# Needs Xvfb and xdotool (Debian packages xvfb and xdotool).
set -euo pipefail

program=$1
tool=$2
screenshot=${3:-}

source "$(dirname "$0")/x_session.sh"
need_commands "xvfb and xdotool" Xvfb xdotool

work=$(mktemp -d)
xvfb=
app=
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null || true
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    if [[ -s $work/program.log ]]; then
        echo "--- program output"
        cat "$work/program.log"
    fi
    exit 1
}



start_xvfb
# The runtime folder a desktop session has; without one Qt warns on standard error.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

window=
menu_height=
# Arguments are the locale to start with (NAME=VALUE ...); none, no locale at all, as in a service
# or a container: the program must stay silent either way.
start_program() {
    env -u LC_ALL -u LC_CTYPE -u LANG "$@" "$program" >"$work/program.log" 2>&1 &
    app=$!
    window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Rotavel Motion$' | head -n 1) ||
        fail "no window captioned \"Rotavel Motion\" appeared"
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The client area is 455 x 427 below the menu bar.
    [[ $WIDTH -eq 455 && $HEIGHT -gt 427 ]] || fail "window is ${WIDTH}x${HEIGHT}"
    menu_height=$((HEIGHT - 427))
    # The class is the desktop entry's name, so a desktop finds the entry and its icon.
    local class
    class=$("$tool" class "$window")
    [[ $class == "rotavel-motion io.github.rotavel.RotavelMotion" ]] ||
        fail "WM_CLASS is \"$class\""
}

# The drawing area's interior below the Run button, where the rotor turns.
picture() { "$tool" checksum "$window" 2 $((menu_height + 42)) 448 384; }

click_run() {
    # A click from a pointer that never moved may be ignored: move it onto the button first.
    xdotool mousemove --window "$window" --sync 44 $((menu_height + 24))
    xdotool click 1
}

changed_from() { [[ $(picture) != "$1" ]]; }

# Three samples in a row that agree, a fifth of a second apart: the picture has come to rest.
last=
same=0
at_rest() {
    local now
    now=$(picture)
    if [[ $now == "$last" ]]; then
        same=$((same + 1))
    else
        same=0
        last=$now
    fi
    ((same >= 2)) || { sleep 0.1; return 1; }
}

# Ends the program as a user or the session would: "close" as the window manager's close button
# does, TERM as a logout does, INT as Ctrl+C in a terminal does. Every way must end it as a
# close does: exit status 0 and not a word on standard error.
end_and_expect_success() {
    if [[ $1 == close ]]; then
        "$tool" close "$window"
    else
        kill -s "$1" "$app"
    fi
    has_ended() { ! kill -0 "$app" 2>/dev/null; }
    wait_until 10 has_ended || fail "the program did not end after $1"
    local status=0
    wait "$app" || status=$?
    app=
    ((status == 0)) || fail "exit status $status after $1"
    [[ ! -s $work/program.log ]] || fail "the program wrote something before ending by $1"
}

# 1. A whole animation.
start_program
background=$(picture)
click_run
clicked=$(now_ms)
wait_until 5 changed_from "$background" || fail "the picture did not change after Run"
frame=$(picture)
wait_until 5 changed_from "$frame" || fail "the picture changed once but is not animating"
if [[ -n $screenshot ]]; then
    # A second and a half into the run, when the rotor has turned a little.
    past() { (($(now_ms) - clicked >= $1)); }
    wait_until 5 past 1500
    "$tool" grab "$window" "$screenshot"
fi
wait_until 20 at_rest || fail "the animation did not stop"
elapsed=$(($(now_ms) - clicked))
# 503 ticks of 10 ms; the rest detector adds its own 0.4 s or so.
((elapsed >= 4500)) || fail "the animation stopped after only $elapsed ms"
[[ $(picture) != "$background" ]] || fail "the last frame did not stay on screen"
end_and_expect_success close

# 2. Closed while animating: the close lands between frames or inside a frame's yield.
start_program
background=$(picture)
click_run
wait_until 5 changed_from "$background" || fail "the picture did not change after Run"
end_and_expect_success close

# 3. A logout in the middle of the animation, and Ctrl+C with the rotor at rest.
start_program LANG=C.UTF-8
background=$(picture)
click_run
wait_until 5 changed_from "$background" || fail "the picture did not change after Run"
end_and_expect_success TERM
start_program LC_ALL=C
end_and_expect_success INT

kill "$xvfb" 2>/dev/null || true
xvfb=
echo "PASS"
