#!/usr/bin/env bash
# The viewer's frame in the browser against plain WebGL: builds the bench
# page (the web-bench preset, into build-bench/web/), packing ASSETS' szablon.3ds and
# szablon.bmp, and has Debian's headless Chromium time it
# (bench/web/frame_bench.mjs), which prints the ratio line. Run by
# bench/run.sh; installs what it needs, the browser driver with npm from
# tests/system/web's lock file.
#   bash bench/web/run.sh --assets=DIR [--count=N] [--tsv=FILE]
set -euo pipefail
cd "$(dirname "$0")/../.."

usage() {
    echo "usage: $0 --assets=DIR [--count=N] [--tsv=FILE]" >&2
    exit 2
}
assets="" build=$PWD/build-bench/web passed=()
for arg; do
    case "$arg" in
    --assets=*) assets=$(realpath "${arg#*=}") ;;
    --count=* | --tsv=*) passed+=("$arg") ;;
    *) usage ;;
    esac
done
[ -n "$assets" ] || usage

source scripts/lib.sh
install_packages --no-install-recommends emscripten cmake make python3 chromium nodejs
command -v npm >/dev/null || install_packages --no-install-recommends npm
[ -d tests/system/web/node_modules/playwright-core ] ||
    (cd tests/system/web && npm ci --no-audit --no-fund >&2)

cmake --preset web-bench -DSZABLON_BENCH_ASSETS="$assets" >&2
# The packed files are no dependency CMake knows of: link the page afresh.
rm -f "$build/bench/web/web_frame_bench.js"
cmake --build --preset web-bench >&2

node bench/web/frame_bench.mjs --site="$build/bench/web" --model="$assets/szablon.3ds" "${passed[@]}"
