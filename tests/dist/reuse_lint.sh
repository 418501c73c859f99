#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# `reuse lint` on the source tree SOURCE: every file states its copyright and licence, in a header
# or in REUSE.toml. Debian 12's reuse (1.x) reads only the older .reuse/dep5, so there the tree's
# files are linted in a copy beside a .reuse/dep5 made from REUSE.toml. Without the reuse tool
# (package reuse) the check fails rather than passes unchecked.
# Usage: reuse_lint.sh SOURCE
set -euo pipefail
src=$1
command -v reuse >/dev/null || { echo "FAIL: reuse is not installed (package reuse)"; exit 1; }
major=$(reuse --version | grep -Eo '[0-9]+' | head -n 1)
((major >= 3)) && exec reuse --root "$src" lint

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
# The files reuse would read: those git knows of and does not ignore.
git -C "$src" ls-files -z --cached --others --exclude-standard >"$copy.list" ||
    { echo "FAIL: $src is not a git checkout, so the files to lint are unknown"; exit 1; }
trap 'rm -rf "$copy" "$copy.list"' EXIT
(cd "$src" && xargs -0 cp --parents -t "$copy" <"$copy.list")
mkdir -p "$copy/.reuse"
/usr/bin/python3 - "$src/REUSE.toml" >"$copy/.reuse/dep5" <<'PY'
import sys, tomllib
with open(sys.argv[1], "rb") as f:
    toml = tomllib.load(f)
print("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/")
print("Upstream-Name:", toml["SPDX-PackageName"])
for note in toml["annotations"]:
    paths = note["path"] if isinstance(note["path"], list) else [note["path"]]
    print()
    print("Files:", " ".join(paths))
    print("Copyright:", note["SPDX-FileCopyrightText"])
    print("License:", note["SPDX-License-Identifier"])
PY
reuse --root "$copy" lint
