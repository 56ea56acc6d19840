#!/usr/bin/env bash
# Whole-program tests: the real zr70 on a private X server, sending to a real
# JACK MIDI receiver, driven with real X input. Every process started here is
# stopped here, also when a check fails.
#
#   e2e_test.sh <path to zr70> <source dir>
set -uo pipefail

zr70=$(realpath "$1")
source_dir=$(realpath "$2")
source "$source_dir/scripts/test-server.sh"
source "$source_dir/tests/e2e/x11.sh"

root=$(mktemp -d /tmp/zr70-e2e.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$root/work"
ini=$XDG_CONFIG_HOME/zr70.INI
dump=$root/dump.txt
main_title='^Korvan Zr70 Control Pannel$'
box_title='^zr70$'
panel_pid=
passed=0
failed=0

cleanup() {
    [[ -n "$panel_pid" ]] && kill -9 "$panel_pid" 2>/dev/null
    jack_dummy_stop
    xvfb_stop
    rm -rf "$root"
}
trap cleanup EXIT

check() { # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
        passed=$((passed + 1))
    else
        echo "not ok - $what"
        failed=$((failed + 1))
    fi
}

launch() {
    (cd "$root/work" && exec "$zr70") >"$root/panel.log" 2>&1 &
    panel_pid=$!
}

# Waits for the panel to end and sets `status` to its exit status (124 when it
# did not end in time). Runs in this shell, not a subshell: only the shell that
# started the panel can collect its status.
wait_exit() {
    local deadline=$((SECONDS + ${1:-10}))
    while kill -0 "$panel_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    if kill -0 "$panel_pid" 2>/dev/null; then
        kill -9 "$panel_pid"
        wait "$panel_pid" 2>/dev/null
        status=124
    else
        wait "$panel_pid"
        status=$?
    fi
    panel_pid=
}

ini_value() { sed -n "s/^$1=//p" "$ini" 2>/dev/null; }

# "f0 41 10 70 12 00 00 ii vv cs f7" for parameter ii and value byte vv.
message() {
    local index=$1 value=$2
    printf 'f0 41 10 70 12 00 00 %02x %02x %02x f7' "$index" "$value" \
        $(((128 - (index + value) % 128) % 128))
}

# The receiver keeps its file open, so it is never truncated: each check reads
# what arrived after the mark taken before it.
mark=0
mark_dump() { mark=$(wc -l <"$dump"); }
received_messages() {
    tail -n +$((mark + 1)) "$dump" | sed -nE 's/^ *[0-9]+: (f0 .* f7) *$/\1/Ip' | tr 'A-F' 'a-f'
}

trailer=$'\n--- Korvan ZR70 Preset File ---'

write_preset() { # write_preset <file> <15 selection bytes in file order>
    local file=$1 byte
    shift
    : >"$file"
    for byte in "$@"; do printf "\\x$(printf %02x "$byte")" >>"$file"; done
    printf '%s' "$trailer" >>"$file"
}

xvfb_start || exit 1

# --- first run: no settings, no default.zr ---------------------------------
jack_dummy_start && jack_dump_start "$dump" || { echo "not ok - JACK did not start"; exit 1; }
launch
box=$(window_wait "$box_title" 15)
check "first run shows a message before the window" test -n "$box"
text=$(message_text "$box"); echo "box text: [$text]"
check "the message names the missing default preset" grep -qF "Failed on opening DEFAULT.ZR" <<<"$text"
check "the main window is not up while the message shows" bash -c "! xdotool search --onlyvisible --name '$main_title' >/dev/null"
keys_to "$box" Return
main=$(window_wait "$main_title" 10)
check "the main window comes up after the message" test -n "$main"
sleep 0.5
check "nothing was sent without a default preset" test -z "$(received_messages)"
check "the settings hold mididevice 0" test "$(ini_value mididevice)" = 0
read -r x y < <(window_position "$main")
check "the settings hold the client position ($x, $y)" test "$(ini_value xpos) $(ini_value ypos)" = "$x $y"
check "the first window sits at the default position" test "$x $y" = "20 40"
keys_to "$main" Escape
wait_exit
check "Esc ends the program with status 0 (status $status)" test "$status" = 0

# --- a default preset is loaded and sent -----------------------------------
# file order 5 1 4 0 2 3 6 14 8 9 10 11 12 13 7
write_preset "$root/work/default.zr" 1 2 0 9 1 2 1 1 0 1 2 5 6 7 3
mark_dump
launch
main=$(window_wait "$main_title" 15)
check "with default.zr the window comes up without a message" test -n "$main"
sleep 0.5
expected=$(
    for pair in 0:9 1:2 2:1 3:65 4:0 5:1 6:1 7:3 14:1 8:0 9:1 10:2 11:5 12:6 13:7; do
        message "${pair%:*}" "${pair#*:}"
        echo
    done
)
check "the fifteen messages arrive intact and in send-all order" test "$(received_messages)" = "$expected"

# --- a keyboard pick on the Controls page ------------------------------------
mark_dump
keys_to "$main" Down
sleep 0.5
echo "received: $(received_messages)"; check "Down on Midi channel sends exactly channel 11" test "$(received_messages)" = "$(message 0 10)"

# --- Save As DEFAULT.ZR -------------------------------------------------------
read -r width height < <(window_size "$main")
# Dialog units from the window's own size: 218 x 90 units.
du() { echo $(($1 * $2 / $3)); }
presets_tab_x=$(du "$width" 127 218)
click_in "$main" "$presets_tab_x" "$(du "$height" 8 90)"
sleep 0.3
# "Save As DEFAULT.ZR": page at (2, 22) px inside the tab control at (3, 2) units.
click_in "$main" $(($(du "$width" $((3 + 80 + 47)) 218) + 2)) $(($(du "$height" $((2 + 28 + 7)) 90) + 22))
sleep 0.5
expected_file=$(printf '\x01\x02\x00\x0a\x01\x02\x01\x01\x00\x01\x02\x05\x06\x07\x03%s' "$trailer" | od -An -tx1)
check "Save As DEFAULT.ZR writes the 47 expected bytes" \
    test "$(od -An -tx1 "$root/work/default.zr")" = "$expected_file"

# --- Esc, then the next start comes back at the stored point ----------------
connected() { jack_lsp -c 2>/dev/null | awk '/^zr70:/ {out = 1; next} /^[^ ]/ {out = 0} out && /dump:input/ {found = 1} END {exit !found}'; }
check "the panel's output is connected to the receiver while it runs" connected
xdotool windowmove "$main" -10 60
sleep 0.5
check "a drag past the left edge stores a negative xpos" test "$(ini_value xpos) $(ini_value ypos)" = "-10 60"
keys_to "$main" Escape
wait_exit
check "Esc ends the program with status 0 (status $status)" test "$status" = 0
check "the port is closed at exit" bash -c "! jack_lsp 2>/dev/null | grep -q '^zr70'"
launch
main=$(window_wait "$main_title" 15)
read -r x y < <(window_position "$main")
check "the next start puts the client area at the stored point ($x, $y)" test "$x $y" = "-10 60"
keys_to "$main" Escape
wait_exit

# --- no MIDI output at all ------------------------------------------------------
jack_dummy_stop
if [[ -e /dev/snd/seq ]]; then
    echo "ok - no-device run skipped: this machine has an ALSA sequencer # SKIP"
else
    rm -f "$ini"
    launch
    box=$(window_wait "$box_title" 15)
    text=$(message_text "$box")
    check "without any MIDI output the user is told so" grep -qF "No MIDI out devices found" <<<"$text"
    check "no main window shows" bash -c "! xdotool search --onlyvisible --name '$main_title' >/dev/null"
    keys_to "$box" Return
    wait_exit
check "the program ends with status 0 (status $status)" test "$status" = 0
    check "no mididevice was written" test -z "$(ini_value mididevice)"
fi

echo "$passed passed, $failed failed"
((failed == 0))
