#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# `make test-fresh`: a newcomer's `make test` on a Debian machine that has never seen the project.
# Bootstraps a minimal root file system of Debian release SUITE (mmdebstrap, variant minbase, plus
# git, make, ca-certificates and sudo) from this machine's own apt sources (their Debian suites
# renamed for SUITE), apt configuration and keyrings, clones the committed
# tree (HEAD; uncommitted changes are not part of it) into it, and runs `CI=true make test` there as
# root. The Makefile then has to install everything itself: a package missing from its lists fails
# here first. Prints the time of each phase and the packages the fresh system had to install.
#
# Usage: test_fresh.sh SUITE [REPOSITORY]   (needs root; SUITE: bookworm for Debian 12, trixie for
# Debian 13; default REPOSITORY: the one holding this script)
# FRESH_TARGETS (default test) are the make targets run inside.
# FRESH_DIR (default /var/tmp/rotavel-motion-fresh) holds the roots, one per run and removed after
# it, and a cache of downloaded packages for each release, the one thing kept between runs.
# FRESH_TMPFS: 1 builds the root in memory, 0 on disk; unset, in memory when 10 GiB are free.
#
# Everything from the bootstrap on happens in a mount namespace of its own: the root's /proc, /sys
# and /dev (and the root itself, when in memory) vanish with it, whatever ends the run, and are never
# visible where the root is deleted. The deletion refuses anyway while anything is mounted there.
set -euo pipefail

self=$(readlink -f "$0")
# The release to bootstrap, set by main and handed to the run.
suite=
# Where the newcomer's clone lands inside the root.
checkout=/root/rotavel-motion

die() {
    echo "test_fresh: $*" >&2
    exit 1
}

# Mount points at or under $1, as this mount namespace sees them.
mounts_under() {
    # Only ever a root this script made: a slip here would unmount or delete this machine's own.
    [[ $1 =~ ^/.+/root\.[A-Za-z0-9]{6}(/.*)?$ ]] || die "refusing to look for mounts under '$1'"
    awk -v r="$1" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo
}

# Unmounts everything at or under $1, deepest first, lazily where a mount is still busy.
unmount_under() {
    local m
    while read -r m; do
        umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done < <(mounts_under "$1" | sort -r)
}

# Ends every process whose root directory is $1 (the test's X servers and buses, left behind by an
# interrupted run), politely first.
end_processes_in() {
    local pid pids signal
    for signal in TERM KILL; do
        pids=()
        for pid in /proc/[0-9]*; do
            [[ $(readlink "$pid/root" 2>/dev/null) == "$1" ]] && pids+=("${pid#/proc/}")
        done
        ((${#pids[@]})) || return 0
        kill -"$signal" "${pids[@]}" 2>/dev/null || true
        [[ $signal == KILL ]] || sleep 2
    done
    return 0
}

# Links (or, across file systems, copies) the .deb files of folder $1 into folder $2, except those
# already there; with $3, notes each name in that file.
share_packages() {
    local f
    for f in "$1"/*.deb; do
        [[ -f $f ]] || continue
        [[ -f $2/${f##*/} ]] || ln "$f" "$2/" 2>/dev/null || cp "$f" "$2/"
        [[ -z ${3:-} ]] || echo "${f##*/}" >>"$3"
    done
    return 0
}

# --- Hooks mmdebstrap runs on this machine: hook_KIND ROOT CACHE USED SOURCES... -------------------

# Before the first `apt update`: this machine's apt configuration, keyrings and added certificate
# authorities, and the cached packages, so the root reaches the same archive the same way and
# downloads nothing twice.
hook_setup() {
    local root=$1 cache=$2 f key
    shift 3
    mkdir -p "$root/etc/apt/apt.conf.d" "$root/etc/apt/trusted.gpg.d" "$root/var/cache/apt/archives"
    for f in /etc/apt/apt.conf.d/*; do
        [[ -f $f ]] || continue
        # A configuration that deletes every download after dpkg runs (container images carry one)
        # would empty the cache; it stays on this machine.
        grep -q 'rm .*/var/cache/apt/archives' "$f" && continue
        # A package's own file comes with that package, the root's release's version of it: a copy
        # from this machine's release would stop its install at a question about the changed file.
        dpkg -S "$f" >/dev/null 2>&1 && continue
        cp -p "$f" "$root/etc/apt/apt.conf.d/"
    done
    printf '%s\n' 'APT::Keep-Downloaded-Packages "true";' \
        'Binary::apt::APT::Keep-Downloaded-Packages "true";' \
        >"$root/etc/apt/apt.conf.d/99fresh-keep-downloads"
    if [[ -f /etc/apt/trusted.gpg ]]; then cp -p /etc/apt/trusted.gpg "$root/etc/apt/"; fi
    for f in /etc/apt/trusted.gpg.d/*; do
        [[ -f $f ]] && cp -p "$f" "$root/etc/apt/trusted.gpg.d/"
    done
    # The keyrings the sources name by path (Signed-By: or [signed-by=...]), at the same paths.
    while read -r key; do
        [[ -f $key ]] || continue
        mkdir -p "$root$(dirname "$key")"
        cp -p "$key" "$root$key"
    done < <(sed -n -e 's/^Signed-By: *\(\/[^ ]*\).*/\1/ip' -e 's/.*signed-by=\(\/[^] ]*\).*/\1/ip' "$@")
    # The certificate authorities this machine added to Debian's, which its network may need (for
    # the npm registry, say): the ca-certificates package takes them in when it is installed.
    if [[ -d /usr/local/share/ca-certificates ]]; then
        mkdir -p "$root/usr/local/share/ca-certificates"
        cp -pr /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
    fi
    share_packages "$cache" "$root/var/cache/apt/archives"
}

