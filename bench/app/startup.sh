#!/usr/bin/env bash
# Start-up time and peak memory of the panel, side by side with the smallest Qt
# dialog built in the same tree. Both run under Xvfb; the panel sends its
# fifteen start-up messages to a real JACK receiver before its window maps.
#
#   bench/app/startup.sh [build dir] [runs]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(realpath "${1:-$source_dir/build}")
runs=${2:-10}
source "$source_dir/scripts/jack-dummy.sh"
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

# A default preset, so every start sends all fifteen parameters.
printf '\x00\x00\x01\x00\x00\x01\x00\x00\x03\x03\x03\x03\x03\x03\x01\n--- Korvan ZR70 Preset File ---' \
    >"$root/work/default.zr"

xvfb_start || exit 1
jack_dummy_start && jack_dump_start "$root/dump.txt" || exit 1

now_ms() { date +%s%3N; }

# measure <program> <window title>: prints "<ms to mapped window> <peak KiB>".
measure() {
    local program=$1 title=$2 start mapped id pid
    start=$(now_ms)
    (cd "$root/work" && exec /usr/bin/time -f %M -o "$root/rss" "$program") >"$root/out" 2>&1 &
    pid=$!
    local deadline=$((SECONDS + 20))
    until id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1) && [[ -n "$id" ]]; do
        if ((SECONDS > deadline)); then
            echo "$program: no window after 20 s" >&2
            cat "$root/out" "$root/rss" >&2
            kill "$pid"
            return 1
        fi
        sleep 0.002
    done
    mapped=$(now_ms)
    sleep 0.3
    keys_to "$id" Escape
    wait "$pid"
    echo "$((mapped - start)) $(cat "$root/rss")"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

run_series() { # run_series <program> <title> <label>
    local i results=()
    measure "$1" "$2" >/dev/null # warm the caches
    for ((i = 0; i < runs; i++)); do results+=("$(measure "$1" "$2")"); done
    local time rss
    time=$(printf '%s\n' "${results[@]}" | cut -d' ' -f1 | median)
    rss=$(printf '%s\n' "${results[@]}" | cut -d' ' -f2 | median)
    printf '%-16s start-up %5d ms   peak memory %7d KiB   (median of %d runs)\n' "$3" "$time" "$rss" "$runs" >&2
    echo "$time $rss"
}

read -r floor_ms floor_kib < <(run_series "$build/bench/app/minimal_dialog" '^Minimal Qt dialog$' "minimal dialog")
read -r panel_ms panel_kib < <(run_series "$build/src/app/zr70" '^Korvan Zr70 Control Pannel$' "zr70")
sent=$(grep -ciE '^ *[0-9]+: f0 ' "$root/dump.txt")
echo "messages received by JACK during the runs: $sent ($((sent / (runs + 1))) per start)"
# Any JACK client maps the server's shared memory and connects to it; a bare
# one shows what of the panel's figures is JACK's own.
jack_kib=$(/usr/bin/time -f %M jack_lsp 2>&1 >/dev/null | tail -n 1)
echo "a bare JACK client (jack_lsp) alone peaks at $jack_kib KiB"
awk -v a="$panel_kib" -v b="$floor_kib" -v c="$jack_kib" \
    'BEGIN { printf "the panel beyond the minimal dialog and one JACK client: %d KiB\n", a - b - c }'
awk -v a="$panel_ms" -v b="$floor_ms" -v c="$panel_kib" -v d="$floor_kib" \
    'BEGIN { printf "ratio to the floor: start-up %.2fx, peak memory %.2fx (goal: 1.2x or less)\n", a / b, c / d }'
