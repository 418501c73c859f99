#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# The real program on its own X server, under a storm of clicks: while the rotor turns, hundreds of
# random clicks on Run and on the vane menu's items (by pointer and by keyboard), with random short
# pauses and bursts with none at all, so that clicks land inside a frame's yield; then a close in
# the middle of a run.
#
# Expected: the program stays alive throughout, every picture the drawing area shows is a whole
# frame (one the headless driver renders, or a frame with a Run's hub bar drawn over it until the
# next tick), the last picture before the close is a whole frame of a run still under way, the
# program exits with status 0, and it writes nothing on standard error.
#
# usage: window_stress_test.sh PROGRAM X11_WINDOW_TOOL WHOLE_FRAMES ROTOR_HEADLESS
# ROTAVEL_STRESS_SEED picks another random sequence (the seed in use is printed first);
# ROTAVEL_STRESS_BURSTS sets the number of bursts per program run.
# Needs Xvfb and xdotool (Debian packages xvfb and xdotool).
set -euo pipefail

program=$1
tool=$2
whole_frames=$3
driver=$4

seed=${ROTAVEL_STRESS_SEED:-4721}
bursts=${ROTAVEL_STRESS_BURSTS:-24}
runs=2 # program runs, each ending in a close under way
echo "seed $seed (repeat with ROTAVEL_STRESS_SEED=$seed), $bursts bursts a run, $runs runs"
RANDOM=$seed

source "$(dirname "$0")/x_session.sh"
need_commands "xvfb and xdotool" Xvfb xdotool

