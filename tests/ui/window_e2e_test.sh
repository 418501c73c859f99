#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# The real program on an X server of its own, driven like a user, every picture its drawing area
# shows a whole frame: one the headless driver renders, or with a Run's hub bar drawn over it until
# the next tick. Plain: a whole run at its pace, coming to rest on its last frame, then the close;
# again closed mid-run, ended by SIGTERM mid-run and by SIGINT at rest. `stress`: each vane preset
# chosen, then bursts of random clicks and keys on Run and the vane menu while the rotor turns, then
# a close mid-run. Each end: exit status 0, not a word written.
#
# usage: window_e2e_test.sh PROGRAM X11_WINDOW_TOOL WHOLE_FRAMES [stress]
# ROTAVEL_STRESS_SEED picks another random sequence; ROTAVEL_STRESS_BURSTS, the bursts per run.
program=$1 tool=$2 whole_frames=$3 mode=${4:-plain}
source "$(dirname "$0")/e2e_harness.sh"
need_commands "xvfb and xdotool" Xvfb xdotool
wait_poll=0.02 # the pictures change every 10 ms
mapfile -t items < <(awk -F'\t' '!/^#/ && NF {print $1}' "$here/../support/presets.tsv")

# 1. Every whole frame of the states the test reaches, rendered while the X server starts.
states=(load)
[[ $mode == stress ]] && states+=("${items[@]}")
"$whole_frames" "${states[@]}" >"$work/frames.txt" 2>"$work/frames.log" &
frames_job=$!
daemons+=("$frames_job")
start_xvfb
wait "$frames_job" || fail "whole_frames failed"
(($(wc -l <"$work/frames.txt") == ${#states[@]} * 504 + 1)) || fail "whole_frames missed pictures"

# 2. The program's window, which has no window manager to move it: sets `window` and
# `menu_height`.
open_window() {
    local x y w h
    window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Rotavel Motion$' | head -n1) ||
        fail "no window captioned \"Rotavel Motion\" appeared"
    read -r x y w h < <(xdotool getwindowgeometry --shell "$window" |
        awk -F= '{v[$1] = $2} END {print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]}')
    # The client area is 455 x 427 below the menu bar.
    [[ $w -eq 455 && $h -gt 427 ]] || fail "window is ${w}x${h}"
    [[ $x -eq 0 && $y -eq 0 ]] || fail "window at ($x, $y), not at the corner of the screen"
    # The class is the desktop entry's name, so a desktop finds the entry and its icon.
    [[ $(xdotool search --onlyvisible --classname '^rotavel-motion$') == "$window" &&
        $(xdotool search --onlyvisible --class '^io\.github\.rotavel\.RotavelMotion$') == "$window" ]] ||
        fail "the window's WM_CLASS is not \"rotavel-motion\", \"io.github.rotavel.RotavelMotion\""
    menu_height=$((h - 427))
    # Mapped is not yet painted: the first picture may come a moment after the window.
    wait_until 5 shows_whole_frame || fail "the new window shows no picture"
    watch 60
    [[ $(last_label) == background ]] || fail "before the first Run the picture is $(last_label)"
}

# Watches the drawing area's interior for $1 ms (then closes the window if $2 is `close`); every
# sample must be a whole frame. The report lands in watch.txt, its first line in watches.txt.
watch() {
    "$tool" watch "$window" 2 $((menu_height + 2)) "$1" "$work/frames.txt" ${2:-} \
        >"$work/watch.txt" 2>"$work/watch.log" ||
        fail "the drawing area showed a picture that is no whole frame: $(cat "$work/watch.txt")"
    head -n 1 "$work/watch.txt" >>"$work/watches.txt"
}
pictures() { awk '{print $13; exit}' "$work/watch.txt"; } # changes of picture in the last watch
last_label() { sed -n 's/^last //p' "$work/watch.txt" | head -n 1; }
last_is() { watch 40 && [[ $(last_label) == $1 ]]; }
# A single sample, not judged: true when it is a whole frame.
shows_whole_frame() {
    "$tool" watch "$window" 2 $((menu_height + 2)) 0 "$work/frames.txt" >/dev/null 2>&1
}

# Appends to the array named $1 xdotool's words for: a click on `run` (`screen-run` in screen
# coordinates, the same with the window at the screen's corner) or the menu's `title`; a click on
# `item` $3 of the open menu (from the popup's geometry in menu.txt: rows of equal height), or its
# choice by `keys` (Down to it, then Return); a `pause` of a few milliseconds, or none at all.
add() {
    local -n out=$1
    local left top width row j
    case $2 in
        run) out+=(mousemove --window "$window" $((20 + RANDOM % 49))) ;;&
        screen-run) out+=(mousemove $((20 + RANDOM % 49))) ;;&
        *run) out+=($((menu_height + 12 + RANDOM % 25)) mousedown 1 mouseup 1) ;;
        title) out+=(mousemove --window "$window" $((12 + RANDOM % 50)) $((menu_height / 2))) ;;&
        item)
            read -r _ left top width row <"$work/menu.txt"
            row=$((row / ${#items[@]}))
            out+=(mousemove $((left + 8 + RANDOM % (width - 16))) $((top + row * $3 + row / 2)))
            ;;&
        title | item) out+=(mousedown 1 mouseup 1) ;;
        keys)
            for ((j = 0; j <= $3; j++)); do out+=(key Down); done
            out+=(key Return)
            ;;
        pause)
            printf -v j '0.0%02d' $((RANDOM % 25))
            ((RANDOM % 3 == 0)) || out+=(sleep "$j")
            ;;
    esac
}
click() {
    local words=()
    add words "$1"
    xdotool "${words[@]}"
}

