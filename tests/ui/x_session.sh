# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Sourced by the tests that run the real program on an X server of their own: checking for the
# commands they need, waiting with a deadline, and starting Xvfb on a free display. The sourcing
# script sets `work` (a scratch folder) and `xvfb=` (for its cleanup), and defines `fail`.

# need_commands "PACKAGES" COMMAND...: fails the test, naming the Debian packages, if any is missing.
# skip_without does the same for a part a build can do without: the test reports itself skipped.
need_commands() { check_commands FAIL 1 "$@"; }
skip_without() { check_commands SKIP 77 "$@"; }
check_commands() {
    local verdict=$1 status=$2 packages=$3 command
    shift 3
    for command in "$@"; do
        command -v "$command" >/dev/null && continue
        echo "$verdict: $command is missing (install the Debian packages $packages)"
        exit "$status"
    done
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs the rest of the arguments every $wait_poll seconds (0.1 unless set) until they succeed or
# $1 seconds have passed.
wait_until() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        (($(now_ms) < deadline)) || return 1
        sleep "${wait_poll:-0.1}"
    done
}

# A display of our own: Xvfb picks a free number and tells it on file descriptor 3. Exports
# DISPLAY and leaves nothing that would send Qt elsewhere or scale it.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb=$!
    has_line() { [[ $(wc -l <"$1") -ge 1 ]]; }
    wait_until 10 has_line "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(head -n 1 "$work/display")"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR
}
