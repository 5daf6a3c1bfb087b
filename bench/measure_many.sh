#!/usr/bin/env bash
# Many small files in one command against one file of the same total size: the per-file cost of
# --check, --dump-tree and --dump-json given a folder's worth of files.
#
#   bench/measure_many.sh BUILD_DIR [COUNT [KIB_EACH]]
#
# BUILD_DIR must already hold src/kelvane and bench/kelvane_make_837 (configure with
# -DKELVANE_BUILD_BENCHMARKS=ON). COUNT files (default 1000) of about KIB_EACH KiB (default 100),
# each a different generated 837P, and one 837P of their total size are generated into
# bench/data. Wall times are the best of $RUNS runs (default 3), output to /dev/null.
set -euo pipefail

if [[ $# -lt 1 ]]; then
    echo "usage: $0 BUILD_DIR [COUNT [KIB_EACH]]" >&2
    exit 2
fi

buildDir=$(cd "$1" && pwd)
count=${2:-1000}
kibEach=${3:-100}
benchDir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
kelvane="$buildDir/src/kelvane"
make837="$buildDir/bench/kelvane_make_837"
runs=${RUNS:-3}
for tool in "$kelvane" "$make837"; do
    if [[ ! -x $tool ]]; then
        echo "error: $tool is missing; build $buildDir with -DKELVANE_BUILD_BENCHMARKS=ON" >&2
        exit 1
    fi
done
source "$benchDir/timing.sh"

manyDir="$benchDir/data/many-${count}x${kibEach}kib"
one="$benchDir/data/one-${count}x${kibEach}kib.txt"
if [[ ! -d $manyDir ]]; then
    mkdir -p "$manyDir.partial"
    for ((i = 1; i <= count; ++i)); do
        "$make837" "$(awk -v k="$kibEach" 'BEGIN { print k / 1024 }')" \
            "$manyDir.partial/$(printf 'claims-%05d.837' "$i")" "$i"
    done
    mv "$manyDir.partial" "$manyDir"
fi
[[ -s $one ]] || "$make837" "$(awk -v c="$count" -v k="$kibEach" 'BEGIN { print c * k / 1024 }')" "$one"

# Runs a command for timing; a status of 3 (findings) counts as success.
quiet()
{
    local status=0
    "$@" >/dev/null 2>&1 || status=$?
    [[ $status -eq 0 || $status -eq 3 ]]
}

cat "$manyDir"/* "$one" >/dev/null # warm the page cache
printf '%-12s %12s %12s %8s\n' mode 'one file s' "$count files s" ratio
for mode in --check --dump-tree --dump-json; do
    oneTime=$(bestWallTime quiet "$kelvane" "$mode" "$one")
    manyTime=$(bestWallTime quiet "$kelvane" "$mode" "$manyDir"/*)
    printf '%-12s %12s %12s %8s\n' "$mode" "$oneTime" "$manyTime" \
        "$(awk -v a="$manyTime" -v b="$oneTime" 'BEGIN { printf "%.2f", a / b }')"
done
