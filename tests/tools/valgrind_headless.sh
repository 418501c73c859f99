#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Runs rotor-headless under valgrind's memcheck with a long script and fails on any memory error or
# definite leak. Qt keeps some memory to the end on purpose ("still reachable", "possibly lost"):
# only definite leaks count.
#
# Usage: valgrind_headless.sh ROTOR_HEADLESS SCRIPT. SCRIPT's @DIR@ is replaced by a scratch folder.
# Exit status: 0 clean, 1 a fault, 77 valgrind is not installed (the test is skipped).
set -euo pipefail

tool=$1
script=$2

if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed: skipped"
  exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sed "s|@DIR@|$scratch|g" "$script" >"$scratch/script"

status=0
valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --log-file="$scratch/valgrind.log" \
  "$tool" <"$scratch/script" >"$scratch/trace" 2>"$scratch/stderr" || status=$?

fault() {
  echo "FAILED: $*"
  echo "--- valgrind log"
  cat "$scratch/valgrind.log"
  echo "--- standard error"
  cat "$scratch/stderr"
  exit 1
}

[ "$status" -eq 0 ] || fault "exit status $status (99: valgrind found errors)"
grep -q 'ERROR SUMMARY: 0 errors' "$scratch/valgrind.log" || fault "valgrind reported errors"
[ -s "$scratch/stderr" ] && fault "unexpected messages on standard error"
# The session must have run to its queued close, and the save must have produced a picture.
[ "$(tail -n 1 "$scratch/trace")" = "event close" ] || fault "the trace does not end at the close"
[ "$(grep -c '^event tick$' "$scratch/trace")" -gt 2500 ] || fault "fewer frames than the script asks"
[ "$(head -c 8 "$scratch/frame.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fault "the save did not write a PNG"
echo "clean: $(grep -c '^event tick$' "$scratch/trace") frames"
