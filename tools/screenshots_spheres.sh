#!/usr/bin/env bash
# Makes the README's pictures of the two sphere scenes under a private Xvfb:
# docs/spheres_add.png and docs/spheres_alpha.png, 640 x 480 each.
# Usage: tools/screenshots_spheres.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
docs="$PWD/docs"
source scripts/lib.sh
start_xvfb

for program in spheres_add spheres_alpha; do
    "$build/spheres/$program" &
    pid=$!
    # The scene is still: its first frame is the picture.
    capture_window '^Szablon$' "$docs/$program.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
echo "wrote $docs/spheres_add.png and $docs/spheres_alpha.png"
