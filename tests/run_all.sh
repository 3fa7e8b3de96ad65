#!/usr/bin/env bash
# The README's test command: installs what the build and the tests need on
# a fresh Debian machine, builds everything and runs every test. Needs no
# display: the end-to-end tests start a private Xvfb of their own.
set -euo pipefail
cd "$(dirname "$0")/.."

source tools/install_packages.sh
install_packages cmake g++ make pkg-config libgtest-dev \
    freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev libpng-dev \
    xvfb xauth x11-apps x11-utils xdotool apitrace imagemagick \
    clang libclang-rt-dev valgrind dpkg-dev file

# Tests that read the shared test data skip without it, unless the run
# requires it (CI does, with SZABLON_REQUIRE_TESTDATA=1).
export SZABLON_TESTDATA=${SZABLON_TESTDATA:-$PWD/../shared/testdata}
if [ ! -d "$SZABLON_TESTDATA" ]; then
    if [ "${SZABLON_REQUIRE_TESTDATA:-0}" != 0 ]; then
        echo "run_all.sh: the shared test data is required but missing at $SZABLON_TESTDATA" >&2
        exit 1
    fi
    echo "run_all.sh: no shared test data at $SZABLON_TESTDATA; the tests that need it are skipped" >&2
fi

cmake -S . -B build -DSZABLON_TESTDATA="$SZABLON_TESTDATA"
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The same tests built with the address and undefined-behaviour sanitizers.
cmake -S . -B build-asan -DSZABLON_SANITIZE=ON -DSZABLON_TESTDATA="$SZABLON_TESTDATA"
cmake --build build-asan -j"$(nproc)"
(source tests/sanitizer_env.sh && ctest --test-dir build-asan --output-on-failure -j"$(nproc)")

# Both readers under libFuzzer: the regression corpus, then a bounded run each.
bash fuzz/run.sh "${FUZZ_SECONDS:-60}"

# The system checks: the Windows build under Wine beside this one, with its
# ZIP package; the Debian package installed and its viewer run; asset_info
# built with Emscripten, under Node, beside this one; the same programs as
# web pages in headless Chromium, against the frames above.
bash tests/system/windows.sh build
bash tests/system/deb.sh build
bash tests/system/node.sh build
bash tests/system/web.sh build
