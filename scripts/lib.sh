# The shell library every script of the project sources: installing Debian
# packages, clean-up at exit, a private Xvfb, waiting for a process or a
# window, and dying with a message.
#
#   source scripts/lib.sh        (from the project root)

# die MESSAGE...: the script's name and the message on stderr, then exit 1.
die() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

# install_packages [--no-install-recommends] PACKAGE...: installs the Debian
# packages named that are not installed yet, after `apt-get update`, with
# sudo only when not run as root.
install_packages() {
    local options=() missing=() package sudo=""
    while [ "${1:-}" = --no-install-recommends ]; do
        options+=("$1")
        shift
    done
    for package in "$@"; do
        dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ "${#missing[@]}" -gt 0 ] || return 0
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    # Another apt run (an unattended upgrade) may hold the lock for a while.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update &&
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 \
            install -y "${options[@]}" "${missing[@]}"
}

# on_exit COMMAND: runs COMMAND (a string, eval'd) when the script exits,
# after every command registered later: clean-ups stack, and none replaces
# another. Scripts register here instead of setting an EXIT trap.
_on_exit_commands=()
_run_on_exit() {
    local i
    for ((i = ${#_on_exit_commands[@]} - 1; i >= 0; --i)); do
        eval "${_on_exit_commands[i]}" || true
    done
}
on_exit() {
    _on_exit_commands+=("$1")
    trap _run_on_exit EXIT
}

# start_xvfb: starts Xvfb on a free display, exports DISPLAY and the software
# renderer the tests judge pictures on, and stops the server at exit.
start_xvfb() {
    local fifo number
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -noreset: a server left without clients between two programs would
    # otherwise reset, refusing connections meanwhile.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    on_exit "kill $xvfb_pid 2>/dev/null"
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number" LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
}

# use_wine_prefix DIR: runs Wine in the prefix DIR (made on first use, the
# folder it lies in made here), quietly and with no Mono or Gecko installer
# dialogs while the prefix is made.
use_wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
    # Wine makes the prefix itself: an empty folder it takes for a broken one.
    mkdir -p "$(dirname "$WINEPREFIX")"
}

# ended_within PID SECONDS: waits for the process to end, at most SECONDS;
# true if it did.
ended_within() {
    local pid=$1 deadline=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# capture_window TITLE_REGEX OUT.png: saves the first window whose title
# matches once it is painted (a window just mapped shows one flat colour),
# waiting up to ten seconds for both.
capture_window() {
    local id="" deadline=$((SECONDS + 10))
    while [ "$SECONDS" -lt "$deadline" ]; do
        [ -n "$id" ] || id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ] && xwd -silent -id "$id" 2>/dev/null | convert xwd:- "$2" 2>/dev/null &&
            [ "$(identify -format '%k' "$2")" -gt 1 ]; then
            return 0
        fi
        sleep 0.1
    done
    echo "no painted window titled $1 appeared" >&2
    return 1
}