# Before mmdebstrap empties the root's package cache: whatever was downloaded joins the cache.
hook_customize() {
    share_packages "$1/var/cache/apt/archives" "$2" "$3"
}

# --- Phases ----------------------------------------------------------------------------------------

# Each phase's name and seconds go to $phases, one line each, for the summary.
phases=
phase_start=
begin() {
    phase_start=$EPOCHREALTIME
    echo "=== test-fresh: $1"
}
finish() {
    local seconds
    seconds=$(awk -v a="$phase_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
    printf '%s\t%s\n' "$1" "$seconds" >>"$phases"
    echo "=== test-fresh: $1 took $seconds s"
}

# The release's number, for people: "Debian 13".
release_name() {
    case $1 in
    bookworm) echo "Debian 12" ;;
    trixie) echo "Debian 13" ;;
    *) echo "Debian $1" ;;
    esac
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

installed_packages() {
    chroot "$1" dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' | sort
}

# --- The run, in a mount namespace of its own: run SUITE ROOT CACHE WORK COMMIT REPOSITORY ---------

# The long steps run as a background job and are waited for, so that a signal is handled at once:
# the job is ended, everything running in the root with it, and the root is unmounted.
job=
in_background() {
    "$@" &
    job=$!
    local code=0
    wait "$job" || code=$?
    job=
    return "$code"
}
end_run() {
    [[ -z $job ]] || kill -TERM "$job" 2>/dev/null || true
    end_processes_in "$root"
    [[ -z $job ]] || wait "$job" 2>/dev/null || true
    unmount_under "$root"
}

