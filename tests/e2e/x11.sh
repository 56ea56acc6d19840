# shellcheck shell=bash
# Helpers for driving the real program on a private X server. Source this file.
#
# Every wait of these helpers, and of common.sh's, is ZR70_TEST_TIME_FACTOR
# times as long as it says (1 unless set): in an emulated machine, and more so
# under the sanitizers, a program takes many times as long to start.

# deadline_after SECONDS: the value of SECONDS when that long has passed.
deadline_after() { echo $((SECONDS + $1 * ${ZR70_TEST_TIME_FACTOR:-1})); }

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
    deadline=$(deadline_after "$timeout")
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

# Gives the window the keyboard focus and types the keys (xdotool names).
keys_to() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    xdotool key --delay 60 "$@"
}

# Starts a private D-Bus session bus, on which the program offers its
# accessibility interface (AT-SPI) and the accessibility bus is started when
# first asked for. Sets DBUS_PID; everything the bus starts runs in its process
# group and is stopped with it.
dbus_start() {
    local fifo address
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    setsid dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$fifo" \
        </dev/null >/dev/null 2>&1 &
    DBUS_PID=$!
    read -r -t 10 address <"$fifo" || { rm -f "$fifo"; echo "dbus-daemon did not start" >&2; return 1; }
    rm -f "$fifo"
    export DBUS_SESSION_BUS_ADDRESS=$address QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

dbus_stop() {
    if [[ -n "${DBUS_PID:-}" ]]; then
        kill -TERM -- "-$DBUS_PID" 2>/dev/null
        wait "$DBUS_PID" 2>/dev/null
        # Services it started may take a moment to see the bus go.
        local tries=100
        while ((tries-- > 0)) && pgrep -g "$DBUS_PID" >/dev/null; do sleep 0.05; done
        kill -KILL -- "-$DBUS_PID" 2>/dev/null
    fi
    DBUS_PID=
    return 0
}

# wait_for SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds.
wait_for() {
    local deadline
    deadline=$(deadline_after "$1")
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

atspi() {
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/atspi.py" "$@"
}

# Clicks with the mouse on the control of process PID with the given
# accessibility role and name, where the accessibility interface says it is.
click_control() { # click_control PID ROLE NAME
    local x y
    read -r x y < <(atspi centre "$@") || return 1
    xdotool mousemove --sync "$x" "$y" click 1
}
