#!/usr/bin/env bash
# Makes the README's pictures of model_viewer under a private Xvfb:
# docs/model_viewer.png (the demo scene after two seconds) and
# docs/error_box.png (the box shown when szablon.bmp is missing).
# Usage: tools/screenshots_viewer.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
docs="$PWD/docs"
work=$(mktemp -d)
source scripts/lib.sh
on_exit 'rm -rf "$work"'
start_xvfb

"$build/tools/make_demo_assets" "$work"
(cd "$work" && exec "$build/viewer/model_viewer" >/dev/null) &
viewer=$!
sleep 2
capture_window '^Szablon$' "$docs/model_viewer.png"
kill "$viewer"; wait "$viewer" 2>/dev/null || true

rm "$work/szablon.bmp"
(cd "$work" && exec "$build/viewer/model_viewer" >/dev/null 2>&1) &
viewer=$!
capture_window '^Problem$' "$docs/error_box.png"
kill "$viewer"; wait "$viewer" 2>/dev/null || true
echo "wrote $docs/model_viewer.png and $docs/error_box.png"
