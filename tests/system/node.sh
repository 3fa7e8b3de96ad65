#!/usr/bin/env bash
# asset_info built with Emscripten (tools/build_web.sh) and run under Node,
# against the Linux build's (the default preset's build/) on every file of
# ../shared/testdata (or $SZABLON_TESTDATA) and fuzz/regressions/: the same
# stdout, stderr, exit status and decoded picture, byte for byte; and on a
# model whose mesh lies past 2 GiB into its file.
# Prints "N passed, M failed" and exits non-zero on any failure.
#
# Usage: tests/system/node.sh   (beside the default preset's build/)
set -uo pipefail
cd "$(dirname "$0")/../.."
linux=$PWD/build
testdata=$(realpath -m "${SZABLON_TESTDATA:-../shared/testdata}")
node_program=$PWD/build-web/cmake/tools/asset_info.js

source scripts/lib.sh
install_packages --no-install-recommends nodejs cmake make g++ || die "cannot install nodejs"

echo "== building asset_info.js (tools/build_web.sh)"
bash tools/build_web.sh >/dev/null || die "the web build failed"
[ -f "$node_program" ] || die "the web build made no $node_program"
echo "== building the Linux asset_info to compare with in $linux"
cmake --preset default >/dev/null || die "cannot configure $linux"
cmake --build --preset default --target asset_info test_files make_seeds >/dev/null || die "the Linux build failed"

work=$(mktemp -d)
on_exit 'rm -rf "$work"'

source tests/system/report.sh
source tests/system/asset_info_compare.sh
other_asset_info() {
    node "$node_program" "$@"
}
other_text() {
    cat
}
echo "== asset_info.js under Node $(node --version) on the test data and the fuzz regressions"
compare_asset_info_on_test_files "asset_info.js under Node"
compare_asset_info_past_2gib "asset_info.js under Node"
report
