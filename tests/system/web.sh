#!/usr/bin/env bash
# Checks the web pages against the desktop programs, in Debian's headless
# Chromium driven by Playwright (tests/system/web/check.mjs): builds the site
# (tools/build_web.sh) and a viewer page without szablon.bmp, writes the
# files the checks hand the viewer (test_files web; ImageMagick converts,
# cmake's tar, tar and 7z pack some of them), starts a private Xvfb
# for the desktop frames (frame_grab) and runs the checks, which use the
# pages as a person does:
#   - spheres_add and spheres_alpha: the first frame is the desktop's;
#   - model_viewer's demo: frame 200 (?frames=200) and the stdout pane are
#     the desktop's; at device scale factor 2 the canvas is 1280 x 960 and
#     its frame 50 the desktop's in a 1280 x 960 window;
#   - ../shared/testdata's fels.3ds and rgb24.bmp picked and dropped, a model
#     with two textures dropped and its folder picked, a capacity model with
#     a 4096 x 4096 texture: each frame 1 and stdout the desktop's;
#   - the error box, without szablon.bmp and for a broken texture dropped,
#     with the desktop's reason; OK ends the program;
#   - textures as models come with them (the model and a PNG in subfolders
#     of a .zip, a .7z, a .tar.gz and a .zip inside a .zip beside a preview
#     picture, a folder with a JPEG, a JPEG named .bmp, an RLE TGA), each frame
#     the desktop's on that picture made a BMP by ImageMagick; a truncated
#     .zip dropped;
#   - files left out with their line; twenty drops in a row; Save the picture;
#   - every page on an emulated phone (390 x 844, 3 device pixels to the CSS
#     pixel, touch): laid out for it, nothing scrolls sideways, controls 44 CSS
#     pixels tall; axe-core finds no serious or critical violation;
#   - forty hostile drops (truncated and mutated .7z and .tar.gz among them);
#   - a table of changed-template scenes (tests/system/web/scenes.cpp: every
#     primitive, blending, lights, textures, fog, display lists, GLUT's and
#     GLU's shapes, matrices), each built for both: frame 1 the desktop's;
#   - the zip the build packs, unpacked: its licences, and the viewer runs;
#   - no page logs a warning, an error, an exception, a failed load or a
#     refusal of its Content-Security-Policy.
# The checks that need the shared test data skip where it is missing
# (SZABLON_TESTDATA, default ../shared/testdata), or fail with
# SZABLON_REQUIRE_TESTDATA=1. Prints one line per check and
# "N passed, M failed", exits non-zero on any failure, and leaves the frames
# (and screenshots and diffs of failures) in build-web/test/.
# Usage: tests/system/web.sh   (the desktop frames from the default preset's build/)
set -euo pipefail
cd "$(dirname "$0")/../.."
desktop=$PWD/build
testdata=$(realpath -m "${SZABLON_TESTDATA:-../shared/testdata}")

source scripts/lib.sh
install_packages --no-install-recommends chromium nodejs imagemagick p7zip-full
# Node from elsewhere (NodeSource's package) brings its own npm.
command -v npm >/dev/null || install_packages --no-install-recommends npm

cmake --preset default >/dev/null
cmake --build --preset default \
    --target model_viewer spheres_add spheres_alpha gl_scenes frame_grab test_files >/dev/null

work="$PWD/build-web/test"
rm -rf "$work"
mkdir -p "$work/no-texture-demo"
"$desktop/tests/system/test_files" web "$work/files"
# Textures as models come with them, made from our BMPs by another tool, and
# each as the BMP the desktop program is given for the same picture.
(
    cd "$work/files"
    convert boat/textures/hull.bmp boat/textures/hull.png
    convert wood/Textures/wood.bmp -quality 85 wood/Textures/wood.jpg
    rm boat/textures/hull.bmp wood/Textures/wood.bmp
    # A JPEG under a BMP's name, as some sites ship them.
    mkdir lied
    cp wood/Model.3ds lied/
    cp wood/Textures/wood.jpg lied/wood.bmp
    mkdir reference
    for picture in boat/textures/hull.png wood/Textures/wood.jpg crate/crate.tga; do
        name=$(basename "$picture")
        convert "$picture" -auto-orient -type TrueColor "BMP3:reference/${name%.*}.bmp"
    done
    # As downloads come: with a readme.
    echo "A boat, from a model site." >boat/readme.txt
    (cd boat && cmake -E tar cf ../boat.zip --format=zip models textures decoy.bmp readme.txt)
    (cd boat && 7z a -bd -bso0 ../boat.7z models textures decoy.bmp readme.txt)
    (cd boat && tar czf ../boat.tar.gz models textures decoy.bmp readme.txt)
    # A download wrapped once more, beside the site's preview picture.
    mkdir wrapped
    cp boat.zip wrapped/
    cp wood/Textures/wood.jpg wrapped/preview.jpg
    (cd wrapped && cmake -E tar cf ../wrapped.zip --format=zip boat.zip preview.jpg)
    head -c $(($(stat -c %s boat.zip) / 2)) boat.zip >broken.zip
)
bash tools/build_web.sh
# The site as released: the zip the build packs, unpacked.
zip=$(ls "$PWD"/build-web/szablon-*-web.zip | head -n 1)
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
cp build-web/site/demo/szablon.3ds "$work/no-texture-demo/"
bash tools/build_web.sh --assets "$work/no-texture-demo" --site "$work/site-no-texture" \
    --viewer-only

# The changed-template scenes, as a page of the same shell as the programs'.
cmake --build --preset web --target gl_scenes >/dev/null
mkdir -p "$work/scenes"
cp build-web/cmake/web/gl_scenes.{html,js,wasm} web/site/program_page.js "$work/scenes/"

# The pinned driver and image libraries; the browser is Debian's.
(cd tests/system/web && npm ci --no-audit --no-fund --prefer-offline >/dev/null)

start_xvfb
node tests/system/web/check.mjs --site build-web/site --no-texture-site "$work/site-no-texture" \
    --zip-site "$(ls -d "$work"/zip/szablon-*-web | head -n 1)" --scenes "$work/scenes" \
    --files "$work/files" --desktop "$desktop" --testdata "$testdata" --out "$work"
