# shellcheck shell=bash
# What the command line's benchmarks share. Source it with the benchmark's
# name: it makes a folder of the run's own ($root, removed at the end with
# whatever busy processes and servers the run started), a home and a settings
# folder in it, no display, and $preset, a preset with a selection for every
# parameter, fifteen messages a send.

# shellcheck source=scripts/server-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/server-common.sh"

root=$(mktemp -d "/tmp/zr70-bench-$1.XXXXXX")
export HOME=$root/home XDG_CONFIG_HOME=$root/config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
cleanup() {
    busy_loops_stop
    if declare -F jack_dummy_stop >/dev/null; then
        jack_dummy_stop
    fi
    rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

preset=$root/all.zr
printf '\x00\x00\x01\x00\x00\x01\x00\x00\x03\x03\x03\x03\x03\x03\x01\n--- Korvan ZR70 Preset File ---' \
    >"$preset"
