#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Renders one whole run of the rotor with the headless driver, a picture after every tick, and
# assembles every second picture into an animated GIF at 20 ms a frame: the run's own speed, and
# the shortest delay browsers honour (they slow anything under 20 ms to 100 ms). The last frame is
# held for two seconds before the loop starts again, as the window keeps it on screen.
#
# Usage: tools/make_preview.sh [DRIVER [OUT [ITEM]]]
#   DRIVER  the headless driver (build/rotor-headless)
#   OUT     the GIF to write (docs/preview.gif)
#   ITEM    the vane menu item to run (tthree: three long blades show the half-rate turn best)
# Needs ImageMagick (package imagemagick).
set -euo pipefail

driver=${1:-build/rotor-headless}
out=${2:-docs/preview.gif}
item=${3:-tthree}
readonly ticks=503 step=2 delay=2 hold=200 colours=16

die() {
    echo "make_preview: $*" >&2
    exit 1
}

[ -x "$driver" ] || die "no headless driver at $driver (run make build first)"

# The first ImageMagick found: version 7's `magick`, or version 6's `convert` under either name.
im=
for candidate in magick convert-im6.q16 convert; do
    if command -v "$candidate" >/dev/null && "$candidate" -version 2>/dev/null | grep -q ImageMagick; then
        im=$candidate
        break
    fi
done
[ -n "$im" ] || die "ImageMagick is not installed (package imagemagick)"

frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

{
    printf '%s\n' load activate "menu $item" run
    for ((i = 1; i <= ticks; i++)); do
        printf 'tick\nsave %s/%03d.png\n' "$frames" "$i"
    done
} | "$driver" >/dev/null || die "the headless driver failed"

# Ticks 1, 3, ..., 503: the last frame of the run is always among them.
shown=()
for ((i = 1; i < ticks; i += step)); do
    shown+=("$(printf '%s/%03d.png' "$frames" "$i")")
done
last=$(printf '%s/%03d.png' "$frames" "$ticks")

# One palette for every frame and no dithering: the picture is a few flat colours and their
# anti-aliased edges, and without dither noise the unchanged parts of each frame drop out of the
# next, which is most of what keeps the file small.
mkdir -p "$(dirname "$out")"
"$im" -delay "$delay" "${shown[@]}" -delay "$hold" "$last" \
    +dither -colors "$colours" +map -layers Optimize -loop 0 "$out"

echo "$out: $(stat -c %s "$out") bytes, $((${#shown[@]} + 1)) frames"
