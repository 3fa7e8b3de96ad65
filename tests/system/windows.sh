#!/usr/bin/env bash
# The Windows build (tools/build_windows.sh), checked under Wine on a private
# Xvfb beside the Linux build (the default preset's build/): the same files,
# the same output, the same pictures, the same exit status. Needs no display.
#
# Usage: tests/system/windows.sh
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux=$PWD/build
win=$root/build-windows/cmake
freeglut=$root/build-windows/freeglut
testdata=$(realpath -m "${SZABLON_TESTDATA:-../shared/testdata}")

source scripts/lib.sh
install_packages --no-install-recommends g++-mingw-w64-x86-64 wine64 wine fonts-wine cmake make \
    g++ libx11-dev freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri xvfb xauth xdotool ||
    die "cannot install what the check needs"

# --- a private display and Wine prefix ---------------------------------------

# Wine's opengl32 draws with the renderer the Linux tests judge pictures on.
start_xvfb
use_wine_prefix "$root/build-windows/wine-prefix"
on_exit 'wineserver -k 2>/dev/null'
wineboot -i >/dev/null 2>&1 || die "cannot make the Wine prefix $WINEPREFIX"
# One server for all the runs below, rather than one per program.
wineserver -p

# --- builds ----------------------------------------------------------------

echo "== building for Windows in $win (tools/build_windows.sh)"
bash tools/build_windows.sh >/dev/null || die "the Windows build failed"

echo "== building the Linux programs to compare with in $linux"
cmake --preset default >/dev/null || die "cannot configure $linux"
cmake --build --preset default --target model_viewer spheres_add spheres_alpha asset_info \
    make_demo_assets x11_probe test_files make_seeds >/dev/null || die "the Linux build failed"

probe=$linux/tests/support/x11_probe
work=$(mktemp -d)
on_exit 'rm -rf "$work"'

# --- checking ----------------------------------------------------------------

source tests/system/report.sh

# The Windows form of a path on this machine (Wine's drive Z: is /).
windows_path() {
    local absolute
    absolute=$(realpath -m "$1")
    printf 'Z:%s' "${absolute//\//\\}"
}

# Runs a GUI .exe under Wine in the background, in folder $1, stdout and
# stderr to $2.out and $2.err; sets $! for the caller. DISPLAY is Wine's
# business: freeglut on Windows would take it as an X display name and warn.
start_exe() {
    local folder=$1 output=$2 exe=$3
    (cd "$folder" && exec wine cmd /c set 'DISPLAY=&' "$(windows_path "$exe")") \
        >"$output.out" 2>"$output.err" &
}

# Waits up to $2 seconds for process $1 to end; then its status is in $ended.
# One that does not end is stopped with everything else Wine runs, so that
# no window of it is left for the next check to find.
wait_ended() {
    if ! ended_within "$1" "$2"; then
        kill "$1" 2>/dev/null
        wineserver -k 2>/dev/null
        wait "$1" 2>/dev/null
        wineserver -p
        ended="still running after $2 s"
        return 1
    fi
    wait "$1"
    ended=$?
    return 0
}

# check_viewer WHAT FOLDER OUTPUT EXE: starts EXE in FOLDER as a user does
# (output to OUTPUT.out and .err), expects a window titled Szablon with a
# picture, closes it as a user would and expects status 0.
check_viewer() {
    local what=$1 pid window
    start_exe "$2" "$3" "$4"
    pid=$!
    if window=$("$probe" find Szablon 30) && "$probe" frame "$window" "$3.ppm" 20; then
        pass "$what shows the demo model in a window titled Szablon"
        "$probe" close "$window"
    else
        fail "$what showed no window titled Szablon with a picture"
    fi
    if wait_ended "$pid" 20 && [ "$ended" -eq 0 ]; then
        pass "$what exits 0 when its window is closed"
    else
        fail "$what after WM_DELETE_WINDOW: $ended"
    fi
}

echo "== the programs' symbols"
# On Windows the GLUT header turns glutInit and glutCreateWindow into forms
# that hand GLUT the C library's exit; the objects that call them show which
# ran. OBJECT:CALL... per line.
while IFS=: read -r object calls; do
    undefined=$(x86_64-w64-mingw32-nm -u "$win/$object" 2>/dev/null | awk '{print $NF}')
    wrong=""
    for call in $calls; do
        if ! grep -qx "__${call}WithExit" <<<"$undefined" || grep -qx "$call" <<<"$undefined"; then
            wrong+=" $call"
        fi
    done
    if [ -z "$wrong" ]; then
        pass "${object#*/CMakeFiles/} calls the WithExit forms of$calls"
    else
        fail "${object#*/CMakeFiles/} calls$wrong without the exit function"
    fi
