# shellcheck shell=bash
# A private headless PipeWire instance (no sound hardware, no D-Bus, no
# session manager) and a jack_midi_dump receiver on it, for end-to-end runs
# and demos. Source this file, then:
#
#   pw_private_start            start an instance in a fresh runtime folder
#                               and export what selects it (XDG_RUNTIME_DIR,
#                               PIPEWIRE_RUNTIME_DIR, PIPEWIRE_REMOTE) and
#                               LD_LIBRARY_PATH with PipeWire's libjack first,
#                               so that every JACK client started from this
#                               shell uses it
#   pw_dump_start DUMPFILE [CLIENT]
#                               start jack_midi_dump (client "dump" unless
#                               given), printing one line per message into
#                               DUMPFILE and its errors into DUMPFILE.err;
#                               waits for its port CLIENT:input
#   pw_dump_stop                stop the receiver (SIGINT, by its process id:
#                               it does not end when the server goes)
#   pw_private_stop             stop the receiver and the instance, remove the
#                               runtime folder, restore the environment
#
# Every function returns nonzero on failure and prints why on stderr. The
# waits, the ends of processes and the receiver are those of
# scripts/server-common.sh. PipeWire's
# libjack ignores JACK_DEFAULT_SERVER: instances are kept apart by their
# runtime folder (socket "pipewire-0" in it). Callers should
# `trap pw_private_stop EXIT` so nothing is left behind.
#
# Run as a command:
#
#   pipewire-private.sh serve FOLDER
#                               become an instance (exec pipewire) whose
#                               runtime folder is FOLDER/run, for a caller
#                               that owns the process and the folder, and
#                               selects the instance for its JACK clients with
#                               XDG_RUNTIME_DIR=FOLDER/run

PW_PRIVATE_PID=${PW_PRIVATE_PID:-}
PW_PRIVATE_DIR=${PW_PRIVATE_DIR:-}
PW_JACK_LIBDIR=${PW_JACK_LIBDIR:-}
_PW_SAVED_ENV=()

_pw_dir=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/server-common.sh
source "$_pw_dir/server-common.sh"

# jack_lsp of PipeWire's libjack waits for ever when the server has stopped
# answering; every probe is bounded.
_pw_answers() {
    timeout 2 jack_lsp >/dev/null 2>&1
}

_pw_has_input() {
    timeout 2 jack_lsp 2>/dev/null | grep -qxF "$1:input"
}

# The folder of PipeWire's libjack (Debian: .../pipewire-0.3/jack).
_pw_jack_libdir() {
    local dir
    for dir in /usr/lib/*/pipewire-0.3/jack /usr/lib*/pipewire-0.3/jack; do
        if [[ -e "$dir/libjack.so.0" ]]; then
            printf '%s\n' "$dir"
            return 0
        fi
    done
    return 1
}

# The clock runs at PipeWire's own default quantum, 1024 frames at 48 kHz
# (21 ms), as on a desktop. PipeWire has no sync mode: a client that misses its
# cycle loses what that cycle carried, which on a loaded machine happens far
# more often with short cycles.
_pw_write_config() {
    cat >"$1" <<'EOF'
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 48000
    default.clock.quantum = 1024
    default.clock.min-quantum = 1024
    default.clock.max-quantum = 1024
    log.level = 2
    mem.allow-mlock = false
}
context.spa-libs = {
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    # Without it clients get no permissions and every JACK call waits.
    { name = libpipewire-module-access }
]
context.objects = [
    { factory = spa-node-factory
        args = {
            factory.name = support.node.driver
            node.name = Dummy-Driver
            node.group = pipewire.dummy
            priority.driver = 20000
        }
    }
]
EOF
}

_pw_export() {
    local name
    for name in XDG_RUNTIME_DIR PIPEWIRE_RUNTIME_DIR PIPEWIRE_REMOTE LD_LIBRARY_PATH; do
        if [[ -v $name ]]; then
            _PW_SAVED_ENV+=("$name=${!name}")
        else
            _PW_SAVED_ENV+=("$name")
        fi
    done
    export XDG_RUNTIME_DIR=$PW_PRIVATE_DIR/run
    export PIPEWIRE_RUNTIME_DIR=$PW_PRIVATE_DIR/run
    export PIPEWIRE_REMOTE=pipewire-0
    export LD_LIBRARY_PATH=$PW_JACK_LIBDIR${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
}

_pw_restore() {
    local entry
    for entry in "${_PW_SAVED_ENV[@]}"; do
        if [[ "$entry" == *=* ]]; then
            export "${entry%%=*}=${entry#*=}"
        else
            unset "$entry"
        fi
    done
    _PW_SAVED_ENV=()
}

# _pw_serve FOLDER: replaces the shell by an instance on FOLDER/run.
_pw_serve() {
    mkdir -p "$1/run"
    chmod 0700 "$1/run"
    _pw_write_config "$1/pipewire.conf"
    export XDG_RUNTIME_DIR=$1/run PIPEWIRE_RUNTIME_DIR=$1/run
    exec pipewire -c "$1/pipewire.conf" </dev/null
}

pw_private_start() {
    if [[ -n "$PW_PRIVATE_PID" ]]; then
        echo "pw_private_start: an instance runs already (pid $PW_PRIVATE_PID)" >&2
        return 1
    fi
    if ! command -v pipewire >/dev/null || ! command -v jack_lsp >/dev/null ||
        ! PW_JACK_LIBDIR=$(_pw_jack_libdir); then
        echo "pw_private_start: PipeWire is not installed (Debian packages pipewire, pipewire-jack, jackd2)" >&2
        return 1
    fi
    PW_PRIVATE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/zr70pw.XXXXXX") || return 1
    mkdir -m 0700 "$PW_PRIVATE_DIR/run"
    _pw_write_config "$PW_PRIVATE_DIR/pipewire.conf"
    _pw_export
    PW_PRIVATE_LOG=$PW_PRIVATE_DIR/pipewire.log
    pipewire -c "$PW_PRIVATE_DIR/pipewire.conf" </dev/null >"$PW_PRIVATE_LOG" 2>&1 &
    PW_PRIVATE_PID=$!
    if ! server_wait_for 10 _pw_answers; then
        echo "pw_private_start: PipeWire did not come up:" >&2
        cat "$PW_PRIVATE_LOG" >&2
        pw_private_stop
        return 1
    fi
}

pw_dump_start() {
    local file=${1:?pw_dump_start: DUMPFILE missing} client=${2:-dump}
    if [[ -z "$PW_PRIVATE_PID" ]]; then
        echo "pw_dump_start: no instance; call pw_private_start first" >&2
        return 1
    fi
    receiver_start "$file" "$client" _pw_has_input jack_midi_dump
}

pw_dump_stop() { receiver_stop || true; }

pw_private_stop() {
    pw_dump_stop
    server_end "$PW_PRIVATE_PID" TERM || true
    PW_PRIVATE_PID=
    if [[ -n "$PW_PRIVATE_DIR" ]]; then
        rm -rf "$PW_PRIVATE_DIR"
        PW_PRIVATE_DIR=
    fi
    _pw_restore
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -euo pipefail
    case "${1:-}" in
    serve) _pw_serve "${2:?pipewire-private.sh serve FOLDER}" ;;
    *)
        echo "usage: pipewire-private.sh serve FOLDER (or source it)" >&2
        exit 2
        ;;
    esac
fi
