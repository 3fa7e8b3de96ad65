#!/usr/bin/env bash
# Builds the fuzz targets with clang, replays the regression corpus through
# them, then fuzzes each target for a bounded time.
#
#   bash fuzz/run.sh [SECONDS_PER_TARGET]      (default 60, or $FUZZ_SECONDS)
#
# The working corpora grow in build-fuzz/corpus/ from run to run. A failure
# leaves its input in build-fuzz/artifacts/; minimise it with
#   build-fuzz/fuzz_3ds -minimize_crash=1 -runs=100000 -exact_artifact_path=OUT INPUT
# and add OUT to fuzz/regressions/ with its line in tests/fuzz_regressions_test.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-60}}
build=${FUZZ_BUILD:-build-fuzz}
testdata=${SZABLON_TESTDATA:-../shared/testdata}

CC=clang CXX=clang++ cmake -S fuzz -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_3ds fuzz_bmp fuzz_tga make_seeds make_demo_assets

# Seeds: files our writer makes, the demo model, and the shared real-world files.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/3ds" "$seeds/bmp" "$seeds/tga" "$seeds/demo" "$build/corpus/3ds" "$build/corpus/bmp" \
    "$build/corpus/tga"
"$build/make_seeds" "$seeds/3ds" "$seeds/bmp" "$seeds/tga"
"$build/make_demo_assets" "$seeds/demo" 2>/dev/null
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

# One second per input is a hang. A tiny file has no business asking for
# half a gigabyte.
options=(-timeout=1 -malloc_limit_mb=512 -print_final_stats=1)

# Runs one fuzzer with its output in a log; on failure shows the report.
run_fuzzer() {
    local log=$1
    shift
    if "$@" >"$log" 2>&1; then
        return 0
    fi
    grep -v '^#[0-9]' "$log" | tail -n 60 >&2
    echo "fuzz/run.sh: failed; full log in $log" >&2
    return 1
}

for target in 3ds bmp tga; do
    echo "== fuzz_$target: replaying fuzz/regressions/$target"
    run_fuzzer "$build/replay_$target.log" "$build/fuzz_$target" "${options[@]}" \
        fuzz/regressions/$target/*
    grep -c '^Executed' "$build/replay_$target.log" | sed 's/$/ inputs replayed/'

    echo "== fuzz_$target: fuzzing for $seconds s"
    mkdir -p "$build/artifacts/$target"
    run_fuzzer "$build/fuzz_$target.log" "$build/fuzz_$target" "${options[@]}" \
        -dict="fuzz/$target.dict" -max_total_time="$seconds" \
        -artifact_prefix="$build/artifacts/$target/" "$build/corpus/$target" "$seeds/$target"
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$build/fuzz_$target.log"
done
echo "fuzz/run.sh: no crash, hang, leak or broken invariant"