done <<'OBJECTS'
viewer/CMakeFiles/model_viewer.dir/main.cpp.obj: glutInit
viewer/CMakeFiles/viewer_program.dir/viewer.cpp.obj: glutCreateWindow
spheres/CMakeFiles/spheres_add.dir/spheres.cpp.obj: glutInit glutCreateWindow
spheres/CMakeFiles/spheres_alpha.dir/spheres.cpp.obj: glutInit glutCreateWindow
OBJECTS
for exe in viewer/model_viewer spheres/spheres_add spheres/spheres_alpha tools/asset_info tools/make_demo_assets; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$win/$exe.exe" 2>/dev/null | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    others=$(grep -v -x -E 'kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|opengl32.dll|glu32.dll|winmm.dll' <<<"$dlls")
    if [ -n "$dlls" ] && [ -z "$others" ]; then
        pass "$exe.exe needs only system DLLs"
    else
        fail "$exe.exe needs $(echo ${others:-nothing readable})"
    fi    # Hardened as Debian's own builds: ASLR (high-entropy), DEP, stack protector.
    header=$(x86_64-w64-mingw32-objdump -p "$win/$exe.exe" 2>/dev/null)
    missing=""
    for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
        grep -q "^\s*$flag$" <<<"$header" || missing+=" $flag"
    done
    symbols=$(x86_64-w64-mingw32-nm "$win/$exe.exe" 2>/dev/null)
    grep -q ' __stack_chk_fail$' <<<"$symbols" || missing+=" stack-protector"
    if [ -z "$missing" ]; then
        pass "$exe.exe has ASLR, DEP and the stack protector"
    else
        fail "$exe.exe lacks$missing"
    fi
done

echo "== make_demo_assets.exe"
mkdir -p "$work/demo-linux" "$work/demo-windows"
"$linux/tools/make_demo_assets" "$work/demo-linux" >/dev/null
wine "$win/tools/make_demo_assets.exe" "$(windows_path "$work/demo-windows")" >/dev/null 2>&1
status=$?
if [ "$status" -eq 0 ] && cmp -s "$work/demo-linux/szablon.3ds" "$work/demo-windows/szablon.3ds" &&
   cmp -s "$work/demo-linux/szablon.bmp" "$work/demo-windows/szablon.bmp"; then
    pass "make_demo_assets.exe writes the Linux build's files byte for byte"
else
    fail "make_demo_assets.exe (status $status) writes files other than the Linux build's"
fi

echo "== asset_info.exe on the test data and the fuzz regressions"
source tests/system/asset_info_compare.sh
# The .exe takes the picture's path in Windows' form and ends its lines with CR LF.
other_asset_info() {
    local args=("$@")
    [ "$#" -eq 4 ] && args[3]=$(windows_path "$4")
    wine "$win/tools/asset_info.exe" "${args[@]}"
}
other_text() {
    tr -d '\r'
}
compare_asset_info_on_test_files "asset_info.exe"

compare_asset_info_past_2gib "asset_info.exe"

echo "== model_viewer.exe"
run=$work/viewer-demo
mkdir -p "$run"
cp "$work/demo-linux/szablon.3ds" "$work/demo-linux/szablon.bmp" "$run/"
check_viewer "model_viewer.exe" "$run" "$work/viewer" "$win/viewer/model_viewer.exe"
# The loading lines, as the Windows C library writes text: CR LF.
(cd "$run" && "$linux/tools/asset_info" model szablon.3ds 2>/dev/null) | sed 's/$/\r/' >"$work/viewer.expected"
if [ -s "$work/viewer.expected" ] && cmp -s "$work/viewer.expected" "$work/viewer.out"; then
    pass "model_viewer.exe prints the Linux loader's lines with CR LF endings"
else
    fail "model_viewer.exe's stdout differs from the Linux loader's lines"
    diff <(cat -A "$work/viewer.expected") <(cat -A "$work/viewer.out") | head -n 6
fi

# The error box: drawn, waiting, and gone with status 0 on the key given.
check_error_box() {
    local label=$1 key=$2 run=$work/box-$1
    mkdir -p "$run"
    cp "$work/demo-linux/szablon.3ds" "$run/"
    [ "$label" = refused ] && printf 'not a bitmap' >"$run/szablon.bmp"
    start_exe "$run" "$work/box-$label" "$win/viewer/model_viewer.exe"
    local pid=$! box colours="nothing" red=0 dark=0 light=0 drawn=0
    if box=$("$probe" find Problem 30); then
        # The red icon, the dark text on a light face; the face may be up a
        # moment before the rest, so wait for all three.
        local deadline=$((SECONDS + 20))
        while [ "$SECONDS" -lt "$deadline" ] && "$probe" frame "$box" "$work/box-$label.ppm" 20 still; do
            colours=$("$probe" colours "$work/box-$label.ppm")
            read -r _ red _ dark _ light <<<"$colours"
            if [ "$red" -gt 100 ] && [ "$dark" -gt 100 ] && [ "$light" -gt 1000 ]; then
                drawn=1
                break
            fi
        done
        if [ "$drawn" -eq 1 ]; then
            pass "$label texture: the Problem box is drawn with its icon and text ($colours)"
        else
            fail "$label texture: the Problem box lacks its icon or text ($colours)"
        fi
        if kill -0 "$pid" 2>/dev/null; then
            pass "$label texture: model_viewer.exe waits while the box is up"
        else
            fail "$label texture: model_viewer.exe ended with the box still up"
        fi
        # Wine makes the box its active window in its own time after the X
        # focus moves: a key typed before that is lost, so type it again
        # until the viewer ends.
        for _ in 1 2 3 4 5; do
            "$probe" focus "$box" && xdotool key --clearmodifiers "$key"
            ended_within "$pid" 3 && break
        done
    else
        fail "$label texture: no Problem box appeared"
    fi
    if wait_ended "$pid" 20 && [ "$ended" -eq 0 ]; then
        pass "$label texture: $key dismisses the box and the viewer exits 0"
    else
        fail "$label texture: after $key: $ended"
    fi
    if tr -d '\r' <"$work/box-$label.err" | grep -q '^Problem: Nie znaleziono pliku z tekstur¦ (szablon\.bmp: .\+)$'; then
        pass "$label texture: the text and the reason are on stderr"
    else
        fail "$label texture: stderr lacks the text and the reason: $(head -c 300 "$work/box-$label.err")"
    fi
}
check_error_box missing Return
check_error_box refused Escape

