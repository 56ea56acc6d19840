# Helpers for driving the real program on a private X server. Source this file.

# Starts Xvfb on a free display and exports DISPLAY. Sets XVFB_PID. The server
# must not reset when its last client leaves: a program started in that moment
# could not connect.
xvfb_start() {
    local fifo display
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    read -r -t 10 display <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$display"
}

xvfb_stop() {
    [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    return 0
}

# Prints the id of the first visible window whose title matches the regular
# expression, waiting up to $2 seconds (default 10). Fails when none shows.
window_wait() {
    local pattern=$1 timeout=${2:-10} deadline id
    deadline=$((SECONDS + timeout))
    while ((SECONDS < deadline)); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
        if [[ -n "$id" ]]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

window_visible() {
    [[ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]]
}

# Screen position of a window's client area: "x y".
window_position() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

window_size() {
    xwininfo -id "$1" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w, h}'
}

# Gives the window the keyboard focus and types the keys (xdotool names).
keys_to() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    xdotool key --delay 60 "$@"
}

# The text a message box shows, read off the screen: the window is captured,
# enlarged and read with OCR, so what is checked is what the user sees.
message_text() {
    local shot
    shot=$(mktemp /tmp/zr70-box.XXXXXX.png)
    sleep 0.3 # let the box paint
    import -window "$1" "$shot" 2>/dev/null &&
        convert "$shot" -resize 300% -colorspace Gray "$shot" &&
        tesseract "$shot" - 2>/dev/null
    rm -f "$shot"
}

# Clicks at (x, y) inside the window's client area.
click_in() {
    local id=$1 x=$2 y=$3
    xdotool mousemove --window "$id" "$x" "$y" click 1
}
