#!/usr/bin/env bash
# One table of Kelvane's speed and memory on the generated 837P and on the worst inputs that real
# feeds and hostile senders produce, per mode, with `cat` of the same file as the floor.
#
#   bench/measure.sh BUILD_DIR [INPUT...]
#
# BUILD_DIR must already hold src/kelvane, bench/kelvane_parse, bench/kelvane_make_837 and
# bench/kelvane_make_worst (configure with -DKELVANE_BUILD_BENCHMARKS=ON); this script builds
# nothing. INPUT names pick rows (default: all): 837p, mixed, accents, combining, emoji, noterm,
# tiny, tags. Missing files are generated into bench/data. Modes: parse (kelvane_parse: read,
# decode, parse, tree), --dump-tree, --dump-json, --dump-csv, --check (envelopes and guides) and
# --envelope-only (--check --envelope-only: the envelopes alone), each writing to
# /dev/null. Wall times are the best of $RUNS runs (default 3) with a warm page cache; peak RSS
# comes from one more run under /usr/bin/time. MB here is MiB (2^20 bytes). A line before and
# after the table gives each core's speed then.
set -euo pipefail

if [[ $# -lt 1 ]]; then
    echo "usage: $0 BUILD_DIR [INPUT...]" >&2
    exit 2
fi

buildDir=$(cd "$1" && pwd)
shift
benchDir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dataDir="$benchDir/data"
kelvane="$buildDir/src/kelvane"
parse="$buildDir/bench/kelvane_parse"
make837="$buildDir/bench/kelvane_make_837"
makeWorst="$buildDir/bench/kelvane_make_worst"
runs=${RUNS:-3}

for tool in "$kelvane" "$parse" "$make837" "$makeWorst"; do
    if [[ ! -x $tool ]]; then
        echo "error: $tool is missing; build $buildDir with -DKELVANE_BUILD_BENCHMARKS=ON" >&2
        exit 1
    fi
done
if [[ ! -x /usr/bin/time ]]; then
    echo "error: /usr/bin/time is missing (apt-get install time)" >&2
    exit 1
fi

# name:size in MiB
inputs=(837p:100 mixed:40 accents:100 combining:40 emoji:40 noterm:100 tiny:100 tags:100)
if [[ $# -gt 0 ]]; then
    chosen=()
    for name in "$@"; do
        for input in "${inputs[@]}"; do
            [[ ${input%%:*} == "$name" ]] && chosen+=("$input")
        done
    done
    inputs=("${chosen[@]}")
fi

mkdir -p "$dataDir"
source "$benchDir/timing.sh"

# Runs a command for timing; a status of 3 (findings) counts as success.
quiet()
{
    local status=0
    "$@" >/dev/null 2>&1 || status=$?
    [[ $status -eq 0 || $status -eq 3 ]]
}

# The seconds a fixed busy loop takes on each core. A virtual machine's cores can run at very
# different speeds for minutes at a time, and work cut in halves then waits for the slower one:
# printed before and after the table, this says what the machine was like while it was measured.
coreSpeeds()
{
    local line="# $1: seconds of a busy loop on each core:" core start end
    for ((core = 0; core < $(nproc); ++core)); do
        start=$EPOCHREALTIME
        if ! taskset -c "$core" awk 'BEGIN { for (i = 0; i < 10000000; ++i) x += i }' 2>/dev/null; then
            line+=" $core: ?" # not a core this process may run on
            continue
        fi
        end=$EPOCHREALTIME
        line+=$(awk -v c="$core" -v s="$start" -v e="$end" 'BEGIN { printf " %d: %.3f", c, e - s }')
    done
    echo "$line"
}

coreSpeeds before
printf '%-10s %8s %-11s %9s %9s %10s %9s %9s\n' \
    input MiB mode seconds MiB/s 'peak RSS' RSS/size 'cat MiB/s'
for input in "${inputs[@]}"; do
    name=${input%%:*}
    size=${input##*:}
    if [[ $name == 837p ]]; then
        file="$dataDir/837p-${size}mb.txt"
        [[ -s $file ]] || "$make837" "$size" "$file"
    else
        file="$dataDir/worst-$name-${size}mb.txt"
        [[ -s $file ]] || "$makeWorst" "$name" "$size" "$file"
    fi
    bytes=$(stat -c %s "$file")
    cat "$file" >/dev/null # warm the page cache
    catTime=$(bestWallTime cat "$file")
    for mode in parse --dump-tree --dump-json --dump-csv --check --envelope-only; do
        if [[ $mode == parse ]]; then
            command=("$parse" "$file")
        elif [[ $mode == --envelope-only ]]; then
            command=("$kelvane" --check --envelope-only "$file")
        else
            command=("$kelvane" "$mode" "$file")
        fi
        seconds=$(bestWallTime quiet "${command[@]}")
        rss=$(peakRssKiB "${command[@]}" || true)
        awk -v name="$name" -v bytes="$bytes" -v mode="$mode" -v s="$seconds" -v rss="$rss" \
            -v cat="$catTime" 'BEGIN {
                mib = bytes / 1048576
                printf "%-10s %8.1f %-11s %9.3f %9.1f %7.0fMiB %9.2f %9.0f\n",
                    name, mib, mode, s, mib / s, rss / 1024, rss * 1024 / bytes, mib / cat
            }'
    done
done
coreSpeeds after
