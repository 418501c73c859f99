#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# The real program as a native client of a real Wayland compositor: a headless weston of its own
# that renders on the CPU, so its screenshots show what a screen would. The program is started with
# nothing but WAYLAND_DISPLAY. A first start, with libwayland's protocol log, must ask for its title
# and the desktop entry's app id. A second start, without the log, must say nothing at all: Run is
# pressed through the accessibility bus as a screen reader would, and the compositor's screenshots
# must show the background, then frames of the run, then its last frame. A second Run is ended by
# SIGTERM; each start must end with status 0.
#
# usage: wayland_e2e_test.sh PROGRAM WHOLE_FRAMES
# Needs the Debian packages weston, dbus, at-spi2-core, python3-gi and gir1.2-atspi-2.0; without
# weston it reports itself skipped.
program=$1 frames=$2
source "$(dirname "$0")/e2e_harness.sh"
skip_without weston weston weston-screenshooter
with_own_bus "$@"
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
    fail "python3 cannot load the accessibility bindings (install the Debian packages python3-gi" \
        "and gir1.2-atspi-2.0)"

# Nothing may lead Qt to X11 or away from the compositor.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR QT_WAYLAND_SHELL_INTEGRATION
socket=rotavel-$$
weston --backend=headless-backend.so --use-pixman --width=800 --height=600 --socket="$socket" \
    --idle-time=0 --no-config --debug --log="$work/weston.log" >/dev/null 2>&1 &
daemons+=($!)
listening() { [[ -S $XDG_RUNTIME_DIR/$socket ]]; }
wait_until 10 listening || fail "weston did not start"
on_weston=(WAYLAND_DISPLAY="$socket" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)

# The requests a native client sends, read from libwayland's protocol log by the request and its
# arguments alone, whatever each release puts before them on the line; an X11 client through a
# compatibility server sends none.
start_program "${on_weston[@]}" WAYLAND_DEBUG=1
sent() { grep -qF -- "$1" "$work/program.err"; }
wait_until 10 sent '.set_app_id(' || fail "the program did not show a window on the compositor"
sent '.set_app_id("io.github.rotavel.RotavelMotion")' ||
    fail "wrong app id: $(grep -o 'set_app_id(.*)' "$work/program.err")"
wait_until 5 sent '.set_title("Rotavel Motion")' ||
    fail "wrong title: $(grep -o 'set_title(.*)' "$work/program.err")"
end_program TERM log

# Without the protocol log the program's own output must stay empty, to the end of the run. The
# toolkit's own notes on the accessibility bus are not the program's words: Qt 6.11 writes one each
# time a newer bus asks for what it does not implement, so its logging rules leave that category out.
start_program "${on_weston[@]}" QT_LOGGING_RULES=qt.accessibility.atspi=false
atspi() { /usr/bin/python3 "$here/atspi_tool.py" "$app" "$@"; }
described() { [[ $(atspi describe Rotor 2>/dev/null) == "$1" ]]; }
wait_until 10 described "2 vanes, stopped" ||
    fail "the picture is not described as \"2 vanes, stopped\""

# The compositor's own view of the screen, saved as shot.png.
screenshot() {
    rm -rf "$work/shot" && mkdir "$work/shot"
    (cd "$work/shot" && WAYLAND_DISPLAY=$socket timeout 10 weston-screenshooter) ||
        fail "weston-screenshooter failed or hung"
    mv "$work"/shot/*.png "$work/shot.png" || fail "weston-screenshooter saved nothing"
}
# Finds the drawing area on the screen by the background it shows before the first Run.
located() { screenshot && "$frames" screen "$work/shot.png" >"$work/where" 2>/dev/null; }
wait_poll=0.3 wait_until 10 located || fail "the screen does not show the drawing area's background"
read -r _ _ x y <"$work/where"
# The label of the frame the drawing area shows (hub-bar:LABEL under a Run's hub bar), or nothing.
"$frames" load >"$work/frames"
showing() {
    local whole barless
    screenshot
    read -r whole barless _ < <("$frames" screen "$work/shot.png" "$x" "$y")
    awk -v whole="$whole" -v barless="$barless" '
        $1 == whole { found = $3; exit }
        $2 == barless && bar == "" { bar = "hub-bar:" $3 }
        END { print (found != "" ? found : bar) }' "$work/frames"
}

atspi press Run || fail "Run could not be pressed"
clicked=$(now_ms)
wait_until 5 described "2 vanes, turning" || fail "the picture is not described as turning"
label=$(showing)
# Any frame of the run but its last; right after the press, the hub bar over the background.
[[ $label =~ ^(hub-bar:)?(load:[0-9]+(:start-up-pen)?|background)$ && $label != load:503 &&
    $label != background ]] || fail "mid-run the screen shows ${label:-no whole frame}"
wait_until 15 described "2 vanes, stopped" || fail "the animation did not stop"
elapsed=$(($(now_ms) - clicked))
((elapsed >= 4500)) || fail "the animation stopped after only $elapsed ms"
label=$(showing)
[[ $label == load:503 ]] ||
    fail "after the run the screen shows ${label:-no whole frame}, not the run's last frame"

# A logout in the middle of a run: the program ends as when its window is closed.
atspi press Run || fail "Run could not be pressed a second time"
wait_until 5 described "2 vanes, turning" || fail "the second run did not start"
end_program TERM
echo "PASS (the run took $elapsed ms)"
