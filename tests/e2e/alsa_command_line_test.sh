#!/usr/bin/env bash
# shellcheck disable=SC2034,SC2154 # zr70 is for common.sh's run, which sets status
# The command line of the real zr70 on the kernel's ALSA sequencer: outputs
# listed, a preset sent to a receiver on the sequencer, and a virtual MIDI
# interface listed once plugged in and no longer once pulled out. Runs with
# ZR70_TEST_SERVER=alsa, in scripts/alsa-guest.sh where the kernel has no
# sequencer.
#
#   alsa_command_line_test.sh <path to zr70> <source dir>
set -uo pipefail

zr70=$(realpath "$1")
source_dir=$(realpath "$2")
# shellcheck source=/dev/null
source "$source_dir/scripts/test-server.sh"
# shellcheck source=/dev/null
source "$source_dir/tests/e2e/common.sh"

root=$(mktemp -d /tmp/zr70-alsa.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
dump=$root/dump.txt

cleanup() {
    jack_dummy_stop
    rm -rf "$root"
}
trap cleanup EXIT

on_failed_check() {
    echo "# the sequencer's clients:"
    sed 's/^/#   /' /proc/asound/seq/clients
    echo "# zr70's output and errors:"
    cat "$root/out" "$root/err" | sed 's/^/#   /'
}

lists() { grep -qxF "$1" <(cut -f2 "$root/out"); }

if [[ "${ZR70_TEST_SERVER:-}" != alsa ]] || ! jack_dummy_start || ! jack_dump_start "$dump"; then
    echo "not ok - the ALSA sequencer and the receiver did not start (ZR70_TEST_SERVER=${ZR70_TEST_SERVER:-})"
    exit 1
fi

run --list-outputs
check "--list-outputs ends with status 0 (status $status)" test "$status" = 0
check "it lists the kernel's Midi Through port" lists "ALSA: Midi Through Port-0"
check "it lists the receiver" lists "ALSA: dump:input"

expected=$(write_live_preset "$root/live.zr")
run --send "$root/live.zr" --output dump
check "--send --output dump ends with status 0 (status $status)" test "$status" = 0
check "--send writes nothing on stderr" test ! -s "$root/err"
wait_for_messages 14
check "the receiver got the 14 messages with a selection, in send-all order" \
    test "$(received 1 14)" = "$expected"
run --set "Play Mode=Mono" --output dump
wait_for_messages 15
check "--set \"Play Mode=Mono\" delivers exactly that message (status $status)" \
    test "$status" = 0 -a "$(received 15 1)" = "$(message 2 1)"

# A USB MIDI interface plugged in: card 1 with one port.
virmidi="ALSA: Virtual Raw MIDI 1-0:VirMIDI 1-0"
alsa_virmidi_plug index=1 midi_devs=1 && alsa_wait_port "Virtual Raw MIDI 1-0" "VirMIDI 1-0"
check "the plugged interface's port is there" alsa_has_port "Virtual Raw MIDI 1-0" "VirMIDI 1-0"
run --list-outputs
check "--list-outputs lists the plugged interface" lists "$virmidi"

alsa_virmidi_pull && alsa_wait_no_port "Virtual Raw MIDI 1-0" "VirMIDI 1-0"
run --list-outputs
check "once pulled out it is no longer listed (status $status)" \
    test "$status" = 0 -a "$(cut -f2 "$root/out")" = "$(printf 'ALSA: Midi Through Port-0\nALSA: dump:input')"

checks_done
