#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# `make test-fresh`: a newcomer's `make test` on a Debian machine that has never seen the project.
# mmdebstrap bootstraps a minimal root of Debian release SUITE (variant minbase, plus git, make,
# ca-certificates and sudo) from this machine's own apt sources (their Debian suites renamed for
# SUITE), apt configuration and keyrings, and its hooks clone the committed tree (HEAD; uncommitted
# changes are not part of it) into it and run `CI=true make test` there as root. The Makefile then
# has to install everything itself: a package missing from its lists fails here first. Prints the
# time of each phase and the packages the fresh system had to install.
#
# Usage: test_fresh.sh SUITE [REPOSITORY]   (needs root; SUITE: bookworm for Debian 12, trixie for
# Debian 13, forky for testing; default REPOSITORY: the one holding this script)
# FRESH_TARGETS (default test) are the make targets run inside.
# FRESH_DIR (default /var/tmp/rotavel-motion-fresh) keeps a cache of downloaded packages for each
# release between runs. The root itself is mmdebstrap's temporary folder, in memory (/dev/shm) when
# 10 GiB are free, else under FRESH_DIR, and mmdebstrap removes it, mounts and all.
set -euo pipefail

self=$(readlink -f "$0")
# Where the newcomer's clone lands inside the root.
checkout=/root/rotavel-motion

die() {
    echo "test_fresh: $*" >&2
    exit 1
}

# mmdebstrap's setup hook: this machine's apt configuration, keyrings and added certificate
# authorities, so that the root reaches the same archive the same way (the npm registry too).
setup_root() {
    local root=$1 f key
    shift
    mkdir -p "$root/etc/apt/apt.conf.d" "$root/etc/apt/trusted.gpg.d" "$root/var/cache/apt/archives"
    for f in /etc/apt/apt.conf.d/*; do
        # Not a configuration that deletes every download (container images carry one), which
        # would empty the package cache; nor a package's own file, which the root's release brings.
        [[ -f $f ]] && ! grep -q 'rm .*/var/cache/apt/archives\|Dir::Cache::pkgcache' "$f" &&
            ! dpkg -S "$f" >/dev/null 2>&1 && cp -p "$f" "$root/etc/apt/apt.conf.d/"
    done
    if [[ -f /etc/apt/trusted.gpg ]]; then cp -p /etc/apt/trusted.gpg "$root/etc/apt/"; fi
    cp -p /etc/apt/trusted.gpg.d/. "$root/etc/apt/trusted.gpg.d/" -r
    # The keyrings the sources name by path (Signed-By: or [signed-by=...]), at the same paths.
    while read -r key; do
        [[ -f $key ]] || continue
        mkdir -p "$root$(dirname "$key")"
        cp -p "$key" "$root$key"
    done < <(sed -n -e 's/^Signed-By: *\(\/[^ ]*\).*/\1/ip' -e 's/.*signed-by=\(\/[^] ]*\).*/\1/ip' "$@")
    if [[ -d /usr/local/share/ca-certificates ]]; then
        mkdir -p "$root/usr/local/share/ca-certificates"
        cp -pr /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
    fi
}

# mmdebstrap's customize hook: the clone and `make` inside, in a process namespace of their own so
# that nothing a test leaves running outlives the run. Writes make's status to $status_file and
# always succeeds, so that the package cache is kept whatever the outcome.
make_inside() {
    local root=$1 commit=$2 repo=$3 started=$4 code=0
    lap "bootstrap" "$started"
    started=$EPOCHREALTIME
    git -c safe.directory='*' clone --quiet --no-checkout "$repo" "$root$checkout"
    git -C "$root$checkout" -c advice.detachedHead=false checkout --quiet --detach "$commit"
    installed "$root" >"$work/packages.before"
    lap "clone $commit" "$started"
    started=$EPOCHREALTIME
    # A newcomer's login shell: root's home, the standard path, nothing else from this machine.
    unshare --pid --fork --kill-child --mount-proc="$root/proc" chroot "$root" /usr/bin/env -i \
        HOME=/root TERM="${TERM:-dumb}" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        CI=true /bin/bash -c "cd $checkout && make $targets" || code=$?
    lap "make $targets inside" "$started"
    installed "$root" | comm -13 "$work/packages.before" - >"$work/installed"
    echo "$code" >"$work/status"
}

installed() {
    chroot "$1" dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' | sort
}