if [[ $mode == plain ]]; then
    # 3. A whole run at its pace, its last frame left on screen, then the close; closed while
    # animating, the close landing between frames or inside a frame's yield; a logout mid-run;
    # Ctrl+C with the rotor at rest. The first two with no locale, as in a service or a container.
    for way in rest: close: TERM:LANG=C.UTF-8 INT:LC_ALL=C; do
        locale=${way#*:} way=${way%%:*}
        start_program ${locale:+"$locale"}
        open_window
        if [[ $way != INT ]]; then
            click run
            clicked=$(now_ms)
            wait_until 5 last_is 'load:*' || fail "the picture did not change after Run"
        fi
        if [[ $way == rest ]]; then
            # At rest: a fifth of a second with a single picture.
            at_rest() { watch 200 && (($(pictures) == 1)); }
            wait_until 20 at_rest || fail "the animation did not stop"
            elapsed=$(($(now_ms) - clicked))
            # 503 ticks of 10 ms; the rest detector adds its own 0.2 s or so.
            ((elapsed >= 4500)) || fail "the animation stopped after only $elapsed ms"
            [[ $(last_label) == load:503 ]] || fail "the run ended on $(last_label), not its last"
            way=close
        fi
        [[ $way != close ]] || "$tool" close "$window"
        end_program "$way"
    done
    echo PASS
    exit 0
fi

# 4. The storm. Random numbers come only from $RANDOM in this shell, never in a subshell: the
# sequence of actions then depends on the seed alone.
seed=${ROTAVEL_STRESS_SEED:-4721} bursts=${ROTAVEL_STRESS_BURSTS:-24}
echo "seed $seed (repeat with ROTAVEL_STRESS_SEED=$seed), $bursts bursts a run, 2 runs"
RANDOM=$seed
no_popups() { [[ -z $("$tool" popups) ]]; }
has_popup() { ! no_popups; }

# Lets the window come to rest between bursts: popups closed, the pointer off the button, and the
# parts a popup covered painted again (until then they hold the popup's pixels; that is the window
# system's doing, not a frame, so this waits rather than judges).
settle() {
    local tries
    for ((tries = 0; tries < 5; tries++)); do
        has_popup || break
        xdotool key Escape
        wait_until 1 no_popups || true
    done
    no_popups || fail "a popup stayed open"
    xdotool mousemove --window "$window" 300 $((menu_height + 300))
    wait_until 5 shows_whole_frame || fail "the window shows no whole frame, even after a wait"
}

# A deliberate choice of each item in a shuffled order (by pointer and by keys in turn), then Run:
# the frames that follow must be that preset's. This checks the click positions and the key path
# before the storm relies on them.
choose_each_item() {
    local order i t words
    mapfile -t order < <(seq 0 $((${#items[@]} - 1)) | shuf --random-source=<(yes "$seed"))
    for i in "${!order[@]}"; do
        click title
        wait_until 5 has_popup || fail "the menu did not open"
        [[ -s $work/menu.txt ]] || "$tool" popups | head -n 1 >"$work/menu.txt"
        read -r _ _ _ _ t <"$work/menu.txt"
        ((t >= ${#items[@]} * 12)) || fail "the open menu is only $t pixels high"
        words=()
        t=item
        ((i % 2 == 0)) || t=keys
        add words $t "${order[i]}"
        xdotool "${words[@]}"
        wait_until 5 no_popups || fail "the menu did not close after choosing ${items[order[i]]}"
        click run
        wait_until 5 last_is "${items[order[i]]}:*" ||
            fail "chose ${items[order[i]]} by ${words[0]}, ran, and the frames are $(last_label)"
        alive || fail "the program died after choosing ${items[order[i]]}"
    done
}

# Each burst is one xdotool command line of random actions, with random pauses. One in four is
# Run alone, watched while it happens: the hub bar of each Run and the frames between.
storm() {
    local b a t alone words watcher
    for ((b = 0; b < bursts; b++)); do
        words=()
        alone=$((RANDOM % 4 == 0))
        for ((a = alone ? 10 + RANDOM % 20 : 4 + RANDOM % 12; a > 0; a--)); do
            if ((!alone && RANDOM % 3 == 0)); then
                add words title
                # The popup needs a moment to open; sometimes the choice comes before it has.
                t=$((RANDOM % 4))
                ((t == 0)) || words+=(sleep "0.0$((t * 2))5")
                t=item
                ((RANDOM % 2 == 0)) || t=keys
                add words $t $((RANDOM % ${#items[@]}))
            else
                add words run
            fi
            add words pause
        done
        ((alone)) && { watch 400 & watcher=$!; }
        xdotool "${words[@]}"
        ((!alone)) || wait $watcher || exit 1
        alive || fail "the program died after burst $b"
        settle
        watch $((30 + RANDOM % 80))
    done
}

# The close, a random time into a run: right after the watch's last sample, so that sample is the
# last picture before the close. With `under-fire`, a burst of Run clicks is still arriving while
# the window closes, so that clicks and the close are handled in the same frame's yield.
close_under_way() {
    local words=() fire= wait_ms=$((300 + RANDOM % 150 * 10)) a last
    click run
    sleep "$((wait_ms / 1000)).$(printf '%03d' $((wait_ms % 1000)))"
    if [[ $1 == under-fire ]]; then
        for ((a = 10 + RANDOM % 20; a > 0; a--)); do
            add words screen-run
            ((RANDOM % 2 == 0)) && words+=(sleep "0.00$((a % 10))")
        done
        xdotool "${words[@]}" >/dev/null 2>&1 &
        fire=$!
    fi
    watch $((60 + RANDOM % 80)) close
    [[ -z $fire ]] || wait "$fire" || true
    last=$(last_label)
    [[ $last =~ ^(hub-bar:)?[a-z0-9]+:([0-9]+)$ ]] || fail "the last picture before closing: $last"
    ((BASH_REMATCH[2] < 503)) || fail "the run had ended before the close ($last)"
    (($(pictures) >= 2)) || fail "the picture did not change in the last moments before the close"
    end_program close
}

for run in quiet under-fire; do
    start_program
    open_window
    [[ $run == under-fire ]] || choose_each_item
    storm
    close_under_way $run
done

# Enough evidence: most samples must have been judged, not set aside under a popup.
read -r samples whole hub_bar covered < <(awk '{n += $3; w += $5; b += $7; c += $9}
    END {print n, w, b, c}' "$work/watches.txt")
((whole >= 500 && covered * 10 <= samples)) ||
    fail "too little evidence: $samples samples, $whole whole frames, $covered under a popup"
echo "PASS: $samples samples, $whole whole frames, $hub_bar under a hub bar, $covered under a popup"
