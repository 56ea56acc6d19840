# shellcheck shell=bash
# A private JACK server in dummy mode (no sound hardware) and a jack_midi_dump
# receiver, for end-to-end runs and demos. The only place that knows how such
# a server is started and how it is cleaned up after: shell scripts source this
# file, the C++ tests run it as a command.
#
# Sourced, it offers:
#
#   jack_dummy_start [NAME]     start a server; exports JACK_DEFAULT_SERVER and
#                               JACK_NO_START_SERVER so that every JACK client
#                               started from this shell uses it
#   jack_dump_start DUMPFILE [CLIENT]
#                               start jack_midi_dump (client "dump" unless
#                               given), printing one line per message into
#                               DUMPFILE and its errors into DUMPFILE.err;
#                               waits for its port CLIENT:input
#   jack_dump_stop              stop the receiver (SIGINT)
#   jack_dummy_stop             stop the receiver and the server, remove what
#                               the server left in /dev/shm and its log
#
# Every function returns nonzero on failure and prints why on stderr. The
# waits, the ends of processes and the receiver are those of
# scripts/server-common.sh, which also tells whether the receiver lost
# messages itself (receiver_losses). Each server gets its own name, so parallel runs never meet. Callers should
# `trap jack_dummy_stop EXIT` so nothing is left behind.
#
# Run as a command:
#
#   jack-dummy.sh serve NAME    become the server NAME (exec jackd), for a
#                               caller that owns the process
#   jack-dummy.sh free NAME     after server NAME was killed: free its place in
#                               JACK's table of servers and remove its files
#   jack-dummy.sh free-stale    free the places of all such servers that are
#                               gone (the table has room for eight)
#   jack-dummy.sh clean NAME    remove what server NAME and its clients left in
#                               /dev/shm

JACK_DUMMY_PID=${JACK_DUMMY_PID:-}
_JACK_DUMMY_LOG=

_jack_dir=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/server-common.sh
source "$_jack_dir/server-common.sh"

# _jack_up PID: the server answers, or its process PID has ended.
_jack_up() {
    jack_lsp >/dev/null 2>&1 || ! kill -0 "$1" 2>/dev/null
}

_jack_has_input() {
    jack_lsp 2>/dev/null | grep -qxF "$1:input"
}

# _jack_serve NAME: replaces the shell by the server. Before -d, -r means no
# realtime and -p the port limit; after -d dummy they are the sample rate and
# the period. Without realtime scheduling on a busy machine a client can miss
# its cycle; by default the server then goes on without it, and MIDI messages
# in flight are lost. --sync makes every cycle wait (up to --timeout ms) for
# all clients, so what is sent always arrives, only later.
_jack_serve() {
    exec jackd --no-realtime --sync --timeout 5000 --name "$1" --port-max 64 \
        -d dummy -r 48000 -p 256 -C 0 -P 0 </dev/null
}

# _jack_free NAME: JACK's table of servers has room for eight, and a killed
# server keeps its place until a server of the same name takes it over: start
# it once more and stop it properly. Then remove the shared memory and
# semaphores a killed server leaves in /dev/shm; they carry its name.
_jack_free() {
    local name=$1 pid
    jackd --no-realtime --name "$name" -d dummy -C 0 -P 0 </dev/null >/dev/null 2>&1 &
    pid=$!
    JACK_DEFAULT_SERVER=$name JACK_NO_START_SERVER=1 \
        server_wait_for 10 _jack_up "$pid" || true
    server_end "$pid" TERM || true
    _jack_remove_leftovers "$name"
}

# _jack_free_stale: frees the places in JACK's table of servers that servers
# of these scripts (names zr70d..., zr70t...) hold although no such server
# runs any more, as after a run that was killed with its server.
_jack_free_stale() {
    local name
    [[ -r /dev/shm/jack-shm-registry ]] || return 0
    while read -r name; do
        pgrep -f -- "jackd .*--name $name( |\$)" >/dev/null || _jack_free "$name"
    done < <(strings /dev/shm/jack-shm-registry | sed -nE 's/^jack-[0-9]+:(zr70[dt][A-Za-z0-9]+):$/\1/p')
}

_jack_remove_leftovers() {
    rm -f /dev/shm/*_"$1"_* 2>/dev/null || true
}

# The name is optional.
# shellcheck disable=SC2120
jack_dummy_start() {
    local name=${1:-zr70d$$r$RANDOM}
    if ! command -v jackd >/dev/null || ! command -v jack_lsp >/dev/null; then
        echo "jack_dummy_start: jackd is not installed (Debian package jackd2)" >&2
        return 1
    fi
    export JACK_DEFAULT_SERVER=$name JACK_NO_START_SERVER=1
    _JACK_DUMMY_LOG=$(mktemp "${TMPDIR:-/tmp}/zr70-jackd.XXXXXX") || return 1
    (_jack_serve "$name") >"$_JACK_DUMMY_LOG" 2>&1 &
    JACK_DUMMY_PID=$!
    server_wait_for 10 _jack_up "$JACK_DUMMY_PID"
    if ! kill -0 "$JACK_DUMMY_PID" 2>/dev/null; then
        # Ended at once: the table of servers may be full of ones gone.
        wait "$JACK_DUMMY_PID" 2>/dev/null
        _jack_free_stale
        (_jack_serve "$name") >"$_JACK_DUMMY_LOG" 2>&1 &
        JACK_DUMMY_PID=$!
        server_wait_for 10 _jack_up "$JACK_DUMMY_PID"
    fi
    if ! kill -0 "$JACK_DUMMY_PID" 2>/dev/null || ! jack_lsp >/dev/null 2>&1; then
        echo "jack_dummy_start: server $name did not come up:" >&2
        cat "$_JACK_DUMMY_LOG" >&2
        jack_dummy_stop
        return 1
    fi
}

jack_dump_start() {
    local file=${1:?jack_dump_start: DUMPFILE missing} client=${2:-dump}
    if [[ -z "$JACK_DUMMY_PID" ]]; then
        echo "jack_dump_start: no server; call jack_dummy_start first" >&2
        return 1
    fi
    receiver_start "$file" "$client" _jack_has_input jack_midi_dump
}

jack_dump_stop() { receiver_stop; }

jack_dummy_stop() {
    jack_dump_stop || true
    if [[ -n "$JACK_DUMMY_PID" ]] && ! server_end "$JACK_DUMMY_PID" TERM; then
        _jack_free "$JACK_DEFAULT_SERVER"
    fi
    JACK_DUMMY_PID=
    if [[ -n "${JACK_DEFAULT_SERVER:-}" ]]; then
        _jack_remove_leftovers "$JACK_DEFAULT_SERVER"
    fi
    if [[ -n "$_JACK_DUMMY_LOG" ]]; then
        rm -f "$_JACK_DUMMY_LOG"
        _JACK_DUMMY_LOG=
    fi
    return 0
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -euo pipefail
    case "${1:-}" in
    serve) _jack_serve "${2:?jack-dummy.sh serve NAME}" ;;
    free) _jack_free "${2:?jack-dummy.sh free NAME}" ;;
    free-stale) _jack_free_stale ;;
    clean) _jack_remove_leftovers "${2:?jack-dummy.sh clean NAME}" ;;
    *)
        echo "usage: jack-dummy.sh serve NAME | free NAME (or source it)" >&2
        exit 2
        ;;
    esac
fi
