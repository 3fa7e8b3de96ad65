#!/usr/bin/env bash
# Checks write_fixed6 against printf("%f") on every one of the 2^32 floats,
# and the sampled cases at their full size (33 million floats across the
# exponents, every rounding tie and its neighbours). Not part of CI: hours
# of processor time, spread here over JOBS processes.
#
#   bash tests/unit/fixed6_every_float.sh [JOBS]   (default: nproc; the default preset's build/)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build
jobs=${1:-$(nproc)}
test=$build/tests/unit/fixed6_test
cmake --preset default >/dev/null
cmake --build --preset default --target fixed6_test

FIXED6_SAMPLES=65536 FIXED6_TIE_STEP=1 "$test" --gtest_brief=1

# 256 slices, so that the work stays even and a failing slice is small.
slices=256
seq 0 $((slices - 1)) | xargs -P "$jobs" -I{} env FIXED6_SLICE={}/$slices "$test" \
    --gtest_also_run_disabled_tests --gtest_filter='Fixed6.DISABLED_EveryFloatMatchesPrintf' \
    --gtest_brief=1 > "$build/fixed6_every_float.log" 2>&1 || {
    grep -E 'bits 0x|FAILED' "$build/fixed6_every_float.log" | head -n 40
    echo "some floats differ from printf; see $build/fixed6_every_float.log" >&2
    exit 1
}
echo "all $(grep -c '^checked ' "$build/fixed6_every_float.log") slices of 2^32 floats match printf"
