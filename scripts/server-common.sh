# shellcheck shell=bash
# What the scripts around a test's server share: scripts/jack-dummy.sh,
# scripts/pipewire-private.sh and scripts/alsa-seq.sh source this file, and so
# do the scripts that load the machine. It offers:
#
#   server_wait_for SECONDS COMMAND...
#                   runs COMMAND every 20 ms until it succeeds, for SECONDS of
#                   the clock times ZR70_TEST_TIME_FACTOR (1 unless set): in
#                   an emulated machine each start of a program takes a good
#                   part of that, and a count of tries would not tell
#   server_end PID SIGNAL
#                   sends SIGNAL to PID, then SIGCONT (a stopped process takes
#                   no other), waits as server_wait_for 5 does for it to end,
#                   then kills it and returns 1
#   receiver_start DUMPFILE CLIENT HAS_INPUT PROGRAM...
#                   starts PROGRAM... CLIENT, its output into DUMPFILE and its
#                   standard error into DUMPFILE.err (RECEIVER_ERRORS, kept
#                   after it stops), and waits until HAS_INPUT CLIENT says
#                   that its port CLIENT:input is there; RECEIVER_PID is its
#                   process id
#   receiver_stop   stops it (SIGINT, as jack_midi_dump expects), returning 1
#                   when it had to be killed
#   receiver_losses prints the lines of its standard error in which the
#                   receiver says that it lost messages itself (then what it
#                   printed falls short through no fault of the sender); true
#                   when there is one
#   busy_loops_start COUNT, busy_loops_stop
#                   start and stop COUNT processes that only keep a CPU busy;
#                   they also die with the shell that started them

RECEIVER_PID=${RECEIVER_PID:-}
RECEIVER_ERRORS=${RECEIVER_ERRORS:-}
[[ -v _BUSY_LOOP_PIDS ]] || _BUSY_LOOP_PIDS=()

server_wait_for() {
    local deadline=$((SECONDS + $1 * ${ZR70_TEST_TIME_FACTOR:-1}))
    shift
    while ((SECONDS <= deadline)); do
        "$@" && return 0
        sleep 0.02
    done
    return 1
}

_server_ended() { ! kill -0 "$1" 2>/dev/null; }

server_end() {
    local pid=$1
    [[ -n "$pid" ]] || return 0
    kill "-$2" "$pid" 2>/dev/null || return 0
    kill -CONT "$pid" 2>/dev/null || true
    server_wait_for 5 _server_ended "$pid" || true
    if kill -KILL "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null || true
        return 1
    fi
    wait "$pid" 2>/dev/null || true
}

receiver_start() {
    local file=$1 client=$2 has_input=$3
    shift 3
    RECEIVER_ERRORS=$file.err
    "$@" "$client" </dev/null >"$file" 2>"$RECEIVER_ERRORS" &
    RECEIVER_PID=$!
    if ! server_wait_for 10 "$has_input" "$client"; then
        echo "${FUNCNAME[1]}: $client:input did not appear" >&2
        cat "$RECEIVER_ERRORS" >&2
        receiver_stop
        return 1
    fi
}

receiver_stop() {
    local status=0
    server_end "$RECEIVER_PID" INT || status=$?
    RECEIVER_PID=
    return "$status"
}

# jack_midi_dump: "Error: ringbuffer was full, skipping event." and "Error:
# MIDI message was too large, skipping event. ..."; zr70_alsa_dump: "the
# sequencer dropped events".
receiver_losses() {
    [[ -n "$RECEIVER_ERRORS" ]] && grep -E 'skipping event|dropped events' "$RECEIVER_ERRORS" 2>/dev/null
}

busy_loops_start() {
    local count
    for ((count = 0; count < $1; count++)); do
        setpriv --pdeathsig KILL -- sh -c 'while :; do :; done' &
        _BUSY_LOOP_PIDS+=($!)
    done
}

busy_loops_stop() {
    local pid
    for pid in "${_BUSY_LOOP_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    _BUSY_LOOP_PIDS=()
}
