#!/usr/bin/env bash
# Builds the three programs as web pages with Emscripten, from the same
# sources as the desktop build, into build-web/site/, and packs the site as
# build-web/szablon-VERSION-web.zip, which any plain file server serves:
#   model_viewer.html   the viewer: the demo, or the visitor's own model and
#                       texture (loose, in folders or in archives), each run
#                       in model_viewer_program.html; zip.js and
#                       libarchive.js from web/site's pinned npm packages
#   spheres_add.html, spheres_alpha.html, index.html, the licence notices
# and asset_info for Node: build-web/cmake/tools/asset_info.js (and .wasm).
# Installs its packages on a fresh Debian machine first; needs no network
# beyond that. Serve the folder over HTTP to open the pages (see README).
#
# Usage: tools/build_web.sh [--assets DIR] [--site DIR] [--viewer-only]
#   --assets DIR   the site's demo: DIR's szablon.3ds and szablon.bmp
#                  (whichever it has) instead of the demo assets
#   --site DIR     put the pages in DIR instead of build-web/site (no zip)
#   --viewer-only  build the viewer's page alone
set -euo pipefail
cd "$(dirname "$0")/.."

assets=""
site=""
targets=(model_viewer model_files spheres_add spheres_alpha)
node_targets=(asset_info)
while [ $# -gt 0 ]; do
    case "$1" in
    --assets) assets=$(realpath "$2"); shift 2 ;;
    --site) site="$2"; shift 2 ;;
    --viewer-only) targets=(model_viewer model_files); node_targets=(); shift ;;
    *) echo "usage: $0 [--assets DIR] [--site DIR] [--viewer-only]" >&2; exit 2 ;;
    esac
done

source scripts/lib.sh
install_packages --no-install-recommends emscripten cmake make g++ python3 \
    freeglut3-dev libglu1-mesa-dev libx11-dev nodejs \
    libarchive13 zlib1g libbz2-1.0 liblzma5 libssl3
# Node from elsewhere (NodeSource's package) brings its own npm.
command -v npm >/dev/null || install_packages --no-install-recommends npm
# What the viewer's page serves from the npm registry, as pinned.
(cd web/site && npm ci --no-audit --no-fund --prefer-offline >/dev/null)

out="$PWD/build-web"
cmake --preset web >/dev/null
cmake --build --preset web --target "${targets[@]}" "${node_targets[@]}"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/cmake/CMakeCache.txt")

zip=""
if [ -z "$site" ]; then
    site="$out/site"
    zip="$out/szablon-$version-web.zip"
fi
rm -rf "$site"
mkdir -p "$site/demo" "$site/pictures"
for target in "${targets[@]}"; do
    case "$target" in
    model_viewer) cp "$out/cmake/viewer/model_viewer_program".{html,js,wasm} "$site/" ;;
    model_files) cp "$out/cmake/web/site/model_files".{js,wasm} "$site/" ;;
    *) cp "$out/cmake/spheres/$target".{html,js,wasm} "$site/" ;;
    esac
done
cp web/site/viewer_page.html "$site/model_viewer.html"
cp web/site/{viewer_page,panes,file_facts,program_page,archive_worker,picture_pixels,picture_worker}.js \
    web/site/index.html \
    "$site/"
# zip.js as one ES module, inflating with the browser's DecompressionStream
# (and its own JavaScript inflate where that cannot), no WebAssembly.
zipjs=web/site/node_modules/@zip.js/zip.js
cp "$zipjs/index-native.min.js" "$site/zip.js"
# libarchive.js for the other archives: its module, the worker it talks to
# (started by archive_worker.js) and libarchive with its decompressors as
# WebAssembly, which the worker loads from beside itself.
libarchive=web/site/node_modules/libarchive.js
mkdir -p "$site/libarchive"
cp "$libarchive"/dist/{libarchive.js,worker-bundle.js,libarchive.wasm} "$site/libarchive/"
cp docs/web_model_viewer.png docs/web_spheres_add.png docs/web_spheres_alpha.png "$site/pictures/"

# The demo the viewer's page shows until a visitor opens files of their own.
if [ -z "$assets" ]; then
    # Made by the host's own tool, from the package build.
    cmake --preset release >/dev/null
    cmake --build --preset release --target make_demo_assets >/dev/null
    build-release/tools/make_demo_assets "$site/demo" 2>/dev/null
else
    for file in szablon.3ds szablon.bmp; do
        [ ! -e "$assets/$file" ] || cp "$assets/$file" "$site/demo/"
    done
fi
# What the demo holds, named in the viewer page's head, so that the page asks
# for no file it lacks and fetches both at once.
demo_files=$(cd "$site/demo" && ls | paste -sd' ' -)
sed -i "s|<meta name=\"demo-files\" content=\"[^\"]*\">|<meta name=\"demo-files\" content=\"$demo_files\">|" \
    "$site/model_viewer.html"
grep -q "name=\"demo-files\" content=\"$demo_files\"" "$site/model_viewer.html" ||
    die "cannot name the demo files in model_viewer.html"

# What the pages carry: our code under LICENSE, Emscripten's runtime and C
# and C++ libraries compiled in under theirs, as Debian's package states them.
cp LICENSE "$site/"
{
    echo "The pages carry code of Emscripten $(tr -d '"' </usr/share/emscripten/emscripten-version.txt): its"
    echo "JavaScript runtime and, compiled into each .wasm, its C library (musl, dlmalloc)"
    echo "and C++ library (libc++, libc++abi, compiler-rt). Their licences, as Debian's"
    echo "emscripten package states them:"
    echo
    cat /usr/share/doc/emscripten/copyright
    echo
    echo "The viewer's page opens .zip archives with zip.js" \
        "$(node -p "require('./$zipjs/package.json').version"), under its licence:"
    echo
    cat "$zipjs/LICENSE"
    echo
    echo "It opens .7z, .rar, .tar and compressed .tar archives with libarchive.js" \
        "$(node -p "require('./$libarchive/package.json').version"), under its licence:"
    echo
    cat "$libarchive/LICENSE"
    echo
    echo "libarchive.js's module carries Comlink $(node -p "require('./web/site/node_modules/comlink/package.json').version"), under its licence:"
    echo
    cat web/site/node_modules/comlink/LICENSE
    echo
    echo "libarchive.js's libarchive.wasm carries libarchive, zlib, bzip2, liblzma (XZ Utils)"
    echo "and OpenSSL compiled to WebAssembly. Their licences, as Debian's packages of them"
    echo "state them:"
    for package in libarchive13 zlib1g libbz2-1.0 liblzma5 libssl3; do
        echo
        cat "/usr/share/doc/$package/copyright"
    done
} >"$site/THIRD-PARTY-NOTICES.txt"

if [ -n "$zip" ]; then
    rm -rf "$out/zip" "$zip"
    mkdir -p "$out/zip"
    cp -r "$site" "$out/zip/szablon-$version-web"
    (cd "$out/zip" && cmake -E tar cf "$zip" --format=zip "szablon-$version-web")
    rm -rf "$out/zip"
    echo "packed $zip"
fi
echo "built $site; serve it with:  python3 -m http.server -d $site 8000"
