#!/usr/bin/env bash
# Times `kelvane --dump-tree` and `--dump-json` on generated 837P files of 1, 10 and 100 MiB
# against `cat`.
#
#   bench/measure.sh BUILD_DIR [SMALL_FILE]
#
# BUILD_DIR must already hold src/kelvane and bench/kelvane_make_837 (configure with
# -DKELVANE_BUILD_BENCHMARKS=ON); this script builds nothing. Missing files are generated into
# bench/data. Wall times are the best of 3 runs with a warm page cache; peak RSS comes from one
# more run under /usr/bin/time. MB here is MiB (2^20 bytes).
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
    echo "usage: $0 BUILD_DIR [SMALL_FILE]" >&2
    exit 2
fi

buildDir=$(cd "$1" && pwd)
benchDir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dataDir="$benchDir/data"
kelvane="$buildDir/src/kelvane"
make837="$buildDir/bench/kelvane_make_837"
smallFile=${2:-$benchDir/../../shared/samples/837p-x12_valid.txt}
runs=3

for tool in "$kelvane" "$make837"; do
    if [[ ! -x $tool ]]; then
        echo "error: $tool is missing; build $buildDir first" >&2
        exit 1
    fi
done
if [[ ! -x /usr/bin/time ]]; then
    echo "error: /usr/bin/time is missing (apt-get install time)" >&2
    exit 1
fi

mkdir -p "$dataDir"
for size in 1 10 100; do
    file="$dataDir/837p-${size}mb.txt"
    if [[ ! -s $file ]]; then
        echo "generating $file" >&2
        "$make837" "$size" "$file"
    fi
done

source "$benchDir/timing.sh"

checkParses()
{
    local first
    first=$("$kelvane" --dump-tree "$1" | head -n 1 || true)
    if [[ $first != Interchange* ]]; then
        echo "error: $1 does not parse as an interchange (first line: '$first')" >&2
        exit 1
    fi
}

printf '%-22s %9s %10s %9s %10s %9s %10s %10s %9s\n' \
    file MiB dump-tree MiB/s dump-json MiB/s 'peak RSS' RSS/size cat
for file in "$dataDir"/837p-1mb.txt "$dataDir"/837p-10mb.txt "$dataDir"/837p-100mb.txt \
    "$smallFile"; do
    if [[ ! -f $file ]]; then
        echo "skipping missing $file" >&2
        continue
    fi
    checkParses "$file"
    bytes=$(stat -c %s "$file")
    cat "$file" >/dev/null # warm the page cache
    dump=$(bestWallTime "$kelvane" --dump-tree "$file")
    json=$(bestWallTime "$kelvane" --dump-json "$file")
    catTime=$(bestWallTime cat "$file")
    rss=$(peakRssKiB "$kelvane" --dump-tree "$file")
    awk -v name="$(basename "$file")" -v bytes="$bytes" -v dump="$dump" -v json="$json" \
        -v rss="$rss" -v cat="$catTime" 'BEGIN {
            mib = bytes / 1048576
            printf "%-22s %9.4f %9.3fs %9.1f %9.3fs %9.1f %7.1fMiB %10.2f %8.4fs\n",
                name, mib, dump, mib / dump, json, mib / json, rss / 1024, rss * 1024 / bytes, cat
        }'
done
