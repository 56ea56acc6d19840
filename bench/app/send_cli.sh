#!/usr/bin/env bash
# Wall time of `zr70 --send` from start to exit, what a stage script waits for:
# a whole preset (fifteen messages) sent to a real JACK receiver, without a
# display. Prints the median, the fastest and the slowest of the runs.
#
#   bench/app/send_cli.sh [build dir] [runs]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(realpath "${1:-$source_dir/build}")
runs=${2:-20}
# shellcheck source=/dev/null
source "$source_dir/scripts/jack-dummy.sh"

root=$(mktemp -d /tmp/zr70-bench-send.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
cleanup() {
    jack_dummy_stop
    rm -rf "$root"
}
trap cleanup EXIT

printf '\x00\x00\x01\x00\x00\x01\x00\x00\x03\x03\x03\x03\x03\x03\x01\n--- Korvan ZR70 Preset File ---' \
    >"$root/default.zr"
if ! jack_dummy_start || ! jack_dump_start "$root/dump.txt"; then
    exit 1
fi

times=()
for ((i = 0; i <= runs; i++)); do
    start=$(date +%s%N)
    if ! "$build/src/main/zr70" --send "$root/default.zr" --output dump:input; then
        echo "zr70 --send failed" >&2
        exit 1
    fi
    end=$(date +%s%N)
    # The first run warms the caches and is not counted.
    ((i > 0)) && times+=($(((end - start) / 1000)))
done

sorted=$(printf '%s\n' "${times[@]}" | sort -n)
awk -v runs="$runs" '{a[NR] = $1}
    END {printf "zr70 --send, start to exit: median %.1f ms, fastest %.1f ms, slowest %.1f ms (%d runs)\n",
         a[int((NR + 1) / 2)] / 1000, a[1] / 1000, a[NR] / 1000, runs}' <<<"$sorted"
# The receiver prints what it got a little after the sender has ended.
received() { grep -ciE '^ *[0-9]+: f0 ' "$root/dump.txt"; }
deadline=$((SECONDS + 10))
while (($(received) < 15 * (runs + 1))) && ((SECONDS < deadline)); do sleep 0.05; done
sent=$(received)
echo "messages received by JACK: $sent ($((sent / (runs + 1))) per run)"
