#!/usr/bin/env bash
# The viewer's frame in the browser against plain WebGL: builds the bench
# page with Emscripten into BUILD, packing ASSETS' szablon.3ds and
# szablon.bmp, and has Debian's headless Chromium time it
# (bench/web/frame_bench.mjs), which prints the ratio line. Run by
# bench/run.sh; installs what it needs, the browser driver with npm from
# tests/system/web's lock file.
#   bash bench/web/run.sh --assets=DIR --build=DIR [--count=N] [--tsv=FILE]
set -euo pipefail
cd "$(dirname "$0")/../.."

usage() {
    echo "usage: $0 --assets=DIR --build=DIR [--count=N] [--tsv=FILE]" >&2
    exit 2
}
assets="" build="" passed=()
for arg; do
    case "$arg" in
    --assets=*) assets=$(realpath "${arg#*=}") ;;
    --build=*) build=$(realpath -m "${arg#*=}") ;;
    --count=* | --tsv=*) passed+=("$arg") ;;
    *) usage ;;
    esac
done
[ -n "$assets" ] && [ -n "$build" ] || usage

source tools/install_packages.sh
install_packages --no-install-recommends emscripten cmake make python3 chromium nodejs
command -v npm >/dev/null || install_packages --no-install-recommends npm
[ -d tests/system/web/node_modules/playwright-core ] ||
    (cd tests/system/web && npm ci --no-audit --no-fund >&2)

# As tools/build_web.sh builds the pages.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DSZABLON_BENCH=ON -DSZABLON_BENCH_ASSETS="$assets" >&2
# The packed files are no dependency CMake knows of: link the page afresh.
rm -f "$build/bench/web/web_frame_bench.js"
cmake --build "$build" -j2 --target web_frame_bench >&2

node bench/web/frame_bench.mjs --site="$build/bench/web" --model="$assets/szablon.3ds" "${passed[@]}"