echo "== spheres_add.exe and spheres_alpha.exe"
for program in spheres_add spheres_alpha; do
    "$linux/spheres/$program" >/dev/null 2>&1 &
    pid=$!
    if window=$("$probe" find Szablon 30); then
        "$probe" frame "$window" "$work/$program.linux.ppm" 20 still
        "$probe" close "$window"
    fi
    wait_ended "$pid" 20
    start_exe "$work" "$work/$program" "$win/spheres/$program.exe"
    pid=$!
    if window=$("$probe" find Szablon 30) && "$probe" frame "$window" "$work/$program.windows.ppm" 20 still; then
        if cmp -s "$work/$program.linux.ppm" "$work/$program.windows.ppm"; then
            pass "$program.exe draws the Linux build's frame pixel for pixel"
        else
            fail "$program.exe draws a frame other than the Linux build's"
        fi
        "$probe" close "$window"
    else
        fail "$program.exe showed no window titled Szablon with a still picture"
    fi
    if wait_ended "$pid" 20 && [ "$ended" -eq 0 ]; then
        pass "$program.exe exits 0 when its window is closed"
    else
        fail "$program.exe after WM_DELETE_WINDOW: $ended"
    fi
done

echo "== the ZIP package"
zip=$(ls "$win"/szablon-*.zip 2>/dev/null | head -n 1)
if [ -n "$zip" ] && mkdir -p "$work/zip" && (cd "$work/zip" && cmake -E tar xf "$zip"); then
    pass "the windows workflow packs $(basename "$zip")"
else
    fail "the windows workflow made no ZIP package"
fi
folder=$work/zip/$(basename "${zip:-none}" .zip)
missing=""
for name in model_viewer.exe spheres_add.exe spheres_alpha.exe asset_info.exe make_demo_assets.exe \
            szablon.3ds szablon.bmp README.md; do
    [ -f "$folder/$name" ] || missing+=" $name"
done
if [ -z "$missing" ]; then
    pass "the ZIP's folder holds the five programs with the demo beside them"
else
    fail "the ZIP's folder lacks$missing"
fi
# As a double-click starts it: in its own folder.
check_viewer "the unpacked model_viewer.exe, in its own folder," "$folder" "$work/zip-viewer" "$folder/model_viewer.exe"

# --- what the ZIP carries beside the programs, and the paths they print ------

echo "== the ZIP's licence, notices and pictures; make_demo_assets.exe's paths"
if cmp -s LICENSE "$folder/LICENSE"; then
    pass "the ZIP holds LICENSE beside the programs"
else
    fail "the ZIP's folder lacks LICENSE or holds another"
fi
# The whole of each licence text, as the build found it.
notices=$(cat "$folder/THIRD-PARTY-NOTICES.txt" 2>/dev/null)
if [[ -n "$notices" && "$notices" == *"$(cat "$freeglut/source/freeglut-3.4.0/COPYING")"* &&
      "$notices" == *"$(cat /usr/share/doc/mingw-w64-x86-64-dev/copyright)"* ]]; then
    pass "THIRD-PARTY-NOTICES.txt holds freeglut's and the MinGW-w64 runtime's licences"
else
    fail "THIRD-PARTY-NOTICES.txt is missing or lacks freeglut's or the MinGW-w64 runtime's licence"
fi
check_readme_links "$folder" "the ZIP's"
# The folder as Windows writes it, and with forward slashes: the names are
# joined with the folder's own separator.
wrong=""
for separator in '\' /; do
    mkdir -p "$work/slashes"
    given=$(windows_path "$work/slashes")
    [ "$separator" = / ] && given=${given//\\//}
    wine "$win/tools/make_demo_assets.exe" "$given" >/dev/null 2>"$work/slashes.err"
    printed=$(tr -d '\r' <"$work/slashes.err")
    [ "$printed" = "wrote $given${separator}szablon.3ds and $given${separator}szablon.bmp" ] ||
        wrong+=" [$printed]"
done
if [ -z "$wrong" ]; then
    pass "make_demo_assets.exe prints its paths with the folder's own slashes"
else
    fail "make_demo_assets.exe prints mixed slashes:$wrong"
fi

report
