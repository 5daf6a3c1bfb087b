#!/usr/bin/env bash
# Fuzzes one target with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, then adds
# what it found that reaches new code to the committed corpus.
#
#   tools/fuzz.sh TARGET [SECONDS]     TARGET: document, formatters or delimiters (default 1800 s)
#
# Builds into build-fuzz with Debian's clang 19 (installed if missing). The working corpus is kept
# in .cache/fuzz/TARGET between runs; inputs that crash, hang or break an invariant are written to
# .cache/fuzz/crashes/. Replay one with: build-fuzz/tests/fuzz/fuzz_TARGET FILE
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target=${1:?usage: tools/fuzz.sh document|formatters|delimiters [SECONDS]}
seconds=${2:-1800}
case $target in
document) maxLength=16384 ;;
formatters) maxLength=256 ;;
delimiters) maxLength=4096 ;;
*) echo "error: unknown target '$target'" >&2; exit 2 ;;
esac

if ! command -v clang++-19 >/dev/null || [[ ! -d /usr/lib/llvm-19/lib/clang/19/lib/linux ]]; then
    apt-get update -qq && apt-get install -y -qq clang-19 libclang-rt-19-dev >/dev/null
fi
"$root/tools/install-deps.sh" >/dev/null
CC=clang-19 CXX=clang++-19 cmake -S "$root" -B "$root/build-fuzz" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_FUZZ=ON >/dev/null
cmake --build "$root/build-fuzz" --target "fuzz_$target"

fuzzer="$root/build-fuzz/tests/fuzz/fuzz_$target"
committed="$root/tests/fuzz/corpus/$target"
work="$root/.cache/fuzz/$target"
mkdir -p "$work" "$root/.cache/fuzz/crashes"
"$fuzzer" -max_total_time="$seconds" -dict="$root/tests/fuzz/x12.dict" -max_len="$maxLength" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$root/.cache/fuzz/crashes/$target-" "$work" "$committed"

# Add to the committed corpus only the found inputs that reach something it does not; the
# committed inputs keep their names, which tell where they came from.
before=$(find "$committed" -type f | wc -l)
"$fuzzer" -merge=1 -max_len="$maxLength" "$committed" "$work" 2>/dev/null
echo "$target: $before inputs before, $(find "$committed" -type f | wc -l) now in $committed"