run() {
    suite=$1
    root=$2
    local cache=$3 work=$4 commit=$5 repo=$6 status=0 f in_memory=${FRESH_TMPFS:-}
    phases=$work/phases
    trap end_run EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    if [[ -z $in_memory ]]; then
        in_memory=0
        (($(awk '$1 == "MemAvailable:" { print int($2 / 1048576) }' /proc/meminfo) >= 10)) && in_memory=1
    fi
    if ((in_memory)); then
        # No disk writes for the thousands of files dpkg and the build make, and no deletion after.
        mount -t tmpfs -o mode=755,size=50% tmpfs "$root"
        echo "=== test-fresh: the root is in memory (FRESH_TMPFS=0 for disk)"
    fi

    local found=() sources=()
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] && grep -q '^[^#]' "$f" && found+=("$f")
    done
    ((${#found[@]})) || die "this machine has no apt sources"
    mapfile -t sources < <(sources_for "$suite" "$work/sources" "${found[@]}")

    begin "bootstrap ($suite, minbase)"
    local hook_args
    hook_args="\"\$1\" $(printf '%q ' "$cache" "$work/used" "${sources[@]}")"
    # dpkg's unsafe I/O skips a sync after every file: minutes on a slow disk, and nothing that is
    # installed changes.
    in_background mmdebstrap --variant=minbase --include=git,make,ca-certificates,sudo \
        --dpkgopt=force-unsafe-io --skip=essential/unlink \
        --setup-hook="$(printf '%q' "$self") --hook setup $hook_args" \
        --customize-hook="$(printf '%q' "$self") --hook customize $hook_args" \
        "$suite" "$root" "${sources[@]}"
    finish "bootstrap"

    begin "clone $commit"
    git -c safe.directory='*' clone --quiet --no-checkout "$repo" "$root$checkout"
    git -C "$root$checkout" -c advice.detachedHead=false checkout --quiet --detach "$commit"
    finish "clone"

    installed_packages "$root" >"$work/packages.before"
    # The downloads of earlier runs, where `make test`'s apt-get finds them.
    share_packages "$cache" "$root/var/cache/apt/archives"

    begin "make $targets inside"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
    # A newcomer's login shell: root's home, the standard path, nothing else from this machine.
    in_background chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        CI=true /bin/bash -c "cd $checkout && make $targets" || status=$?
    end_processes_in "$root"
    unmount_under "$root/proc"
    unmount_under "$root/sys"
    unmount_under "$root/dev"
    finish "make $targets inside"

    share_packages "$root/var/cache/apt/archives" "$cache" "$work/used"
    installed_packages "$root" >"$work/packages.after"
    comm -13 "$work/packages.before" "$work/packages.after" >"$work/installed"
    # After a whole run the cache keeps only what it used: older versions go.
    if ((status == 0)); then
        for f in "$cache"/*.deb; do
            [[ -f $f ]] && ! grep -Fxq "${f##*/}" "$work/used" && rm -f "$f"
        done
    fi
    return "$status"
}

# --- On this machine: the checks, the namespace, the cleanup and the summary ------------------------

# Set by main, read by its cleanup when the script exits.
root=
work=
inside=
# What the newcomer runs; FRESH_TARGETS="build" (say) for a quicker look at the set-up alone.
targets=${FRESH_TARGETS:-test}

cleanup() {
    local code=$? i name seconds
    trap - EXIT INT TERM
    [[ -n $root ]] || exit "$code"
    begin cleanup
    end_processes_in "$root"
    if [[ -n $inside ]]; then
        kill -TERM "$inside" 2>/dev/null || true
        wait "$inside" 2>/dev/null || true
    fi
    [[ -z $(mounts_under "$root") ]] || unmount_under "$root"
    if [[ -n $(mounts_under "$root") ]]; then
        echo "test_fresh: still mounted under $root, so it is left in place:" >&2
        mounts_under "$root" >&2
        code=1
    else
        rm -rf --one-file-system "$root"
    fi
    finish cleanup
    echo "=== test-fresh: phase times, $(release_name "$suite")"
    while IFS=$'\t' read -r name seconds; do
        printf '  %-22s %8s s\n' "$name" "$seconds"
    done <"$phases"
    if [[ -f $work/installed ]]; then
        echo "=== test-fresh: make $targets installed $(wc -l <"$work/installed") packages on the fresh system:"
        fmt -w 100 "$work/installed" | sed 's/^/  /'
    fi
    if ((code == 0)); then
        echo "=== test-fresh: PASS: make $targets on a fresh $(release_name "$suite"), commit $commit"
    else
        echo "=== test-fresh: FAIL: make $targets on a fresh $(release_name "$suite"), commit $commit:" \
            "status $code"
    fi
    rm -rf "$work"
    exit "$code"
}

main() {
    [[ $(id -u) == 0 ]] || die "needs root (mmdebstrap and the mounts): run it with sudo"
    command -v mmdebstrap >/dev/null || die "mmdebstrap is not installed (package mmdebstrap)"
    local repo base cache
    suite=${1:-}
    [[ $suite =~ ^[a-z]+$ ]] || die "usage: test_fresh.sh SUITE [REPOSITORY] (SUITE: bookworm or trixie)"
    repo=$(git -C "${2:-$(dirname "$self")}" rev-parse --show-toplevel) || die "not in a git repository"
    commit=$(git -C "$repo" rev-parse HEAD)
    base=${FRESH_DIR:-/var/tmp/rotavel-motion-fresh}
    mkdir -p "$base"
    base=$(readlink -f "$base")
    case $base/ in "$repo"/*) die "FRESH_DIR must lie outside the source tree $repo" ;; esac
    # A release's packages are no use to another's, and a whole run empties the cache of the rest.
    cache=$base/archives/$suite
    mkdir -p "$cache"
    [[ -z $(git -C "$repo" status --porcelain --untracked-files=no) ]] ||
        echo "test_fresh: note: uncommitted changes in $repo are not part of this run"

    root=$(mktemp -d "$base/root.XXXXXX")
    chmod 755 "$root" # the top of a file system: services inside run as users of their own
    work=$root.work
    mkdir "$work"
    phases=$work/phases
    : >"$phases"
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM

    unshare --mount --propagation private -- "$self" --run "$suite" "$root" "$cache" "$work" "$commit" \
        "$repo" &
    inside=$!
    wait "$inside"
}

commit=
case ${1:-} in
--hook)
    "hook_$2" "${@:3}"
    ;;
--run)
    run "${@:2}"
    exit
    ;;
*)
    main "$@"
    exit
    ;;
esac
