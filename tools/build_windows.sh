#!/usr/bin/env bash
# Builds the Windows programs and their ZIP package with MinGW-w64 (the
# windows preset) into build-windows/cmake/: model_viewer.exe, the sphere
# programs and the tools, statically linked, and
# szablon-VERSION-windows-x64.zip with the demo beside them (made by running
# make_demo_assets.exe under Wine). Installs its packages on a fresh Debian
# machine first.
#
# Debian builds freeglut for Linux only; its source package (the upstream
# release) is fetched from the machine's own archive and built here once as
# a static library into build-windows/freeglut/, kept for the next run.
#
# Usage: tools/build_windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
install_packages --no-install-recommends g++-mingw-w64-x86-64 wine64 wine fonts-wine cmake make

freeglut=$PWD/build-windows/freeglut
if [ ! -f "$freeglut/install/lib/libglut.a" ]; then
    echo "== freeglut for Windows"
    apt_dir=$freeglut/apt
    rm -rf "$freeglut"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$freeglut/source"
    # The machine's own archive, as a source of source packages.
    sources=(/etc/apt/sources.list.d/*.sources)
    [ -f "${sources[0]}" ] || die "no deb822 sources under /etc/apt/sources.list.d"
    sed 's/^Types: deb$/Types: deb-src/' "${sources[@]}" > "$apt_dir/sources.sources"
    apt_private=(-o Dir::Etc::sourcelist="$apt_dir/sources.sources"
                 -o Dir::Etc::sourceparts=/nonexistent
                 -o Dir::State::Lists="$apt_dir/lists"
                 -o Dir::Cache="$apt_dir/cache"
                 -o DPkg::Lock::Timeout=900)
    apt-get "${apt_private[@]}" update >/dev/null || die "cannot read the source package lists"
    (cd "$freeglut/source" && apt-get "${apt_private[@]}" source --download-only freeglut) ||
        die "cannot fetch freeglut's source"
    tarball=$(ls "$freeglut"/source/freeglut_3.4.0.orig.tar.* 2>/dev/null | head -n 1)
    [ -n "$tarball" ] || die "the archive's freeglut is not 3.4.0: $(ls "$freeglut/source")"
    tar -xf "$tarball" -C "$freeglut/source"
    # Its own project with its own flags: only the toolchain is ours.
    cmake -S "$freeglut/source/freeglut-3.4.0" -B "$freeglut/build" \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$freeglut/install" \
        -DFREEGLUT_BUILD_DEMOS=OFF -DFREEGLUT_REPLACE_GLUT=ON \
        -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON >/dev/null &&
        cmake --build "$freeglut/build" -j2 >/dev/null &&
        cmake --install "$freeglut/build" >/dev/null || die "cannot build freeglut"
fi

# The demo is made by running make_demo_assets.exe under Wine.
use_wine_prefix "${WINEPREFIX:-$PWD/build-windows/wine-prefix}"
rm -f build-windows/cmake/szablon-*.zip
cmake --workflow --preset windows
ls build-windows/cmake/szablon-*.zip
