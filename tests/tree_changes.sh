#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# What a test run must not do: write into the source tree. Without an argument, lists the tree's
# changes as git sees them (new, ignored and changed files) outside the build folders; with BEFORE,
# such a listing made before the run, fails naming every change that is not in it. Outside a git
# checkout there is nothing to compare, and it says so.
# Usage: tree_changes.sh [BEFORE]
set -euo pipefail
cd "$(dirname "$0")/.."
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "tree_changes: not a git checkout, the tree is not checked" >&2
    exit 0
fi
changes() {
    git status --porcelain --untracked-files=all --ignored=matching | grep -Ev '^!! build[^/]*/' || true
}
(($#)) || { changes; exit; }
new=$(changes | sort | comm -13 <(sort "$1") -)
[[ -z $new ]] || { printf 'FAIL: the tests wrote into the source tree:\n%s\n' "$new"; exit 1; }
