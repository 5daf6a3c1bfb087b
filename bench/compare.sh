#!/usr/bin/env bash
# Kelvane's parse against the npm X12 parsers node-x12 and x12-parser, and against `cat`, on the
# generated 837P files of 1, 10 and 100 MiB, all measured in this one run. Prints one table: for
# each size and tool, MiB/s and peak memory, and Kelvane's speed as a multiple of each other's.
#
#   bench/compare.sh [SIZE_MIB...]      (default: 1 10 100)
#
# Builds Kelvane's benchmark tools into build-bench, installs the two npm packages into
# .cache/npm-peers (for this comparison only: nothing of Kelvane uses them) and generates missing
# inputs into bench/data. Each tool is one process given the file: Kelvane reads, decodes and
# parses it into its document (kelvane_parse); node-x12 parses the text into its interchange
# object; x12-parser streams it into segment objects and drops each (x12-parser) or keeps them
# all, as a viewer must (x12-parser-kept). Wall times are the best of 3 runs with a warm
# page cache; peak RSS is from one more run under /usr/bin/time. MiB is 2^20 bytes.
set -euo pipefail
benchDir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$benchDir/.." && pwd)
buildDir="$root/build-bench"
peersDir="$root/.cache/npm-peers"
dataDir="$benchDir/data"
runs=3
sizes=("$@")
(($#)) || sizes=(1 10 100)
source "$benchDir/timing.sh"

"$root/tools/install-deps.sh" test >/dev/null
missing=()
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[[ -x /usr/bin/time ]] || missing+=(time)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || missing+=(libbenchmark-dev)
if ((${#missing[@]})); then
    apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$buildDir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_TESTS=OFF \
    -DKELVANE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$buildDir" --target kelvane_parse kelvane_make_837 >/dev/null

if [[ ! -d $peersDir/node_modules/node-x12 || ! -d $peersDir/node_modules/x12-parser ]]; then
    mkdir -p "$peersDir"
    (cd "$peersDir" && npm init -y >/dev/null &&
        npm install --no-audit --no-fund --silent node-x12@1.7.1 x12-parser@1.3.0 >/dev/null)
fi
cp "$benchDir/peers.js" "$peersDir/peers.js"

mkdir -p "$dataDir"
for size in "${sizes[@]}"; do
    file="$dataDir/837p-${size}mb.txt"
    [[ -s $file ]] || "$buildDir/bench/kelvane_make_837" "$size" "$file"
done

tools=(cat kelvane node-x12 x12-parser x12-parser-kept)
# Sets `command` to the tool's command line, without the file.
setCommand()
{
    case $1 in
    cat) command=(cat) ;;
    kelvane) command=("$buildDir/bench/kelvane_parse") ;;
    # Node's default heap is too small for node-x12's object model of the large file.
    node-x12 | x12-parser*) command=(node --max-old-space-size=16384 "$peersDir/peers.js" "$1") ;;
    esac
}

echo "$(date -u +%Y-%m-%d) · $(nproc) cores · $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) · $(lscpu | sed -n 's/^Model name: *//p' | head -n 1) · node $(node --version)"
echo
echo "| Size | Tool | Seconds | MiB/s | Peak RSS (MiB) | Kelvane's speed × |"
echo "|---:|---|---:|---:|---:|---:|"
for size in "${sizes[@]}"; do
    file="$dataDir/837p-${size}mb.txt"
    bytes=$(stat -c %s "$file")
    cat "$file" >/dev/null
    declare -A seconds=() rss=()
    for tool in "${tools[@]}"; do
        setCommand "$tool"
        # The memory run also tells whether the tool copes with the file at all.
        if ! rss[$tool]=$(peakRssKiB "${command[@]}" "$file" 2>/dev/null) ||
            ! seconds[$tool]=$(bestWallTime "${command[@]}" "$file" 2>/dev/null); then
            seconds[$tool]=failed
        fi
    done
    for tool in "${tools[@]}"; do
        if [[ ${seconds[$tool]} == failed ]]; then
            echo "| $size MiB | $tool | failed | | | |"
            continue
        fi
        awk -v size="$size" -v tool="$tool" -v bytes="$bytes" -v s="${seconds[$tool]}" \
            -v r="${rss[$tool]}" -v k="${seconds[kelvane]}" 'BEGIN {
                mib = bytes / 1048576
                ratio = tool == "kelvane" ? "1" : k == "failed" ? "n/a" : sprintf("%.2f", s / k)
                printf "| %d MiB | %s | %.3f | %.1f | %.1f | %s |\n", size, tool, s, mib / s, r / 1024, ratio
            }'
    done
done
echo
echo "\"Kelvane's speed ×\" is the tool's time divided by Kelvane's: above 1, Kelvane is faster."
