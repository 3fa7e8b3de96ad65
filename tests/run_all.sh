#!/usr/bin/env bash
# The README's test command: installs what the builds and the tests need on
# a fresh Debian machine, then runs every build's tests through its preset
# (CMakePresets.json) and the system checks. Needs no display: the
# end-to-end tests start a private Xvfb of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_packages cmake g++ make pkg-config libgtest-dev \
    freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev libpng-dev \
    xvfb xauth x11-apps x11-utils xdotool apitrace imagemagick \
    clang libclang-rt-dev valgrind dpkg-dev file gcovr

# Tests that read the shared test data skip without it, unless the run
# requires it (CI does, with SZABLON_REQUIRE_TESTDATA=1).
export SZABLON_TESTDATA=${SZABLON_TESTDATA:-$PWD/../shared/testdata}
if [ ! -d "$SZABLON_TESTDATA" ]; then
    [ "${SZABLON_REQUIRE_TESTDATA:-0}" = 0 ] ||
        die "the shared test data is required but missing at $SZABLON_TESTDATA"
    echo "run_all.sh: no shared test data at $SZABLON_TESTDATA; the tests that need it are skipped" >&2
fi

# Every test, in the plain build and with the sanitizers.
cmake --workflow --preset default
cmake --workflow --preset asan

# The formats library's coverage by its unit tests, against a floor that
# rises as cases come.
# The floor counts the cases on the shared test data: without it, the
# figures are only reported.
cmake --workflow --preset coverage
floor=(--fail-under-line 98 --fail-under-branch 95)
if [ ! -d "$SZABLON_TESTDATA" ]; then
    floor=()
    echo "run_all.sh: no shared test data, so the coverage floor is not applied" >&2
fi
gcovr --root . --filter 'formats/' --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary --txt build-coverage/coverage.txt "${floor[@]}" build-coverage
sed -n '/^File/,$p' build-coverage/coverage.txt | grep -v '100%' || true

# The readers under libFuzzer: the regression corpus, then a bounded run each.
bash fuzz/run.sh "${FUZZ_SECONDS:-60}"

# The system checks: the Windows build under Wine beside this one, with its
# ZIP package; the Debian package installed and its viewer run; asset_info
# built with Emscripten, under Node, beside this one; the same programs as
# web pages in headless Chromium, against the frames above.
bash tests/system/windows.sh
bash tests/system/deb.sh
bash tests/system/node.sh
bash tests/system/web.sh
