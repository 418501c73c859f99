# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Sourced by the tests that run the real program on a display of their own (Xvfb or a headless
# weston): the commands they need, waiting with a deadline, a scratch folder and every process
# the test started cleaned up on the way out, the failure report, and the program's start and
# end. A test sets `program` before sourcing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher

# need_commands "PACKAGES" COMMAND...: fails the test if one is missing, naming the Debian
# packages; skip_without reports the test skipped instead, for a part a build can do without.
need_commands() { check_commands FAIL 1 "$@"; }
skip_without() { check_commands SKIP 77 "$@"; }
check_commands() {
    local command
    for command in "${@:4}"; do
        command -v "$command" >/dev/null ||
            { echo "$1: $command is missing (install the Debian packages $3)"; exit "$2"; }
    done
}

work=$(mktemp -d)
app=        # the program
daemons=()  # the display server, the accessibility bus, helpers
cleanup() {
    local pid
    for pid in "$app" "${daemons[@]}"; do
        [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
# The runtime folder a desktop session has; without one Qt warns on standard error.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A session bus of our own with an accessibility bus on it, for a screen reader's view: the test
# runs again inside dbus-run-session, which ends the bus with it. Takes the test's arguments.
with_own_bus() {
    need_commands "dbus and at-spi2-core" dbus-run-session "$launcher"
    if [[ -z ${ROTAVEL_OWN_BUS:-} ]]; then
        rm -rf "$work"
        ROTAVEL_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
    fi
    env -u DISPLAY "$launcher" --launch-immediately >/dev/null 2>&1 &
    daemons+=($!)
}

# The failure, with the program's output and the logs.
fail() {
    echo "FAIL: $*"
    local log
    for log in "$work"/program.out "$work"/program.err "$work"/*.log; do
        [[ -s $log ]] && { echo "--- ${log##*/} (last lines)"; tail -n 20 "$log"; }
    done
    exit 1
} >&2

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

# An X server of our own: Xvfb picks a free display and tells it on file descriptor 3. Nothing is
# left that would send Qt elsewhere or scale it.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    daemons+=($!)
    has_line() { [[ $(wc -l <"$1") -ge 1 ]]; }
    wait_until 10 has_line "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR
}

# Starts the program with its environment's locale replaced by the arguments (NAME=VALUE...):
# with none, no locale at all, as in a service or a container.
start_program() {
    env -u LC_ALL -u LC_CTYPE -u LANG "$@" "$program" >"$work/program.out" 2>"$work/program.err" &
    app=$!
}

# Alive and not a zombie: a dead child stays visible to kill -0 until it is waited for.
alive() {
    local state
    read -r _ _ state _ 2>/dev/null <"/proc/$app/stat" && [[ $state != Z ]]
}

# Ends the program as a user or the session would: TERM as a logout does, INT as Ctrl+C in a
# terminal does, `close` for a close already asked of its window. Every way must end it as a close
# does: exit status 0, and not a word written unless the test asked for a log (`log`).
end_program() {
    [[ $1 == close ]] || kill -s "$1" "$app"
    ended() { ! alive; }
    wait_until 10 ended || fail "the program did not end after $1"
    local status=0
    wait "$app" || status=$?
    app=
    ((status == 0)) || fail "exit status $status after $1"
    [[ ${2:-} == log || ! -s $work/program.out && ! -s $work/program.err ]] ||
        fail "the program wrote something before ending by $1"
}
