#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Checks an installed prefix (ROOT/bin, ROOT/share) the way a Linux desktop finds the program: the
# binary, the desktop entry that starts it, the icon at each size in the hicolor theme and the
# AppStream metainfo, naming one another by the same id; and the headless driver, with a manual
# page for each binary that man renders without a warning. Nothing else may be installed but the
# EXTRA files named (paths under ROOT).
# Usage: check_tree.sh ROOT VERSION [EXTRA...]
set -u
root=$1 version=$2
shift 2
id=io.github.rotavel.RotavelMotion
status=0
fail() { echo "FAIL: $*"; status=1; }

expected=$(LC_ALL=C sort <<EOT
bin/rotavel-motion
bin/rotor-headless
share/applications/$id.desktop
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/man/man1/rotavel-motion.1.gz
share/man/man1/rotor-headless.1.gz
share/metainfo/$id.metainfo.xml
$(printf '%s\n' "$@")
EOT
)
expected=$(grep -v '^$' <<<"$expected")
actual=$(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] ||
    fail "installed files differ from the expected set (< expected, > installed):" \
        "$(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]')"

for name in rotavel-motion rotor-headless; do
    bin=$root/bin/$name
    if [ -x "$bin" ]; then
        file -b "$bin" | grep -q '^ELF ' || fail "bin/$name is not an ELF binary"
        readelf -S "$bin" | grep -Eq '\.symtab|\.debug_info|\.comment' && fail "bin/$name is not stripped"
        readelf -d "$bin" | grep -Eq 'RPATH|RUNPATH' && fail "bin/$name carries a library search path"
    else
        fail "bin/$name is missing or not executable"
    fi

    # Its page, as `man NAME` finds it under this prefix, renders at 80 columns without a warning
    # and names the program.
    page=$root/share/man/man1/$name.1.gz
    [ -f "$page" ] || continue
    found=$(MANPATH=$root/share/man man -w "$name" 2>&1)
    [ "$(realpath -q "$found")" = "$(realpath "$page")" ] || fail "man -w $name finds '$found', not $page"
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page of $name renders with warnings: $warnings"
    rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    grep -Eq "^ +$name +- " <<<"$rendered" || fail "man page of $name does not name it"
    tail -n 1 <<<"$rendered" | grep -q "Rotavel Motion $version " ||
        fail "man page of $name is not of version $version: $(tail -n 1 <<<"$rendered")"
done

# Each icon is a PNG of its folder's size: the theme picks icons by folder, not by looking.
for size in 32 128 256; do
    png=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ ! -f "$png" ] || file -b "$png" | grep -q "^PNG image data, $size x $size," ||
        fail "icon in ${size}x${size}/ is not a $size px PNG: $(file -b "$png")"
done

desktop=$root/share/applications/$id.desktop
if [ -f "$desktop" ]; then
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [ -x "$root/bin/${exec_line%% *}" ] || fail "desktop entry runs '$exec_line', not an installed binary"
    [ "$(sed -n 's/^Icon=//p' "$desktop")" = "$id" ] || fail "desktop entry's Icon is not $id"
fi

metainfo=$root/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
    grep -q "<id>$id</id>" "$metainfo" || fail "metainfo's id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $id.desktop"
    grep -q '<binary>rotavel-motion</binary>' "$metainfo" || fail "metainfo does not provide the binary"
    # Software centres show the first release as the installed version.
    newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
    [ "$newest" = "$version" ] || fail "metainfo's newest release is '$newest', the program is $version"
    grep -q '<image>https://[^<]*\.png</image>' "$metainfo" || fail "metainfo has no https screenshot"
fi

[ $status = 0 ] && echo "ok: $root holds the program, its desktop entry, icons and metainfo, the driver and the manual pages, and nothing else"
exit $status
