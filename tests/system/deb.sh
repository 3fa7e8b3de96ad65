#!/usr/bin/env bash
# Makes the Debian package (the release preset, hardened, into
# build-release/), installs it with apt-get as a user would, runs the
# installed model_viewer in the installed demo folder on a private Xvfb, and
# removes the package again. Prints `N passed, M failed` and exits non-zero
# on any failure.
#
# Usage: tests/system/deb.sh   (the window probe from the default preset's build/)
set -uo pipefail
cd "$(dirname "$0")/../.."
build=$PWD/build-release

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

source scripts/lib.sh
install_packages cmake g++ make dpkg-dev file xvfb xauth lintian man-db || die "cannot install what the check needs"

rm -f "$build"/szablon_*.deb
cmake --workflow --preset release >/dev/null || die "the release workflow failed"
deb=$(ls "$build"/szablon_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || die "the release workflow made no .deb in $build"
cmake --preset default >/dev/null && cmake --build --preset default --target x11_probe >/dev/null ||
    die "cannot build the window probe"

source tests/system/report.sh

# Its dependencies come from the archive, as on a user's machine.
if $sudo apt-get -o DPkg::Lock::Timeout=900 install -y --reinstall "$deb" >/dev/null; then
    pass "apt-get installs $(basename "$deb")"
else
    fail "apt-get cannot install $(basename "$deb")"
    echo "$passed passed, $failed failed"
    exit 1
fi
on_exit '$sudo apt-get -o DPkg::Lock::Timeout=900 remove -y szablon >/dev/null'

missing=""
for path in /usr/bin/model_viewer /usr/bin/spheres_add /usr/bin/spheres_alpha \
            /usr/bin/szablon-asset-info /usr/bin/szablon-make-demo-assets \
            /usr/share/szablon/demo/szablon.3ds /usr/share/szablon/demo/szablon.bmp \
            /usr/share/doc/szablon/README.md; do
    dpkg -L szablon | grep -qx "$path" && [ -f "$path" ] || missing+=" $path"
done
if [ -z "$missing" ]; then
    pass "the package holds the programs, the tools, the demo and the README"
else
    fail "the package lacks$missing"
fi

start_xvfb
out=$(mktemp -d)
on_exit 'rm -rf "$out"'
probe=$PWD/build/tests/support/x11_probe

# The user's way: the installed viewer, run in the installed demo folder.
(cd /usr/share/szablon/demo && exec model_viewer) >"$out/viewer.out" 2>"$out/viewer.err" &
pid=$!
if window=$("$probe" find Szablon 30) && "$probe" frame "$window" "$out/viewer.ppm" 20; then
    pass "the installed model_viewer shows the demo in its window"
    "$probe" close "$window"
else
    fail "the installed model_viewer showed no window with a picture"
fi
if ! ended_within "$pid" 20; then
    kill "$pid"
    fail "the installed model_viewer still runs 20 s after its window was closed"
elif wait "$pid"; then
    pass "the installed model_viewer exits 0 when its window is closed"
else
    fail "the installed model_viewer exited with status $? when closed"
fi
(cd /usr/share/szablon/demo && szablon-asset-info model szablon.3ds 2>/dev/null) >"$out/expected.out"
if [ -s "$out/expected.out" ] && cmp -s "$out/expected.out" "$out/viewer.out"; then
    pass "the installed model_viewer prints the loading lines of the installed demo"
else
    fail "the installed model_viewer printed other lines than szablon-asset-info reads"
fi

# --- a package Debian would take: lintian, manual pages, complete docs -------

# Every tag lintian knows, informational and pedantic ones included: none.
findings=$(lintian -I --pedantic "$deb" 2>/dev/null)
status=$?
if [ "$status" -eq 0 ] && [ -z "$findings" ]; then
    pass "lintian -I --pedantic finds nothing in $(basename "$deb")"
else
    fail "lintian -I --pedantic (status $status) on $(basename "$deb"):"
    sed 's/^/    /' <<<"$findings"
fi
unrendered=""
for name in model_viewer spheres_add spheres_alpha szablon-asset-info szablon-make-demo-assets; do
    man -l "/usr/share/man/man1/$name.1.gz" 2>/dev/null | sed -n '/^NAME/{n;p;q}' | grep -qw -- "$name" ||
        unrendered+=" $name"
done
if [ -z "$unrendered" ]; then
    pass "man -l renders the five installed manual pages"
else
    fail "man -l renders no page naming:$unrendered"
fi
if man model_viewer 2>/dev/null | grep -q '/usr/share/szablon/demo'; then
    pass "man model_viewer shows the installed page, with the demo folder"
else
    fail "man model_viewer shows no page naming the demo folder"
fi
check_readme_links /usr/share/doc/szablon "the installed"

report
