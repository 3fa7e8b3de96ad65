#!/usr/bin/env bash
# Installs what model_viewer needs on a fresh Debian machine, builds it (the
# release preset), writes the demo assets into run/ and starts the viewer
# there.
#
# With a display the viewer opens on it and runs until its window is closed.
# Without one it runs under a private Xvfb: a screenshot of its window is
# saved after two seconds as run/screenshot.png, and the viewer is ended.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
install_packages cmake g++ make pkg-config freeglut3-dev libglu1-mesa-dev \
    libgl1-mesa-dri libx11-dev xvfb xauth x11-apps xdotool imagemagick

cmake --preset release
cmake --build --preset release
build="$PWD/build-release"

run="$PWD/run"
mkdir -p "$run"
"$build/tools/make_demo_assets" "$run"
cd "$run"

if [ -n "${DISPLAY:-}" ]; then
    exec "$build/viewer/model_viewer"
fi

start_xvfb
"$build/viewer/model_viewer" > loading.txt &
viewer=$!
sleep 2
capture_window '^Szablon$' screenshot.png
kill "$viewer" 2>/dev/null || true
wait "$viewer" 2>/dev/null || true
echo "model_viewer printed $(wc -l < loading.txt) loading lines (run/loading.txt)"
echo "screenshot of its window after two seconds: $run/screenshot.png"
