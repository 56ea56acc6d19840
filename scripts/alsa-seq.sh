# shellcheck shell=bash
# The kernel's ALSA sequencer as a test's server, a receiver on it, and a
# virtual MIDI interface to plug and pull. Where the kernel has no sound
# support, run the test with scripts/alsa-guest.sh, which boots one that has.
# Source this file, then:
#
#   alsa_seq_start          check that the sequencer is there and answers
#   alsa_dump_start DUMPFILE [CLIENT]
#                           start a receiver: client CLIENT ("dump" unless
#                           given) with the one port "input", printing one
#                           line per System Exclusive message into DUMPFILE
#                           as jack_midi_dump does, and its errors into
#                           DUMPFILE.err; waits for its port. The
#                           program is $ZR70_ALSA_DUMP, else zr70_alsa_dump
#                           on the PATH (built in tests/support)
#   alsa_wait_port CLIENT PORT [SECONDS]
#                           wait (10 s unless given) until client CLIENT has
#                           a port PORT
#   alsa_wait_no_port CLIENT PORT [SECONDS]
#                           wait until it has not
#   alsa_dump_stop          stop the receiver (SIGINT)
#   alsa_seq_stop           stop the receiver and pull what was plugged
#   alsa_virmidi_plug [PARAMETER=VALUE...]
#                           plug in a virtual MIDI interface as a USB one
#                           would be: load snd-virmidi with the parameters
#                           given (card N, "index=N", with four clients
#                           "Virtual Raw MIDI N-0".."N-3", "midi_devs=4", of a
#                           port "VirMIDI N-0".. each, which also show as raw
#                           MIDI devices /dev/snd/midiCND0..), or, without
#                           parameters, plug in again those pulled out
#   alsa_virmidi_pull       pull them out, also while they are in use: their
#                           clients go, and a program that has their raw MIDI
#                           devices open gets ENODEV
#
# The virtual interface's modules come from $ZR70_ALSA_MODULES (a folder of
# .ko files and the file "order" they load in), which alsa-guest.sh sets.
# Every function returns nonzero on failure and prints why on stderr. The
# waits and the receiver are those of scripts/server-common.sh. Callers
# should `trap alsa_seq_stop EXIT` so nothing is left behind.
#
# Run as a command: alsa-seq.sh plug [PARAMETER=VALUE...] | pull

_ALSA_SEQ_CLIENTS=/proc/asound/seq/clients

_alsa_dir=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/server-common.sh
source "$_alsa_dir/server-common.sh"

# alsa_has_port CLIENT PORT: the sequencer lists the port, as in
#   Client 128 : "dump" [User Legacy]
#     Port   0 : "input" (-We-)
alsa_has_port() {
    awk -v client="$1" -v port="$2" '
        /^Client / { split($0, q, "\""); here = (q[2] == client) }
        here && /^  Port / { split($0, q, "\""); if (q[2] == port) found = 1 }
        END { exit !found }' "$_ALSA_SEQ_CLIENTS" 2>/dev/null
}

_alsa_has_no_port() { ! alsa_has_port "$@"; }

_alsa_has_input() { alsa_has_port "$1" input; }

alsa_wait_port() {
    server_wait_for "${3:-10}" alsa_has_port "$1" "$2"
}

alsa_wait_no_port() {
    server_wait_for "${3:-10}" _alsa_has_no_port "$1" "$2"
}

alsa_seq_start() {
    if [[ ! -c /dev/snd/seq ]]; then
        echo "alsa_seq_start: this kernel has no ALSA sequencer (/dev/snd/seq); run in scripts/alsa-guest.sh" >&2
        return 1
    fi
    if ! command -v aconnect >/dev/null || ! aconnect -l >/dev/null 2>&1; then
        echo "alsa_seq_start: the ALSA sequencer cannot be opened (is alsa-utils installed?):" >&2
        ls -l /dev/snd/seq >&2
        return 1
    fi
}

alsa_dump_start() {
    local file=${1:?alsa_dump_start: DUMPFILE missing} client=${2:-dump} program
    program=${ZR70_ALSA_DUMP:-$(command -v zr70_alsa_dump)}
    if [[ ! -x "$program" ]]; then
        echo "alsa_dump_start: no receiver program; set ZR70_ALSA_DUMP to tests/support/zr70_alsa_dump" >&2
        return 1
    fi
    receiver_start "$file" "$client" _alsa_has_input "$program"
}

alsa_dump_stop() { receiver_stop || true; }

# The folder of the driver's devices, once snd-virmidi is loaded.
_ALSA_VIRMIDI_DRIVER=/sys/bus/platform/drivers/snd_virmidi

alsa_virmidi_plug() {
    local folder=${ZR70_ALSA_MODULES:-} module last device
    if [[ ! -r "$folder/order" ]]; then
        echo "alsa_virmidi_plug: no modules to load; run in scripts/alsa-guest.sh" >&2
        return 1
    fi
    if [[ -d /sys/module/snd_virmidi ]]; then
        if (($# == 0)); then
            for device in /sys/bus/platform/devices/snd_virmidi.*; do
                [[ -e "$device/driver" ]] || echo "${device##*/}" >"$_ALSA_VIRMIDI_DRIVER/bind" || return 1
            done
            return 0
        fi
        # Other parameters: loaded anew.
        PATH=$PATH:/usr/sbin:/sbin rmmod snd_virmidi || return 1
    fi
    last=$(tail -n 1 "$folder/order")
    while read -r module; do
        if [[ "$module" == "$last" ]]; then
            PATH=$PATH:/usr/sbin:/sbin insmod "$folder/$module" "$@" || return 1
        elif [[ ! -d /sys/module/$(_alsa_module_name "$module") ]]; then
            PATH=$PATH:/usr/sbin:/sbin insmod "$folder/$module" || return 1
        fi
    done <"$folder/order"
}

# The devices are unbound from the driver, which takes their cards away even
# while they are in use, as an unplugged USB device goes; removing the module
# would be refused then.
alsa_virmidi_pull() {
    local device
    [[ -d "$_ALSA_VIRMIDI_DRIVER" ]] || return 0
    for device in "$_ALSA_VIRMIDI_DRIVER"/snd_virmidi.*; do
        [[ -e "$device" ]] || continue
        echo "${device##*/}" >"$_ALSA_VIRMIDI_DRIVER/unbind" || return 1
    done
}

# The kernel's name of a module file: snd_virmidi for snd-virmidi.ko.
_alsa_module_name() {
    local name=${1%.ko}
    echo "${name//-/_}"
}

alsa_seq_stop() {
    alsa_dump_stop
    alsa_virmidi_pull || true
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -euo pipefail
    case "${1:-}" in
    plug) shift && alsa_virmidi_plug "$@" ;;
    pull) alsa_virmidi_pull ;;
    *)
        echo "usage: alsa-seq.sh plug [PARAMETER=VALUE...] | pull (or source it)" >&2
        exit 2
        ;;
    esac
fi
