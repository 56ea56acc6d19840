#!/usr/bin/env bash
# How often the command line's answers are true on a busy machine. On a
# private jackd in dummy mode and then on a private PipeWire instance, as the
# tests start them, with a jack_midi_dump receiver "dump" and two busy
# processes beside, each run lists the outputs (zr70 --list-outputs) and then
# sends a preset with all fifteen parameters set (zr70 --send PRESET --output
# dump:input). For each server it prints how many runs
#
#   delivered        listed the receiver, ended with status 0, and all fifteen
#                    messages arrived intact
#   false failure    said it failed while it did not: the send's status was
#                    not 0 although all arrived, or a command said "No MIDI out
#                    devices found" or did not list the receiver while it was
#                    there
#   false success    the send's status was 0, but fewer than the fifteen
#                    arrived intact
#   failed           the send said it failed, and not all arrived
#   receiver's loss  the receiver says it lost messages itself (or was gone):
#                    the run tells nothing about the program
#
# and the first words of a false failure. It prints figures and never fails
# on them.
#
#   bench/app/busy_send.sh [build dir] [runs]     runs on each server, 100 unless given
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

build=$(realpath "${1:-$source_dir/build}")
runs=${2:-100}
if [[ ! "$runs" =~ ^[1-9][0-9]*$ ]] || (($# > 2)); then
    echo "usage: busy_send.sh [build dir] [runs]" >&2
    exit 2
fi
zr70=$build/src/main/zr70
if [[ ! -x "$zr70" ]]; then
    echo "busy_send.sh: $zr70 is not built" >&2
    exit 1
fi
# shellcheck source=bench/app/common.sh
source "$here/common.sh" busy

# The fifteen messages a send of the preset is to send, one a line, as the
# receiver prints them.
"$zr70" --export-syx "$preset" "$root/all.syx" || exit 1
expected=$(od -An -v -tx1 "$root/all.syx" | tr -s ' \n' ' ' | sed 's/ f7/ f7\n/g' | sed 's/^ *//' | grep .)
if (($(wc -l <<<"$expected") != 15)); then
    echo "busy_send.sh: the preset does not make fifteen messages:" >&2
    echo "$expected" >&2
    exit 1
fi

# messages FROM: the messages the receiver printed, from line FROM on.
messages() {
    tail -n +"$1" "$root/dump.txt" | sed -nE 's/^ *[0-9]+: (f0 .* f7) *$/\1/Ip' | tr 'A-F' 'a-f'
}
lines() { wc -l <"$root/dump.txt"; }
# Fifteen messages or more since line $from.
all_arrived() { (($(messages "$from" | wc -l) >= 15)); }

# on_server NAME: the runs on server NAME, and one line of figures.
on_server() {
    export ZR70_TEST_SERVER=$1
    # shellcheck source=scripts/test-server.sh
    source "$source_dir/scripts/test-server.sh"
    # Each server runs in a subshell of its own, whose end the run's clean-up
    # does not see: the server goes with the subshell.
    trap jack_dummy_stop EXIT
    # shellcheck disable=SC2119 # a server of its own name
    if ! jack_dummy_start || ! jack_dump_start "$root/dump.txt"; then
        printf '%-9s did not start\n' "$1"
        return
    fi
    local run from lost list send intact there
    local delivered=0 false_failures=0 false_successes=0 failed=0 receiver=0 first=''
    for ((run = 0; run < runs; run++)); do
        from=$(($(lines) + 1))
        lost=$(receiver_losses | wc -l)
        timeout -k 5 20 "$zr70" --list-outputs >"$root/list" 2>"$root/list.err"
        list=$?
        timeout -k 5 20 "$zr70" --send "$preset" --output dump:input >/dev/null 2>"$root/send.err"
        send=$?
        # The receiver prints a little after the sender has ended.
        server_wait_for 2 all_arrived
        [[ "$(messages "$from")" == "$expected" ]] && intact=1 || intact=0
        timeout 5 jack_lsp 2>/dev/null | grep -qxF dump:input && there=1 || there=0
        if (($(receiver_losses | wc -l) > lost || !there)); then
            receiver=$((receiver + 1))
        elif ((send == 0 && !intact)); then
            false_successes=$((false_successes + 1))
        elif ((send != 0 && intact || list != 0)) ||
            ! grep -qxF 'JACK: dump:input' <(cut -f2 "$root/list") ||
            grep -qs 'No MIDI out devices found' "$root/list.err" "$root/send.err"; then
            false_failures=$((false_failures + 1))
            [[ -n "$first" ]] || first=$(cat "$root/list.err" "$root/send.err" | head -n 1)
        elif ((send != 0)); then
            failed=$((failed + 1))
        else
            delivered=$((delivered + 1))
        fi
    done
    printf '%-9s %5d %10d %14d %15d %7d %16d\n' "$1" "$runs" "$delivered" "$false_failures" \
        "$false_successes" "$failed" "$receiver"
    [[ -z "$first" ]] || printf '%-9s the first false failure said: %s\n' "" "$first"
}

busy_loops_start 2
read -r load_average _ </proc/loadavg
printf 'zr70 --list-outputs, then zr70 --send of fifteen messages to dump:input, %d runs on each\n' "$runs"
printf 'server; two busy processes beside, load average %s before the runs\n' "$load_average"
printf '%-9s %5s %10s %14s %15s %7s %16s\n' server runs delivered "false failures" \
    "false successes" failed "receiver's loss"
for server in jackd pipewire; do
    (on_server "$server")
done
