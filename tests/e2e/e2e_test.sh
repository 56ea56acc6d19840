#!/usr/bin/env bash
# Whole-program tests: the real zr70 on a private X server, sending to a real
# JACK MIDI receiver, driven with real X input. Controls and the texts of
# message boxes are found through the program's accessibility interface on a
# private D-Bus session. Every check waits for its condition, with a generous
# deadline; a message the panel must send anyway serves as a marker that all
# sent before it has arrived. Every process started here is stopped here, also
# when a check fails.
#
#   e2e_test.sh <path to zr70> <source dir>
set -uo pipefail

zr70=$(realpath "$1")
source_dir=$(realpath "$2")
# shellcheck disable=SC1091 # sourced from the tree under test
source "$source_dir/scripts/test-server.sh"
# shellcheck disable=SC1091
source "$source_dir/tests/e2e/x11.sh"
# shellcheck disable=SC1091
source "$source_dir/tests/e2e/common.sh"

root=$(mktemp -d /tmp/zr70-e2e.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config XDG_RUNTIME_DIR=$root/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$root/work"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ini=$XDG_CONFIG_HOME/zr70.INI
dump=$root/dump.txt
main_title='^Korvan Zr70 Control Pannel$'
box_title='^zr70$'

cleanup() {
    [[ -n "$panel_pid" ]] && kill -9 "$panel_pid" 2>/dev/null
    jack_dummy_stop
    dbus_stop
    xvfb_stop
    rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# What there is to know about a check that failed.
on_failed_check() {
    echo "# JACK connections:"
    jack_lsp -c 2>&1 | sed 's/^/#   /'
    echo "# the receiver's last lines:"
    tail -n 5 "$dump" 2>&1 | sed 's/^/#   /'
    echo "# the panel's output:"
    tail -n 20 "$root/panel.log" 2>&1 | sed 's/^/#   /'
}

ini_value() { sed -n "s/^$1=//p" "$ini" 2>/dev/null; }

# The receiver keeps its file open, so it is never truncated: each check reads
# what arrived after the mark taken before it.
mark=0
mark_dump() { mark=$(wc -l <"$dump"); }
received_messages() {
    tail -n +$((mark + 1)) "$dump" | sed -nE 's/^ *[0-9]+: (f0 .* f7) *$/\1/Ip' | tr 'A-F' 'a-f'
}
received_at_least() { (($(received_messages | wc -l) >= $1)); }
# Waits until N messages have arrived since the mark; true when they did.
await_messages() { wait_for 15 received_at_least "$1"; }

# The texts of the message box of the running panel.
box_text() { atspi texts "$panel_pid" zr70; }
ini_is() { [[ "$(ini_value "$1")" == "$2" ]]; }
position_is() { [[ "$(window_position "$1")" == "$2" ]]; }
if [[ "${ZR70_TEST_SERVER:-jackd}" == alsa ]]; then
    # The sequencer's clients, as in
    #   Client 129 : "zr70" [User Legacy]
    #     Port   0 : "out" (R-e-)
    #       Connecting To: 128:0
    client_number() { awk -v name="\"$1\"" '$1 == "Client" && $4 == name {print $2}' /proc/asound/seq/clients; }
    connected() {
        awk -v to="$(client_number "$receiver"):0" '/^Client/ {ours = $4 == "\"zr70\""}
            ours && /Connecting To:/ && index($0, to) {found = 1} END {exit !found}' \
            /proc/asound/seq/clients
    }
    port_gone() { ! grep -q '"zr70"' /proc/asound/seq/clients; }
else
    connected() {
        jack_lsp -c 2>/dev/null | awk -v port="$receiver:input" \
            '/^zr70-[0-9]+:/ {out = 1; next} /^[^ ]/ {out = 0} out && $1 == port {found = 1} END {exit !found}'
    }
    port_gone() { ! jack_lsp 2>/dev/null | grep -q '^zr70'; }
fi

xvfb_start || exit 1
dbus_start || exit 1

# --- first run: no settings, no default.zr ---------------------------------
# JACK's table has room for eight servers, which other runs may fill for a while.
for try in 1 2 3 4 5; do
    jack_dummy_start && break
    ((try < 5)) || { echo "not ok - JACK did not start"; exit 1; }
    sleep 3
done
# A receiver name of this run alone: libjack names a client's socket after the
# client, not the server, so a same-named client of another run could take it.
receiver=dump$$
jack_dump_start "$dump" "$receiver" || { echo "not ok - the receiver did not start"; exit 1; }
# On the sequencer the kernel's own Midi Through port comes first: gone, the
# receiver is output 0 as on JACK.
if [[ "${ZR70_TEST_SERVER:-jackd}" == alsa ]]; then
    rmmod snd_seq_dummy || { echo "not ok - Midi Through stayed"; exit 1; }
fi
launch
box=$(window_wait "$box_title" 15)
check "first run shows a message before the window" test -n "$box"
text=$(box_text)
echo "box text: [$text]"
check "the message names the missing default preset" grep -qF "Failed on opening DEFAULT.ZR" <<<"$text"
check "the main window is not up while the message shows" bash -c "! xdotool search --onlyvisible --name '$main_title' >/dev/null"
keys_to "$box" Return
main=$(window_wait "$main_title" 10)
check "the main window comes up after the message" test -n "$main"
# Down on the Midi channel list sends one message: once it has arrived,
# anything sent before it would have too.
keys_to "$main" Down
await_messages 1
echo "received: $(received_messages | tr '\n' '|')"
check "nothing was sent without a default preset, then Down sends channel 2" \
    test "$(received_messages)" = "$(message 0 1)"
check "the settings hold mididevice 0" wait_for 10 ini_is mididevice 0
read -r x y < <(window_position "$main")
check "the settings hold the client position ($x, $y)" wait_for 10 ini_is xpos "$x"
check "... and ypos" ini_is ypos "$y"
check "the first window sits at the default position" test "$x $y" = "20 40"
keys_to "$main" Escape
wait_exit 10
check "Esc ends the program with status 0 (status $status)" test "$status" = 0

# --- a default preset is loaded and sent -----------------------------------
# file order 5 1 4 0 2 3 6 14 8 9 10 11 12 13 7
write_preset "$root/work/default.zr" 1 2 0 9 1 2 1 1 0 1 2 5 6 7 3
mark_dump
launch
main=$(window_wait "$main_title" 15)
check "with default.zr the window comes up without a message" test -n "$main"
expected=$(
    for pair in 0:9 1:2 2:1 3:65 4:0 5:1 6:1 7:3 14:1 8:0 9:1 10:2 11:5 12:6 13:7; do
        message "${pair%:*}" "${pair#*:}"
        echo
    done
)

# --- a keyboard pick on the Controls page ------------------------------------
# Down then Up on the Midi channel list: the two picks come after the
# fifteen start-up messages, and prove that all of them have arrived.
keys_to "$main" Down Up
await_messages 17
received=$(received_messages)
check "the fifteen messages arrive intact and in send-all order" \
    test "$(head -n 15 <<<"$received")" = "$expected"
echo "picks: $(tail -n +16 <<<"$received" | tr '\n' '|')"
check "Down then Up on Midi channel send exactly channel 11, then channel 10" \
    test "$(tail -n +16 <<<"$received")" = "$(message 0 10; echo; message 0 9)"

# --- Save As DEFAULT.ZR -------------------------------------------------------
check "the Presets page is found and clicked" click_control "$panel_pid" "page tab" Presets
check "Save As DEFAULT.ZR is found and clicked" \
    click_control "$panel_pid" "push button" "Save As DEFAULT.ZR"
write_preset "$root/expected.zr" 1 2 0 9 1 2 1 1 0 1 2 5 6 7 3
expected_file=$(od -An -tx1 "$root/expected.zr")
saved_is_expected() { [[ "$(od -An -tx1 "$root/work/default.zr")" == "$expected_file" ]]; }
check "Save As DEFAULT.ZR writes the 47 expected bytes" wait_for 10 saved_is_expected

# --- Esc, then the next start comes back at the stored point ----------------
check "the panel's output is connected to the receiver while it runs" connected
xdotool windowmove "$main" -10 60
check "a drag past the left edge stores a negative xpos" wait_for 10 ini_is xpos -10
check "... and the ypos" ini_is ypos 60
keys_to "$main" Escape
wait_exit 10
check "Esc ends the program with status 0 (status $status)" test "$status" = 0
check "the port is closed at exit" wait_for 10 port_gone
launch
main=$(window_wait "$main_title" 15)
check "the next start puts the client area at the stored point" wait_for 10 position_is "$main" "-10 60"
keys_to "$main" Escape
wait_exit 10

# --- a USB MIDI interface pulled and plugged in while the panel runs ---------
if [[ "${ZR70_TEST_SERVER:-jackd}" == alsa ]]; then
    interface="ALSA: Virtual Raw MIDI 1-0:VirMIDI 1-0"
    alsa_virmidi_plug index=1 midi_devs=1 && alsa_wait_port "Virtual Raw MIDI 1-0" "VirMIDI 1-0"
    number=$("$zr70" --list-outputs | awk -F '\t' -v name="$interface" '$2 == name {print $1}')
    # Stored by its name, at a number that is not its own.
    printf '[zr70]\nmididevice=7\nmididevicename=%s\n' "$interface" >"$ini"
    launch
    main=$(window_wait "$main_title" 20)
    check "the panel starts with the stored interface" test -n "$main"
    check "found by its name, its number ($number) is stored" wait_for 10 ini_is mididevice "$number"
    check "and its name kept" ini_is mididevicename "$interface"
    alsa_virmidi_pull && alsa_wait_no_port "Virtual Raw MIDI 1-0" "VirMIDI 1-0"
    keys_to "$main" Down
    check "a pick once the interface has gone turns the caption to fail!" \
        wait_for 10 window_visible '^fail!$'
    keys_to "$(window_wait '^fail!$' 5)" Escape
    wait_exit 20
    check "Escape then ends it with status 0 (status $status)" test "$status" = 0
    alsa_virmidi_plug && alsa_wait_port "Virtual Raw MIDI 1-0" "VirMIDI 1-0"
    launch
    main=$(window_wait "$main_title" 20)
    # What reaches the interface comes out of its raw MIDI device.
    head -c 11 /dev/snd/midiC1D0 >"$root/virmidi.bin" &
    reader=$!
    keys_to "$main" Down
    all_arrived() { [[ "$(stat -c %s "$root/virmidi.bin")" == 11 ]]; }
    check "plugged in again, the next start finds it by name and a pick reaches it" \
        wait_for 10 all_arrived
    kill "$reader" 2>/dev/null
    check "with no failure shown" bash -c "! xdotool search --onlyvisible --name '^fail!$'"
    check "and its name still stored" ini_is mididevicename "$interface"
    keys_to "$main" Escape
    wait_exit 20
fi

# --- no MIDI output at all ------------------------------------------------------
jack_dummy_stop
if [[ -e /dev/snd/seq ]]; then
    echo "ok - no-device run skipped: this machine has an ALSA sequencer # SKIP"
else
    rm -f "$ini"
    launch
    box=$(window_wait "$box_title" 15)
    text=$(box_text)
    check "without any MIDI output the user is told so" grep -qF "No MIDI out devices found" <<<"$text"
    check "no main window shows" bash -c "! xdotool search --onlyvisible --name '$main_title' >/dev/null"
    keys_to "$box" Return
    wait_exit 10
    check "the program ends with status 0 (status $status)" test "$status" = 0
    check "no mididevice was written" test -z "$(ini_value mididevice)"
fi

checks_done