work=$(mktemp -d)
mkdir "$work/unmatched"
xvfb=
app=
frames_job=
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null || true
    [[ -n $frames_job ]] && kill "$frames_job" 2>/dev/null || true
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "seed $seed"
    local keep
    keep=$(mktemp -d "${TMPDIR:-/tmp}/window-stress-failure.XXXXXX")
    cp -r "$work/unmatched" "$work"/*.log "$work"/*.txt "$keep/" 2>/dev/null || true
    echo "kept for a look: $keep (samples that matched no whole frame are in unmatched/)"
    for log in program.out program.err; do
        if [[ -s $work/$log ]]; then
            echo "--- $log"
            cat "$work/$log"
        fi
    done
    exit 1
}

started=$(now_ms)
wait_poll=0.02 # the pictures change every 10 ms

# Random numbers come only from here, never in a subshell: the sequence of actions then depends on
# the seed alone. Sets r to a number from 0 to $1 - 1.
r=0
roll() { r=$((RANDOM % $1)); }

# 1. Every whole frame, rendered by the headless driver's code while the X server starts. Two of
# them also straight from the driver program, to tie the table to the driver's own pictures.
"$whole_frames" >"$work/frames.txt" 2>"$work/frames.log" &
frames_job=$!

start_xvfb
# A private runtime folder, so that Qt has nothing to say about a missing one.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

printf '%s\n' load activate 'menu ssix' run 'tick 200' "save $work/ssix-200.png" >"$work/check.script"
printf '%s\n' load activate run tick "save $work/first.png" >"$work/first.script"
"$driver" <"$work/check.script" >/dev/null || fail "rotor-headless failed"
"$driver" <"$work/first.script" >/dev/null || fail "rotor-headless failed"
wait "$frames_job" || fail "whole_frames failed: $(cat "$work/frames.log")"
frames_job=
frame_count=$(wc -l <"$work/frames.txt")
((frame_count == 8 * 504 + 1)) || fail "whole_frames gave $frame_count pictures"
"$whole_frames" png "$work/ssix-200.png" "$work/first.png" >"$work/driver-sums.txt"
same_sums() { [[ $(grep -c " $2\$" "$work/frames.txt") -eq 1 && $(grep " $2\$" "$work/frames.txt" | cut -d' ' -f1-2) == "$1" ]]; }
same_sums "$(sed -n 1p "$work/driver-sums.txt" | cut -d' ' -f1-2)" ssix:200 ||
    fail "the frame table disagrees with rotor-headless on ssix:200"
same_sums "$(sed -n 2p "$work/driver-sums.txt" | cut -d' ' -f1-2)" load:1:start-up-pen ||
    fail "the frame table disagrees with rotor-headless on the first frame"
echo "$frame_count whole frames, $(($(now_ms) - started)) ms"

# 2. The program and its window.
window=
menu_height=
start_program() {
    "$program" >"$work/program.out" 2>"$work/program.err" &
    app=$!
    window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Rotavel Motion$' | head -n 1) ||
        fail "no window captioned \"Rotavel Motion\" appeared"
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [[ $WIDTH -eq 455 && $HEIGHT -gt 427 ]] || fail "window is ${WIDTH}x${HEIGHT}"
    [[ $X -eq 0 && $Y -eq 0 ]] || fail "window at ($X, $Y), not at the corner of a screen with no window manager"
    menu_height=$((HEIGHT - 427))
}

# Alive and not a zombie: a dead child stays visible to kill -0 until it is waited for.
alive() {
    local pid name state
    read -r pid name state _ 2>/dev/null <"/proc/$app/stat" && [[ $state != Z ]]
}
check_alive() { alive || fail "the program died ($1)"; }

popups() { "$tool" popups; }
no_popups() { [[ -z $(popups) ]]; }
has_popup() { [[ -n $(popups) ]]; }

# Watches the drawing area's interior for $1 ms (then closes the window if $2 is `close`); every
# sample must be a whole frame. The report lands in $work/watch.txt.
samples=0
whole=0
hub_bar=0
covered=0
watches=0
count_samples() { # from a report's first line: "watch samples N whole W hub-bar B covered C ..."
    local word n whole_n bar_n covered_n
    read -r word word n word whole_n word bar_n word covered_n _ <"$1"
    samples=$((samples + n))
    whole=$((whole + whole_n))
    hub_bar=$((hub_bar + bar_n))
    covered=$((covered + covered_n))
    watches=$((watches + 1))
}
watch() {
    local status=0
    "$tool" watch "$window" 2 $((menu_height + 2)) "$1" "$work/frames.txt" "$work/unmatched" \
        ${2:-} >"$work/watch.txt" 2>"$work/watch.log" || status=$?
    if ((status != 0)); then
        cat "$work/watch.txt" "$work/watch.log"
        fail "the drawing area showed a picture that is no whole frame"
    fi
    count_samples "$work/watch.txt"
}
last_label() { sed -n 's/^last //p' "$work/watch.txt"; }

# A single sample, not judged: true when it is a whole frame.
shows_whole_frame() {
    "$tool" watch "$window" 2 $((menu_height + 2)) 0 "$work/frames.txt" /nonexistent \
        >/dev/null 2>&1
}

# Lets the window come to rest between bursts: popups closed, the pointer off the button, and the
# parts a popup covered painted again (until then they hold the popup's pixels; that is the
# window system's doing, not a frame, so this waits rather than judges).
settle() {
    local tries=0
    while has_popup; do
        ((tries < 5)) || fail "a popup stayed open"
        xdotool key Escape
        tries=$((tries + 1))
        wait_until 1 no_popups || true
    done
    xdotool mousemove --window "$window" 300 $((menu_height + 300))
    wait_until 5 shows_whole_frame || {
        "$tool" watch "$window" 2 $((menu_height + 2)) 0 "$work/frames.txt" "$work/unmatched" || true
        fail "the window shows no whole frame, even after a wait"
    }
}

# Where to click. The menu items are found from the popup's geometry once the menu is open: seven
# rows of equal height.
run_x() { roll 49; x=$((20 + r)); roll 25; y=$((menu_height + 12 + r)); }
title_x() { roll 50; x=$((12 + r)); y=$((menu_height / 2)); }
item_top=
item_left=
item_width=
item_height=
item_x() { # item $1
    roll $((item_width - 16))
    x=$((item_left + 8 + r))
    y=$((item_top + item_height * $1 + item_height / 2))
}
measure_menu() {
    local id left top width height
    read -r id left top width height <<<"$(popups | head -n 1)"
    ((height >= 7 * 12)) || fail "the open menu is only $height pixels high"
    item_left=$left
    item_top=$top
    item_width=$width
    item_height=$((height / 7))
    echo "menu at ($left, $top), $width x $height: items $item_height pixels high"
}

items=(oone mvn1 tthree mv2 ffive ssix eeight)
clicks=0
keys=0

# 3. A deliberate choice of each item, then Run: the frames that follow must be that preset's. This
# checks the click positions and the key path before the storm relies on them.
last_is() { watch 40 && [[ $(last_label) == "$1":* ]]; }
choose_each_item() {
    local order=(0 1 2 3 4 5 6) i j t
    for ((i = 6; i > 0; i--)); do # shuffled by the seed
        roll $((i + 1))
        j=$r
        t=${order[i]}
        order[i]=${order[j]}
        order[j]=$t
    done
    local n=0 item
    for item in "${order[@]}"; do
        title_x
        xdotool mousemove --window "$window" $x $y mousedown 1 mouseup 1
        clicks=$((clicks + 1))
        wait_until 5 has_popup || fail "the menu did not open"
        [[ -n $item_height ]] || measure_menu
        if ((n % 2 == 0)); then
            item_x "$item"
            xdotool mousemove $x $y mousedown 1 mouseup 1
            clicks=$((clicks + 1))
        else
            local downs=()
            for ((j = 0; j <= item; j++)); do downs+=(Down); done
            xdotool key "${downs[@]}" Return
            keys=$((keys + item + 2))
        fi
        wait_until 5 no_popups || fail "the menu did not close after choosing ${items[item]}"
        run_x
        xdotool mousemove --window "$window" $x $y mousedown 1 mouseup 1
        clicks=$((clicks + 1))
        wait_until 5 last_is "${items[item]}" ||
            fail "chose ${items[item]} ($( ((n % 2 == 0)) && echo click || echo keys)) and ran, but the frames are $(last_label)"
        check_alive "after choosing ${items[item]}"
        n=$((n + 1))
    done
}

# 4. The storm: each burst is one xdotool command line of random actions, with random pauses of a
# few milliseconds or none at all.
burst_words=()
add_pause() {
    roll 3
    ((r == 0)) && return # no pause: the next click lands in the same frame's yield
    roll 25
    local pause
    printf -v pause '0.0%02d' $r
    burst_words+=(sleep "$pause")
}
add_run_click() {
    run_x
    burst_words+=(mousemove --window "$window" $x $y mousedown 1 mouseup 1)
    clicks=$((clicks + 1))
}
add_menu_choice() {
    local item
    roll 7
    item=$r
    title_x
    burst_words+=(mousemove --window "$window" $x $y mousedown 1 mouseup 1)
    clicks=$((clicks + 1))
    # The popup needs a moment to open; sometimes the choice comes before it has.
    roll 4
    ((r > 0)) && burst_words+=(sleep 0.0$((r * 2))5)
    roll 2
    if ((r == 0)); then
        item_x $item
        burst_words+=(mousemove $x $y mousedown 1 mouseup 1)
        clicks=$((clicks + 1))
    else
        local j
        for ((j = 0; j <= item; j++)); do burst_words+=(key Down); done
        burst_words+=(key Return)
        keys=$((keys + item + 2))
    fi
}

storm() {
    local b a actions
    for ((b = 0; b < bursts; b++)); do
        burst_words=()
        roll 4
        if ((r == 0)); then
            # Run alone, watched while it happens: the hub bar of each Run and the frames between.
            roll 20
            actions=$((10 + r))
            for ((a = 0; a < actions; a++)); do
                add_run_click
                add_pause
            done
            "$tool" watch "$window" 2 $((menu_height + 2)) 400 "$work/frames.txt" \
                "$work/unmatched" >"$work/storm-watch.txt" 2>&1 &
            local watcher=$!
            xdotool "${burst_words[@]}"
            wait $watcher || {
                cat "$work/storm-watch.txt"
                fail "during a burst of Run clicks the drawing area showed no whole frame"
            }
            count_samples "$work/storm-watch.txt"
        else
            roll 12
            actions=$((4 + r))
            for ((a = 0; a < actions; a++)); do
                roll 3
                if ((r == 0)); then add_menu_choice; else add_run_click; fi
                add_pause
            done
            xdotool "${burst_words[@]}"
        fi
        check_alive "after burst $b"
        settle
        roll 80
        watch $((30 + r))
        check_alive "after burst $b"
    done
}

# 5. The close, a random time into a run: right after the watch's last sample, so that sample is
# the last picture before the close. With `under-fire`, a burst of Run clicks is still arriving
# while the window closes, so that clicks and the close are handled in the same frame's yield.
close_under_way() {
    run_x
    xdotool mousemove --window "$window" $x $y mousedown 1 mouseup 1
    clicks=$((clicks + 1))
    roll 150
    local wait_ms=$((300 + r * 10))
    local deadline=$(($(now_ms) + wait_ms))
    until (($(now_ms) >= deadline)); do sleep 0.01; done
    local fire=
    if [[ $1 == under-fire ]]; then
        roll 20
        local a shots=$((10 + r)) words=()
        for ((a = 0; a < shots; a++)); do
            run_x # the window lies at the screen's corner: these are screen coordinates too
            words+=(mousemove $x $y mousedown 1 mouseup 1)
            roll 2
            ((r == 0)) && words+=(sleep 0.00$((a % 10)))
            clicks=$((clicks + 1))
        done
        xdotool "${words[@]}" >/dev/null 2>&1 &
        fire=$!
    fi
    roll 80
    watch $((60 + r)) close
    [[ -n $fire ]] && { wait "$fire" || true; }
    local last
    last=$(last_label)
    echo "closed ($1) at $last, $wait_ms ms after a Run;" \
        "then $(sed -n 's/^after-close samples \([0-9]*\) .*/\1/p' "$work/watch.txt") samples" \
        "until the window went $(sed -n 's/^gone-ms //p' "$work/watch.txt") ms later"
    [[ $last =~ ^(hub-bar:)?[a-z0-9]+:([0-9]+)$ ]] || fail "the last picture before the close was $last"
    local tick=${BASH_REMATCH[2]}
    ((tick < 503)) || fail "the run had ended before the close ($last)"
    (($(sed -n 's/^watch .* pictures \([0-9]*\)$/\1/p' "$work/watch.txt") >= 2)) ||
        fail "the picture did not change in the last moments before the close"
    has_ended() { ! alive; }
    wait_until 10 has_ended || fail "the program did not end after its window was closed"
    local status=0
    wait "$app" || status=$?
    app=
    ((status == 0)) || fail "exit status $status after closing the window"
    [[ ! -s $work/program.err ]] || fail "the program wrote on standard error"
}

for ((run = 1; run <= runs; run++)); do
    start_program
    # Mapped is not yet painted: the first picture may come a moment after the window.
    wait_until 5 shows_whole_frame || fail "the new window shows no picture"
    watch 60
    [[ $(last_label) == background ]] || fail "before the first Run the picture is $(last_label)"
    ((run == 1)) && choose_each_item
    storm
    if ((run % 2 == 1)); then close_under_way quiet; else close_under_way under-fire; fi
    echo "run $run: $(($(now_ms) - started)) ms"
done

kill "$xvfb" 2>/dev/null || true
xvfb=
# Enough evidence: most samples must have been judged, not set aside under a popup.
((whole >= 500 && covered * 10 <= samples)) ||
    fail "too little evidence: $samples samples, $whole whole frames, $covered under a popup"
echo "PASS: $clicks clicks and $keys keys; $watches watches, $samples samples: $whole whole" \
    "frames, $hub_bar frames with a Run's hub bar, $covered under a popup, none other;" \
    "$(($(now_ms) - started)) ms"
