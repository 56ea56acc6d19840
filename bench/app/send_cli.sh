#!/usr/bin/env bash
# Wall time of `zr70 --send` from the call to its exit, what a stage script
# waits for, against the least a JACK sender can do (least_jack_sender: one
# client, one port, one connection, the messages written into one cycle).
# Both send a whole preset, fifteen messages, to a jack_midi_dump receiver on
# a private server, without a display. The two take turns run by run, the
# first of each pair changing every round, so that a busy moment of the
# machine falls on both; one warm-up run of each is not counted. What the
# receiver prints after each run is counted as that run's delivery.
#
#   bench/app/send_cli.sh [--load] [build dir] [runs]
#
# runs: of each program, 15 unless given. --load keeps two busy loops running
# beside the runs, standing for a loaded machine (two cores here).
# ZR70_TEST_SERVER=pipewire runs on a private PipeWire instance instead of
# jackd in dummy mode, every program using PipeWire's JACK library.
#
# It prints figures and never fails on them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

load=0
positional=()
for argument; do
    case $argument in
    --load) load=1 ;;
    *) positional+=("$argument") ;;
    esac
done
build=$(realpath "${positional[0]:-$source_dir/build}")
runs=${positional[1]:-15}
if [[ ! "$runs" =~ ^[1-9][0-9]*$ ]] || ((${#positional[@]} > 2)); then
    echo "usage: send_cli.sh [--load] [build dir] [runs]" >&2
    exit 2
fi
least=("$build/bench/app/least_jack_sender" dump:input)
zr70=("$build/src/main/zr70" --send)
for program in "${least[0]}" "${zr70[0]}"; do
    if [[ ! -x "$program" ]]; then
        echo "send_cli.sh: $program is not built" >&2
        exit 1
    fi
done
# shellcheck source=/dev/null
source "$source_dir/scripts/test-server.sh"
# shellcheck source=bench/app/common.sh
source "$here/common.sh" send

per_run=15
least+=("$preset")
zr70+=("$preset" --output dump:input)

# shellcheck disable=SC2119 # a server of its own name
if ! jack_dummy_start || ! jack_dump_start "$root/dump.txt"; then
    exit 1
fi
server=jackd
[[ "${ZR70_TEST_SERVER:-jackd}" == pipewire ]] && server=PipeWire
frames=$(timeout 5 jack_bufsize) rate=$(timeout 5 jack_samplerate)
# Other work on the machine shows in the load average before the runs.
read -r load_average _ </proc/loadavg
machine="no busy loops"
if ((load)); then
    busy_loops_start 2
    machine="two busy loops (--load)"
fi

# The receiver prints one line per message, "<frame>: <bytes>", from its own
# thread a little after the sender has ended: a run's messages are waited for
# up to a second. (grep -c prints 0 but fails when there is none yet.)
received() { grep -cE '^ *[0-9]+: ' "$root/dump.txt" || true; }
received_so_far=0
await_messages() {
    local count tries=100
    while count=$(received) && ((count < $1 && tries-- > 0)); do
        sleep 0.01
    done
    echo "$count"
}

declare -A times delivered failed first_error
# run NAME COMMAND...: one timed run; the round's number is in $round, and
# round 0 only warms the caches.
run() {
    local name=$1 start end status count
    shift
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>"$root/stderr"
    status=$?
    end=$EPOCHREALTIME
    count=$(await_messages $((received_so_far + per_run)))
    ((round == 0)) && { received_so_far=$count; return; }
    delivered[$name]=$((${delivered[$name]:-0} + count - received_so_far))
    received_so_far=$count
    if ((status != 0)); then
        failed[$name]=$((${failed[$name]:-0} + 1))
        [[ -v first_error[$name] ]] || first_error[$name]=$(head -n 1 "$root/stderr")
        return
    fi
    # $EPOCHREALTIME has six decimals, its point depending on the locale.
    times[$name]+="$((${end//[!0-9]/} - ${start//[!0-9]/})) "
}

for ((round = 0; round <= runs; round++)); do
    if ((round % 2 == 0)); then
        run least "${least[@]}"
        run zr70 "${zr70[@]}"
    else
        run zr70 "${zr70[@]}"
        run least "${least[@]}"
    fi
done

# stats: microseconds, one a line -> "median min q1 q3 max" in ms (quartiles
# interpolated between neighbours).
stats() {
    sort -n | awk '
        function at(p,   x, i) { x = (NR - 1) * p + 1; i = int(x); return (a[i] + (x - i) * (a[i + 1] - a[i])) / 1000 }
        { a[NR] = $1 }
        END { if (NR == 0) { print "- - - - -"; exit }
              a[NR + 1] = a[NR]
              printf "%.1f %.1f %.1f %.1f %.1f\n", at(0.5), a[1] / 1000, at(0.25), at(0.75), a[NR] / 1000 }'
}

printf 'zr70 --send against the least JACK sender: %d runs of each in turns, after one warm-up run each\n' "$runs"
awk -v s="$server" -v f="$frames" -v r="$rate" -v m="$machine" -v a="$load_average" \
    'BEGIN { printf "server: %s, %s frames at %s Hz (%.1f ms cycles); %s, load average %s before the runs\n",
             s, f, r, 1000 * f / r, m, a }'
printf '%-18s %8s %8s %8s %8s %8s   %s\n' "ms, call to exit" median min q1 q3 max "messages delivered"
declare -A median
for name in least zr70; do
    label=least_jack_sender
    [[ $name == zr70 ]] && label="zr70 --send"
    read -r median[$name] low q1 q3 high < <(tr ' ' '\n' <<<"${times[$name]:-}" | grep . | stats)
    printf '%-18s %8s %8s %8s %8s %8s   %d of %d\n' "$label" "${median[$name]}" "$low" "$q1" "$q3" "$high" \
        "${delivered[$name]:-0}" $((per_run * runs))
    if [[ -v failed[$name] ]]; then
        printf '%-18s %d runs failed, the first with: %s\n' "" "${failed[$name]}" "${first_error[$name]}"
    fi
done
losses=$(receiver_losses | wc -l)
((losses == 0)) || printf 'the receiver itself lost %d messages: they count as not delivered\n' "$losses"
awk -v z="${median[zr70]}" -v l="${median[least]}" \
    'BEGIN { if (l + 0 > 0) printf "zr70 / least (medians): %.2fx\n", z / l }'
