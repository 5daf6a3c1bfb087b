#!/usr/bin/env bash
# Times `kelvane --export-pdf` on the generated 837P files of 1 and 10 MiB (made by measure.sh),
# with pages per second and peak memory next to that of `--dump-tree` (the parse alone).
#
#   bench/measure_export.sh BUILD_DIR
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
kelvane="$(cd "$1" && pwd)/src/kelvane"
dataDir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/data"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

printf '%-16s %8s %9s %10s %12s %12s\n' file pages seconds pages/s 'peak RSS' 'parse RSS'
for size in 1 10; do
    file="$dataDir/837p-${size}mb.txt"
    if [[ ! -s $file ]]; then
        echo "error: $file is missing; run bench/measure.sh first" >&2
        exit 1
    fi
    read -r seconds rss < <(LC_ALL=en_US.UTF-8 /usr/bin/time -f '%e %M' \
        "$kelvane" --export-pdf "$file" "$out/report.pdf" 2>&1 >/dev/null | tail -n 1)
    read -r _ parseRss < <(/usr/bin/time -f '%e %M' "$kelvane" --dump-tree "$file" 2>&1 \
        >/dev/null | tail -n 1)
    pages=$(pdfinfo "$out/report.pdf" | awk '/^Pages:/ { print $2 }')
    awk -v f="$(basename "$file")" -v p="$pages" -v s="$seconds" -v r="$rss" -v q="$parseRss" \
        'BEGIN { printf "%-16s %8d %9.2f %10.0f %9.1fMiB %9.1fMiB\n", f, p, s, p / s, r / 1024, q / 1024 }'
done
