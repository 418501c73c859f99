#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Checks that each binary given is hardened: a position-independent executable, full RELRO (read-only
# relocations bound at start), stack-protected, and built with fortified libc calls.
set -u
status=0
fail() { echo "FAIL $1: $2"; status=1; }

for bin in "$@"; do
    name=$(basename "$bin")
    [ -x "$bin" ] || { fail "$name" "not built"; continue; }
    readelf -h "$bin" | grep -q 'Type: *DYN' || fail "$name" "not position-independent"
    readelf -l "$bin" | grep -q GNU_RELRO || fail "$name" "no RELRO segment"
    readelf -d "$bin" | grep -Eq 'BIND_NOW|FLAGS_1.*NOW' || fail "$name" "RELRO is partial (no BIND_NOW)"
    syms=$(nm -D "$bin")
    grep -q '__stack_chk_fail' <<<"$syms" || fail "$name" "no stack protector"
    grep -q '__[a-z]*printf_chk\|__mem[a-z]*_chk\|__str[a-z]*_chk' <<<"$syms" ||
        fail "$name" "no fortified libc call"
    for unsafe in sprintf vsprintf strcpy strcat gets; do
        grep -Eq " U ${unsafe}(@|$)" <<<"$syms" && fail "$name" "calls unfortified $unsafe"
    done
    [ $status = 0 ] && echo "ok $name: PIE, full RELRO, stack protector, fortified calls"
done
exit $status
