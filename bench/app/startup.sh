#!/usr/bin/env bash
# Start-up time and memory of the panel against the least a Qt panel on RtMidi
# can do: a plain dialog that first opens one JACK output by name and sends
# fifteen messages (floor_dialog). The smallest Qt dialog is measured too, for
# reference. All run under Xvfb against a private JACK server with a receiver;
# the runs take turns, so a busy moment of the machine falls on all of them.
#
# For each run: the time from exec to the mapped window, and the proportional
# set size (PSS, from /proc/PID/smaps_rollup) read once the window is mapped.
# PSS shares JACK's locked shared memory among the processes that map it,
# where peak RSS would count every page of it in full.
#
#   bench/app/startup.sh [build dir] [runs]
#
# With ZR70_TEST_SERVER=pipewire the server is a private PipeWire instance,
# every program using PipeWire's JACK library.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(realpath "${1:-$source_dir/build}")
runs=${2:-10}
source "$source_dir/scripts/test-server.sh"
source "$source_dir/tests/e2e/x11.sh"

root=$(mktemp -d /tmp/zr70-bench.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$root/work"
cleanup() {
    jack_dummy_stop
    xvfb_stop
    rm -rf "$root"
}
trap cleanup EXIT

# A default preset, so every start of the panel sends all fifteen parameters.
printf '\x00\x00\x01\x00\x00\x01\x00\x00\x03\x03\x03\x03\x03\x03\x01\n--- Korvan ZR70 Preset File ---' \
    >"$root/work/default.zr"

xvfb_start || exit 1
# shellcheck disable=SC2119 # a server of its own name
jack_dummy_start && jack_dump_start "$root/dump.txt" || exit 1

now_ms() { date +%s%3N; }

# measure <window title> <program> [args...]: prints "<ms to mapped window> <PSS KiB>".
measure() {
    local title=$1 start mapped id pid pss
    shift
    start=$(now_ms)
    (cd "$root/work" && exec "$@") >"$root/out" 2>&1 &
    pid=$!
    local deadline=$((SECONDS + 20))
    until id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1) && [[ -n "$id" ]]; do
        if ((SECONDS > deadline)) || ! kill -0 "$pid" 2>/dev/null; then
            echo "$1: no window" >&2
            cat "$root/out" >&2
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            return 1
        fi
        sleep 0.002
    done
    mapped=$(now_ms)
    pss=$(awk '/^Pss:/ { print $2 }' "/proc/$pid/smaps_rollup")
    keys_to "$id" Escape
    wait "$pid"
    echo "$((mapped - start)) $pss"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

# The messages the receiver has printed so far. A program's messages have all
# passed JACK when it has ended; the receiver prints them from its own thread,
# so they are waited for a little (at most half a second) before they count.
received_so_far=0
received() {
    local expected=$1 count tries=100
    while count=$(grep -ciE '^ *[0-9]+: f0 ' "$root/dump.txt") && ((count < expected && tries-- > 0)); do
        sleep 0.005
    done
    echo "$count"
}

names=("minimal dialog" "floor" "zr70")
titles=('^Minimal Qt dialog$' '^Floor dialog$' '^Korvan Zr70 Control Pannel$')
commands=("$build/bench/app/minimal_dialog" "$build/bench/app/floor_dialog dump:input"
    "$build/src/main/zr70")

declare -A times pss messages
for ((i = 0; i <= runs; i++)); do
    for p in 0 1 2; do
        # shellcheck disable=SC2086 # the command line is split on purpose
        result=$(measure "${titles[p]}" ${commands[p]}) || exit 1
        # The floor and the panel each send fifteen messages per start.
        count=$(received $((received_so_far + (p > 0 ? 15 : 0))))
        messages[$p]=$((${messages[$p]:-0} + count - received_so_far))
        received_so_far=$count
        ((i == 0)) && continue # the first round only warms the caches
        times[$p]+="${result% *} "
        pss[$p]+="${result#* } "
    done
done

declare -a time_median pss_median
for p in 0 1 2; do
    time_median[p]=$(tr ' ' '\n' <<<"${times[$p]}" | grep . | median)
    pss_median[p]=$(tr ' ' '\n' <<<"${pss[$p]}" | grep . | median)
    printf '%-16s start-up %5d ms   PSS %7d KiB   (median of %d interleaved runs)\n' \
        "${names[p]}" "${time_median[p]}" "${pss_median[p]}" "$runs"
done
awk -v f="${messages[1]}" -v z="${messages[2]}" -v n=$((runs + 1)) \
    'BEGIN { printf "messages the receiver got per start (goal 15): floor %.1f, zr70 %.1f\n", f / n, z / n }'
awk -v a="${time_median[2]}" -v b="${time_median[1]}" -v c="${pss_median[2]}" -v d="${pss_median[1]}" \
    'BEGIN { printf "panel against the floor: start-up %.2fx, PSS %.2fx (goal: 1.10x or less)\n", a / b, c / d }'
