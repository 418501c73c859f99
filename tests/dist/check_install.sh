#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Installs the build tree into a fresh PREFIX, as `make install PREFIX=...` does, and checks it
# (check_tree.sh): every file must land under the prefix it was given.
# Usage: check_install.sh CMAKE BUILD PREFIX VERSION
set -u
cmake=$1 build=$2 prefix=$3 version=$4
rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" --strip >/dev/null || { echo "FAIL: install failed"; exit 1; }
exec "$(dirname "$0")/check_tree.sh" "$prefix" "$version"
