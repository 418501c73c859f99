#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# Fuzzes the headless driver's script reader for a bounded time (`make fuzz`).
#
# Usage: run_fuzz.sh [BUILD_DIR [SECONDS [CMAKE_ARG...]]]   (defaults: build-fuzz, 60)
# Configures BUILD_DIR from the preset `fuzz` (clang++, ROTAVEL_FUZZ=ON) and the CMAKE_ARGs, builds
# only the fuzzer, and runs it on a scratch copy of the seed corpus, so inputs found along the way
# never land in the repository. A crash, hang or out-of-memory input is copied to
# tests/tools/fuzz/regressions/ (script_tests replays that folder) and fails the run. Inputs too
# big to mutate at speed are script_tests' own, run under the sanitizers there.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-build-fuzz}
seconds=${2:-60}
case $build in /*) ;; *) build=$root/$build ;; esac
regressions=$here/fuzz/regressions

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_fuzz.sh: clang++ is needed (Debian: clang libclang-rt-dev)" >&2
  exit 1
fi

(cd "$root" && cmake --preset fuzz -B "$build" "${@:3}" >/dev/null)
cmake --build "$build" --target script_fuzzer -j "${JOBS:-2}"
fuzzer=$(find "$build" -maxdepth 3 -type f -name script_fuzzer -perm -u+x | head -n 1)
[ -n "$fuzzer" ] || { echo "run_fuzz.sh: no script_fuzzer built in $build" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/corpus" "$scratch/artifacts"
cp "$here/fuzz/corpus/"* "$scratch/corpus/"
# Past crashes seed the run too: mutations of a once-broken input are the likeliest to break again.
find "$regressions" -maxdepth 1 -type f ! -name '*.md' -exec cp {} "$scratch/corpus/" \;
seeds=$(find "$scratch/corpus" -type f | wc -l)

status=0
"$fuzzer" -max_total_time="$seconds" -max_len=1048576 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$scratch/artifacts/" "$scratch/corpus" \
  2>"$scratch/log" || status=$?

findings=0
for f in "$scratch/artifacts"/*; do
  [ -e "$f" ] || continue
  name=$(basename "$f")
  cp "$f" "$regressions/$name"
  echo "run_fuzz.sh: kept $name in tests/tools/fuzz/regressions/"
  findings=$((findings + 1))
done

execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/log" | tail -n 1)
echo "fuzz: ${execs:-?} executions in ${seconds} s, corpus $seeds -> $(find "$scratch/corpus" -type f | wc -l) inputs, $findings findings"
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  tail -n 60 "$scratch/log" >&2
  echo "run_fuzz.sh: the fuzzer failed (status $status)" >&2
  exit 1
fi
