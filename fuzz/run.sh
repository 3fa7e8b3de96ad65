#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset: clang, libFuzzer, the
# sanitizers), replays the regression corpus through them (its tests), then
# fuzzes each target for a bounded time.
#
#   bash fuzz/run.sh [SECONDS_PER_TARGET]      (default 60, or $FUZZ_SECONDS)
#
# The working corpora grow in build-fuzz/corpus/ from run to run. A failure
# leaves its input in build-fuzz/artifacts/; minimise it with
#   build-fuzz/fuzz/fuzz_3ds -minimize_crash=1 -runs=100000 -exact_artifact_path=OUT INPUT
# and add OUT to fuzz/regressions/ with its line in tests/unit/fuzz_regressions_test.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

seconds=${1:-${FUZZ_SECONDS:-60}}
build=build-fuzz
testdata=${SZABLON_TESTDATA:-../shared/testdata}
targets=(3ds bmp tga)

cmake --workflow --preset fuzz

# Seeds: files our writer makes, the demo model, and the shared real-world files.
seeds="$build/seeds"
rm -rf "$seeds"
for target in "${targets[@]}"; do
    mkdir -p "$seeds/$target" "$build/corpus/$target"
done
"$build/fuzz/make_seeds" "$seeds/3ds" "$seeds/bmp" "$seeds/tga"
mkdir -p "$seeds/demo"
"$build/tools/make_demo_assets" "$seeds/demo" 2>/dev/null
mv "$seeds/demo/szablon.3ds" "$seeds/3ds/demo.3ds"
rm -r "$seeds/demo"  # the demo texture is 192 KiB of plain pixels: too slow to mutate
if [ -d "$testdata" ]; then
    cp "$testdata"/3ds/* "$seeds/3ds/"
    for f in "$testdata"/bmp/good/*.bmp "$testdata"/bmp/bad/*.bmp; do
        cp "$f" "$seeds/bmp/$(basename "$(dirname "$f")")-$(basename "$f")"
    done
else
    echo "fuzz/run.sh: no test data at $testdata; seeding from the writer only" >&2
fi

for target in "${targets[@]}"; do
    echo "== fuzz_$target: fuzzing for $seconds s"
    artifacts="$build/artifacts/$target"
    mkdir -p "$artifacts"
    rm -f "$artifacts"/slow-unit-*
    log="$build/fuzz_$target.log"
    # Wall time is what libFuzzer limits, and load stretches it: 25 s per
    # input is a hang whatever else the machine runs. An input past one
    # second is kept as a slow unit and replayed alone below, held to a
    # second of processor time. A tiny file has no business asking for half
    # a gigabyte.
    if ! "$build/fuzz/fuzz_$target" -timeout=25 -report_slow_units=1 -malloc_limit_mb=512 \
        -print_final_stats=1 \
        -dict="fuzz/$target.dict" -max_total_time="$seconds" \
        -artifact_prefix="$artifacts/" "$build/corpus/$target" "$seeds/$target" \
        >"$log" 2>&1; then
        grep -v '^#[0-9]' "$log" | tail -n 60 >&2
        die "fuzz_$target failed; full log in $log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$log"
    slow=("$artifacts"/slow-unit-*)
    if [ -e "${slow[0]}" ]; then
        bash fuzz/within_budget.sh "$build/fuzz/fuzz_$target" 1 "${slow[@]}" ||
            die "fuzz_$target: an input is slow even alone; it is in $artifacts"
    fi
done
echo "fuzz/run.sh: no crash, hang, leak or broken invariant"
