#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Runs the desktop's own validator on the desktop entry or the metainfo as the package DEB installs
# them, or Debian's package checker on DEB itself. Exits 77 (skipped) only when the desktop's
# validator is not installed; the package checker must be there.
# Usage: validate.sh desktop|metainfo|lintian DEB
set -u
kind=$1 deb=$2
id=io.github.rotavel.RotavelMotion
need() {
    command -v "$1" >/dev/null || { echo "SKIPPED: $1 is not installed (package $2)"; exit 77; }
}
case $kind in
desktop) need desktop-file-validate desktop-file-utils ;;
metainfo) need appstreamcli appstream ;;
lintian)
    command -v lintian >/dev/null || { echo "FAIL: lintian is not installed (package lintian)"; exit 1; }
    # The default profile: every error and warning fails; info and pedantic tags are only shown.
    out=$(lintian --display-level '>=pedantic' "$deb" 2>&1)
    status=$?
    echo "${out:-lintian: no tags}"
    ! grep -Eq '^[EW]: ' <<<"$out" && [ $status = 0 ]
    exit
    ;;
*) echo "usage: $0 desktop|metainfo|lintian DEB"; exit 2 ;;
esac

root=$(mktemp -d) || exit 1
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || exit 1

if [ "$kind" = desktop ]; then
    out=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1)
    status=$?
    echo "${out:-desktop-file-validate: no errors, no warnings, no hints}"
    # Hints are only advice, but a clean entry has none; keep it clean.
    [ $status = 0 ] && [ -z "$out" ]
else
    # The file on its own, then with the tree around it: the desktop entry it launches must exist.
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" &&
        appstreamcli validate-tree --no-net "$root"
fi
