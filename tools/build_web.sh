#!/usr/bin/env bash
# Builds the three programs as web pages with Emscripten, from the same
# sources as the desktop build, into build-web/site/:
#   model_viewer.html   the viewer, with szablon.3ds and szablon.bmp packed in
#   spheres_add.html, spheres_alpha.html, index.html
# and asset_info for Node: build-web/cmake/tools/asset_info.js (and .wasm).
# Installs its packages on a fresh Debian machine first; needs no network
# beyond that. Serve the folder over HTTP to open the pages (see README).
#
# Usage: tools/build_web.sh [--assets DIR] [--site DIR] [--viewer-only]
#   --assets DIR   pack DIR's szablon.3ds and szablon.bmp (whichever it has)
#                  instead of the demo assets
#   --site DIR     put the pages in DIR instead of build-web/site
#   --viewer-only  build model_viewer alone (other assets only relink it)
set -euo pipefail
cd "$(dirname "$0")/.."

assets=""
site="build-web/site"
targets=(model_viewer spheres_add spheres_alpha)
node_targets=(asset_info)
while [ $# -gt 0 ]; do
    case "$1" in
    --assets) assets=$(realpath "$2"); shift 2 ;;
    --site) site="$2"; shift 2 ;;
    --viewer-only) targets=(model_viewer); node_targets=(); shift ;;
    *) echo "usage: $0 [--assets DIR] [--site DIR] [--viewer-only]" >&2; exit 2 ;;
    esac
done

source tools/install_packages.sh
install_packages --no-install-recommends emscripten cmake make g++ python3
# Debian's emscripten finds its JavaScript packages only here.
export NODE_PATH=/usr/share/nodejs
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2

out="$PWD/build-web"
mkdir -p "$out"
# Exactly the viewer's two files are packed, so the page's working directory
# holds what a desktop run's would.
packed="$out/assets"
rm -rf "$packed"
mkdir -p "$packed"
if [ -z "$assets" ]; then
    g++ -std=c++17 -O2 -I. -o "$out/make_demo_assets" tools/make_demo_assets.cpp formats/writer.cpp
    "$out/make_demo_assets" "$packed" >/dev/null
else
    for file in szablon.3ds szablon.bmp; do
        [ ! -e "$assets/$file" ] || ln -s "$assets/$file" "$packed/$file"
    done
fi

# -O2: -O3 links take twice as long for pages no faster to the eye.
emcmake cmake -S . -B "$out/cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DSZABLON_WEB_ASSETS="$packed" >/dev/null
# The packed files are no dependency CMake knows of: link the viewer afresh.
rm -f "$out/cmake/viewer/model_viewer.html"
cmake --build "$out/cmake" -j"$jobs" --target "${targets[@]}" "${node_targets[@]}"

rm -rf "$site"
mkdir -p "$site"
for target in "${targets[@]}"; do
    case "$target" in
    model_viewer) dir=viewer ;;
    *) dir=spheres ;;
    esac
    cp "$out/cmake/$dir/$target".{html,js,wasm} "$site/"
    [ ! -e "$out/cmake/$dir/$target.data" ] || cp "$out/cmake/$dir/$target.data" "$site/"
done
cat > "$site/index.html" <<'HTML'
<!doctype html>
<html lang="en">
<head><meta charset="utf-8"><title>Szablon in the browser</title><link rel="icon" href="data:,"></head>
<body style="font: 15px sans-serif; margin: 24px">
<h1>Szablon</h1>
<ul>
<li><a href="model_viewer.html">model_viewer</a>: two textured, colour-blended copies of szablon.3ds
  circling a vertical axis (its loading lines go to the browser's console)</li>
<li><a href="spheres_add.html">spheres_add</a>: six lit spheres, blended additively</li>
<li><a href="spheres_alpha.html">spheres_alpha</a>: the same scene, blended by alpha</li>
</ul>
</body>
</html>
HTML
echo "built $site; serve it with:  python3 -m http.server -d $site 8000"
