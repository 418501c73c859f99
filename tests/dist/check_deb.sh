#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Checks the Debian package DEB that cpack built: that it has that name, its control fields, that
# its dependencies came from dpkg-shlibdeps and hold on this machine, and, unpacked, that everything
# lies under /usr where a desktop looks (check_tree.sh), with the copyright file and a changelog
# whose newest entry is this version.
# Usage: check_deb.sh DEB VERSION
set -u
deb=$1 version=$2
status=0
fail() { echo "FAIL: $*"; status=1; }

arch=$(dpkg --print-architecture)
[ -f "$deb" ] || { echo "FAIL: cpack made no $(basename "$deb"), only: $(ls "$(dirname "$deb")")"; exit 1; }
field() { dpkg-deb --field "$deb" "$1"; }

[ "$(field Package)" = rotavel-motion ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "Depends: $depends"
# The Qt libraries are found by dpkg-shlibdeps; the platform plugins are loaded at run time, so
# nothing finds them but the package's own list.
# Debian 13 renamed the Qt libraries for its 64-bit time (libqt6core6t64); either name will do.
names=$(tr ',|' '\n' <<<"$depends" | sed 's/^ *//; s/[ :].*//')
for pkg in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    grep -Fxq -e "$pkg" -e "${pkg}t64" <<<"$names" || fail "Depends lacks $pkg"
done
[ "$(field Recommends)" = qt6-wayland ] || fail "Recommends is '$(field Recommends)', not qt6-wayland"
# The same check apt makes before installing, against this machine's packages.
dpkg-checkbuilddeps -d "$depends" /dev/null 2>&1 || fail "Depends cannot be met here"

unpacked=$(mktemp -d) || exit 1
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked" || exit 1
top=$(ls -A "$unpacked")
[ "$top" = usr ] || fail "package installs outside /usr: $top"
doc=share/doc/rotavel-motion
"$(dirname "$0")/check_tree.sh" "$unpacked/usr" "$version" $doc/copyright $doc/changelog.gz ||
    status=1
if [ -f "$unpacked/usr/$doc/changelog.gz" ]; then
    newest=$(zcat "$unpacked/usr/$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>&1)
    [ "$newest" = "$version" ] || fail "changelog's newest entry is '$newest', the package is $version"
fi

[ $status = 0 ] && echo "ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"
exit $status
