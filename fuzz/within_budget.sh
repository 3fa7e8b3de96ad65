#!/usr/bin/env bash
# Replays each input alone through a fuzz target and holds it to a budget of
# processor time, which a loaded machine barely changes, where libFuzzer's
# own -timeout counts wall time: that limit is kept generous here, for a
# real hang only.
#
#   bash fuzz/within_budget.sh TARGET CPU_SECONDS INPUT...
#
# Fails, naming the input, when the target fails on one (a crash, a broken
# invariant, a hang) or spends more than CPU_SECONDS on it.
set -uo pipefail
[ $# -ge 2 ] || { echo "usage: $0 TARGET CPU_SECONDS INPUT..." >&2; exit 2; }
target=$1 budget=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
TIMEFORMAT='%3U %3S'
failed=0
for input in "$@"; do
    if ! spent=$( { time "$target" -timeout=60 -malloc_limit_mb=512 -runs=1 "$input" >"$log" 2>&1; } 2>&1 ); then
        echo "$input: the target failed on it" >&2
        tail -n 30 "$log" >&2
        failed=1
        continue
    fi
    # User plus system time, in milliseconds.
    read -r user system <<<"$spent"
    ms=$(( 10#${user/./} + 10#${system/./} ))
    if [ "$ms" -gt $((budget * 1000)) ]; then
        echo "$input: ${ms} ms of processor time, over the budget of ${budget} s" >&2
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "$# inputs, each within ${budget} s of processor time"
exit "$failed"
