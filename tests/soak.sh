#!/usr/bin/env bash
# Runs the end-to-end tests N times in a row (default 20) while two busy
# loops hold both cores, to show that no test decides on a guess of time.
#
#   bash tests/soak.sh [N]        (the default preset's build/)
#
# Prints "N passed, 0 failed", or the tests that failed, with the log.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

runs=${1:-20}
build=build
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

burn() { while :; do :; done; }
burn &
burner1=$!
burn &
burner2=$!
on_exit 'kill "$burner1" "$burner2" 2>/dev/null' 

log="$build/soak.log"
echo "soak: the end-to-end tests $runs times with both cores busy (log in $log)"
if ctest --test-dir "$build" -L e2e -j3 --repeat until-fail:"$runs" --output-on-failure >"$log" 2>&1; then
    echo "$runs passed, 0 failed"
else
    echo "soak: failed; the failing tests:" >&2
    sed -n '/The following tests FAILED/,$p' "$log" >&2
    exit 1
fi
