#!/usr/bin/env bash
# Builds the panel and launches it.
#
# On a machine without any MIDI output (no ALSA sequencer, no JACK server), the
# panel would only say "No MIDI out devices found". So that you can still see
# it work, this starts a private sound server with a monitor client (PipeWire,
# through its JACK library, where it is installed; a JACK server in dummy mode
# otherwise), launches the panel against it and prints every System Exclusive
# message the monitor receives.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zr70 zr70_panel
panel=$PWD/build/src/main/zr70

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: run this from a desktop session (or under xvfb-run)." >&2
    exit 1
fi

has_midi_output() {
    [[ -r /dev/snd/seq ]] && return 0
    JACK_NO_START_SERVER=1 timeout 5 jack_lsp >/dev/null 2>&1
}

if has_midi_output; then
    exec "$panel"
fi

# PipeWire where it is installed, as on current desktops; jackd otherwise.
if [[ "${ZR70_DEMO_SERVER:-}" != jackd ]] && command -v pipewire >/dev/null &&
    compgen -G '/usr/lib*/*/pipewire-0.3/jack/libjack.so.0' >/dev/null; then
    source scripts/pipewire-private.sh
    server="a private PipeWire instance"
    server_start=pw_private_start dump_start=pw_dump_start server_stop=pw_private_stop
else
    source scripts/jack-dummy.sh
    server="a private JACK server"
    server_start=jack_dummy_start dump_start=jack_dump_start server_stop=jack_dummy_stop
fi
monitor_log=$(mktemp /tmp/zr70-monitor.XXXXXX)
tail_pid=
finish() {
    [[ -n "$tail_pid" ]] && kill "$tail_pid" 2>/dev/null
    "$server_stop"
    rm -f "$monitor_log" "$monitor_log.err"
}
trap finish EXIT

echo "No MIDI output on this machine: starting $server with a monitor."
"$server_start"
"$dump_start" "$monitor_log" monitor
echo "The panel sends to monitor:input. Every message it receives is shown here:"
tail -n +1 -f --pid=$$ "$monitor_log" | grep --line-buffered -iE ': f0 ' &
tail_pid=$!
"$panel" || true
sleep 0.2
