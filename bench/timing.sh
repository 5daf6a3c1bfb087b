# Shared by the measuring scripts: sourced, not run. Expects $runs (how many timed runs).

# Best wall time in seconds over $runs runs of "$@", output discarded; fails if a run fails.
bestWallTime()
{
    local best="" start end elapsed
    for ((i = 0; i < runs; ++i)); do
        start=$EPOCHREALTIME
        "$@" >/dev/null || return 1
        end=$EPOCHREALTIME
        elapsed=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')
        if [[ -z $best ]] || awk -v a="$elapsed" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$elapsed
        fi
    done
    echo "$best"
}

# Peak resident set size in KiB of one run of "$@"; fails as the command does.
peakRssKiB()
{
    local report status=0
    report=$(mktemp)
    /usr/bin/time -f '%M' -o "$report" "$@" >/dev/null || status=$?
    tail -n 1 "$report"
    rm -f "$report"
    return "$status"
}