# Prints and keeps a phase's time, from its start $2 until now.
lap() {
    local seconds
    seconds=$(awk -v a="$2" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
    printf '  %-22s %8s s\n' "$1" "$seconds" >>"$work/phases"
    echo "=== test-fresh: $1 took $seconds s"
}

# Copies the apt source files $3... into folder $2, their suites of this machine's release renamed
# for release $1 (bookworm-security becomes trixie-security); other suites, and those of other
# archives, stay as they are. Prints the copies' paths.
sources_for() {
    local want=$1 dir=$2 have f
    shift 2
    have=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $have ]] || die "this machine's /etc/os-release names no release"
    mkdir -p "$dir"
    for f in "$@"; do
        awk -v have="$have" -v want="$want" '
            function rename(s) {
                if (s == have) return want
                if (index(s, have "-") == 1) return want substr(s, length(have) + 1)
                return s
            }
            # deb822: the Suites field.
            tolower($1) == "suites:" { out = $1; for (i = 2; i <= NF; i++) out = out " " rename($i)
                                       print out; next }
            # One line: deb [options] URI SUITE COMPONENT...
            $1 == "deb" || $1 == "deb-src" {
                i = 2
                if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
                $(i + 1) = rename($(i + 1)); print; next
            }
            { print }' "$f" >"$dir/${f##*/}"
        echo "$dir/${f##*/}"
    done
}

declare -A release_names=([bookworm]="Debian 12" [trixie]="Debian 13" [forky]="Debian testing (forky)")
release_name() { echo "${release_names[$1]:-Debian $1}"; }

targets=${FRESH_TARGETS:-test}
case ${1:-} in
--setup) setup_root "${@:2}" && exit ;;
--make) work=$2 && make_inside "${@:3}" && exit ;;
esac

[[ $(id -u) == 0 ]] || die "needs root (mmdebstrap and the mounts): run it with sudo"
command -v mmdebstrap >/dev/null || die "mmdebstrap is not installed (package mmdebstrap)"
suite=${1:-}
[[ $suite =~ ^[a-z]+$ ]] || die "usage: test_fresh.sh SUITE [REPOSITORY] (SUITE: bookworm, trixie or forky)"
repo=$(git -C "${2:-$(dirname "$self")}" rev-parse --show-toplevel) || die "not in a git repository"
commit=$(git -C "$repo" rev-parse HEAD)
[[ -z $(git -C "$repo" status --porcelain --untracked-files=no) ]] ||
    echo "test_fresh: note: uncommitted changes in $repo are not part of this run"
base=${FRESH_DIR:-/var/tmp/rotavel-motion-fresh}
mkdir -p "$base"
base=$(readlink -f "$base")
case $base/ in "$repo"/*) die "FRESH_DIR must lie outside the source tree $repo" ;; esac
# A release's packages are no use to another's.
cache=$base/archives/$suite
mkdir -p "$cache"
work=$(mktemp -d "$base/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
# No disk writes for the thousands of files dpkg and the build make, where memory allows.
TMPDIR=$base
(($(awk '$1 == "MemAvailable:" { print int($2 / 1048576) }' /proc/meminfo) >= 10)) && [[ -d /dev/shm ]] &&
    TMPDIR=/dev/shm
export TMPDIR

found=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [[ -f $f ]] && grep -q '^[^#]' "$f" && found+=("$f")
done
((${#found[@]})) || die "this machine has no apt sources"
mapfile -t sources < <(sources_for "$suite" "$work/sources" "${found[@]}")

echo "=== test-fresh: $(release_name "$suite") from nothing (minbase), root under $TMPDIR"
# The package cache as mmdebstrap documents it: synced in before the first download (and kept
# through the essential stage), synced out after `make`, whatever its outcome. dpkg's unsafe I/O
# skips a sync after every file: minutes on a slow disk, and nothing that is installed changes.
status=0
mmdebstrap --variant=minbase --include=git,make,ca-certificates,sudo --dpkgopt=force-unsafe-io \
    --skip=essential/unlink --setup-hook="$(printf '%q ' "$self" --setup)\"\$1\" $(printf '%q ' "${sources[@]}")" \
    --setup-hook="sync-in $cache /var/cache/apt/archives/" \
    --customize-hook="$(printf '%q ' "$self" --make "$work")\"\$1\" $(printf '%q ' "$commit" "$repo" "$EPOCHREALTIME")" \
    --customize-hook="sync-out /var/cache/apt/archives $cache" \
    "$suite" /dev/null "${sources[@]}" || status=$?
[[ $status == 0 ]] && status=$(cat "$work/status" 2>/dev/null || echo 1)

echo "=== test-fresh: phase times, $(release_name "$suite")"
cat "$work/phases" 2>/dev/null || true
if [[ -f $work/installed ]]; then
    echo "=== test-fresh: make $targets installed $(wc -l <"$work/installed") packages on the fresh system:"
    fmt -w 100 "$work/installed" | sed 's/^/  /'
fi
verdict=PASS
[[ $status == 0 ]] || verdict="FAIL (status $status)"
echo "=== test-fresh: $verdict: make $targets on a fresh $(release_name "$suite"), commit $commit"
[[ $status == 0 ]]
