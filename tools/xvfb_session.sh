# Shell helpers for running our programs on a private Xvfb; sourced by the
# demo and screenshot scripts.

# Starts Xvfb on a free display, exports DISPLAY and stops the server when
# the calling shell exits.
start_xvfb() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -noreset: a server left without clients between two programs would
    # otherwise reset, refusing connections meanwhile.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    local number
    read -r number < "$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
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
