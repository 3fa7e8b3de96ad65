#!/usr/bin/env bash
# Checks the web pages against the desktop programs: builds the site
# (tools/build_web.sh) and a viewer page without szablon.bmp, takes the
# desktop frames under a private Xvfb, and has headless Chromium load each
# page from a local HTTP server (tests/system/web_check.py):
#   - spheres_add and spheres_alpha: the first frame matches the desktop's;
#   - model_viewer: frame 200 (?frames=200 stops it there) matches the
#     desktop's frame 200, the same angle, and its console holds the desktop
#     program's standard output;
#   - model_viewer on a model and a 127 x 64 texture of ../shared/testdata
#     (skipped where that folder is missing): the texture rescaled as GLU
#     does it, against the desktop frame;
#   - model_viewer without szablon.bmp: the error box, and OK ends the page;
#   - no page logs a WebGL error or an exception.
# Prints "N passed, M failed" and exits non-zero on any failure.
# Usage: tests/system/web.sh [DESKTOP_BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
desktop=$(realpath -m "${1:-build}")
viewer_frame=200
testdata=${SZABLON_TESTDATA:-../shared/testdata}

source tools/install_packages.sh
install_packages --no-install-recommends chromium

[ -f "$desktop/CMakeCache.txt" ] || cmake -S . -B "$desktop" >/dev/null
cmake --build "$desktop" -j2 \
    --target model_viewer spheres_add spheres_alpha frame_grab make_demo_assets >/dev/null

work="$PWD/build-web/test"
rm -rf "$work"
mkdir -p "$work/demo" "$work/no-texture"
"$desktop/tools/make_demo_assets" "$work/demo" >/dev/null
cp "$work/demo/szablon.3ds" "$work/no-texture/"
bash tools/build_web.sh --assets "$work/demo" --site "$work/site"
bash tools/build_web.sh --assets "$work/no-texture" --site "$work/site-no-texture" --viewer-only
checks=()
if [ -d "$testdata" ]; then
    mkdir -p "$work/testdata"
    # Read in place, under the names the viewer opens.
    ln -s "$(realpath "$testdata/3ds/fels.3ds")" "$work/testdata/szablon.3ds"
    ln -s "$(realpath "$testdata/bmp/good/rgb24.bmp")" "$work/testdata/szablon.bmp"
    bash tools/build_web.sh --assets "$work/testdata" --site "$work/site-testdata" --viewer-only
    checks+=("frame:model_viewer_testdata:site-testdata/model_viewer.html?frames=50:$work/testdata.ppm:$work/testdata.stdout")
else
    echo "skipped: model_viewer on $testdata's files (no such folder)"
fi

# The desktop frames, read from each program's back buffer at the frame asked for.
source tools/xvfb_session.sh
start_xvfb
export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
grab() {  # grab FRAME OUT.ppm PROGRAM
    FRAME_GRAB_AT="$1" FRAME_GRAB_TO="$2" LD_PRELOAD="$desktop/tests/system/libframe_grab.so" \
        timeout 60 "$3"
}
for program in spheres_add spheres_alpha; do
    grab 1 "$work/$program.ppm" "$desktop/spheres/$program"
done
(cd "$work/demo" && grab "$viewer_frame" "$work/model_viewer.ppm" \
    "$desktop/viewer/model_viewer" > "$work/model_viewer.stdout")
if [ -d "$work/testdata" ]; then
    (cd "$work/testdata" && grab 50 "$work/testdata.ppm" "$desktop/viewer/model_viewer" \
        > "$work/testdata.stdout" 2>/dev/null)
fi

python3 tests/system/web_check.py --site "$work" --out "$work" \
    "frame:spheres_add:site/spheres_add.html?frames=1:$work/spheres_add.ppm" \
    "frame:spheres_alpha:site/spheres_alpha.html?frames=1:$work/spheres_alpha.ppm" \
    "frame:model_viewer:site/model_viewer.html?frames=$viewer_frame:$work/model_viewer.ppm:$work/model_viewer.stdout" \
    "box:model_viewer_no_texture:site-no-texture/model_viewer.html" "${checks[@]}"
