#!/usr/bin/env bash
# Runs the desktop's own validator on the desktop entry or the metainfo as the package DEB installs
# them. Exits 77 (skipped) only when that validator is not installed.
# Usage: validate.sh desktop|metainfo DEB
set -u
kind=$1 deb=$2
id=io.github.rotavel.RotavelMotion
need() {
    command -v "$1" >/dev/null || { echo "SKIPPED: $1 is not installed (package $2)"; exit 77; }
}
case $kind in
desktop) need desktop-file-validate desktop-file-utils ;;
metainfo) need appstreamcli appstream ;;
*) echo "usage: $0 desktop|metainfo DEB"; exit 2 ;;
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
