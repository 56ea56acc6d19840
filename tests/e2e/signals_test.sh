#!/usr/bin/env bash
# Whole-program tests of how the panel ends: on SIGTERM, SIGINT and SIGHUP it
# closes its port and JACK clients as Escape does, so the server never has to
# time a dead client out; against a JACK server that stopped answering
# (SIGSTOP) it still starts and still ends. Prints, beside the checks, how
# long the next JACK client takes after each way of ending. Every process
# started here is stopped here, also when a check fails.
#
#   signals_test.sh <path to zr70> <source dir>
set -uo pipefail

zr70=$(realpath "$1")
source_dir=$(realpath "$2")
source "$source_dir/scripts/test-server.sh"
source "$source_dir/tests/e2e/x11.sh"
source "$source_dir/tests/e2e/common.sh"

root=$(mktemp -d /tmp/zr70-signals.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$root/work"
export JACK_DUMMY_LOG=$root/jackd.log
main_title='^Korvan Zr70 Control Pannel$'
box_title='^zr70$'

cleanup() {
    [[ -n "$panel_pid" ]] && kill -9 "$panel_pid" 2>/dev/null
    [[ -n "$JACK_DUMMY_PID" ]] && kill -CONT "$JACK_DUMMY_PID" 2>/dev/null
    jack_dummy_stop
    xvfb_stop
    rm -rf "$root"
}
trap cleanup EXIT

# The server keeps a semaphore in /dev/shm for each of its clients until the
# client closes, or until the server has given up on a client that died.
panel_clients() {
    find /dev/shm -maxdepth 1 -name "jack_sem.*_${JACK_DEFAULT_SERVER:-}_zr70*" -printf '%f\n'
}
no_panel_clients() {
    [[ -z "$(panel_clients)" ]] && ! jack_lsp 2>/dev/null | grep -q '^zr70'
}

# The panel's output is connected to the receiver.
connected() {
    jack_lsp -c 2>/dev/null | awk '/^zr70-[0-9]+:/ {out = 1; next} /^[^ ]/ {out = 0}
        out && $1 == "dump:input" {found = 1} END {exit !found}'
}

# Milliseconds the next JACK client takes to connect, list the ports and go.
next_client_ms() {
    local start
    start=$(now_ms)
    jack_lsp >/dev/null 2>&1
    echo $(($(now_ms) - start))
}

write_default_preset() {
    write_preset "$root/work/default.zr" 1 2 0 9 1 2 1 1 0 1 2 5 6 7 3
}

# JACK's table of servers has eight places, which other runs may hold for a
# moment.
start_server() {
    local attempt
    for attempt in 1 2 3 4 5; do
        # shellcheck disable=SC2119 # the server takes a name of its own
        jack_dummy_start && jack_dump_start "$root/dump.txt" && return 0
        jack_dummy_stop
        sleep "$attempt"
    done
    return 1
}

xvfb_start || exit 1
start_server || { echo "not ok - JACK did not start"; exit 1; }
write_default_preset

# --- each way of ending, against a running server ---------------------------
# ends_panel <how>: Escape, or a signal name; sets `next` to the next client's
# time.
ends_panel() {
    local how=$1 main box
    launch
    if [[ $how == HUP ]]; then
        # With the start-up message in front of the window: the box and the
        # window close alike.
        box=$(window_wait "$box_title" 15)
        check "the start-up message shows before SIGHUP" test -n "$box"
    else
        main=$(window_wait "$main_title" 15)
        check "the window shows before $how" test -n "$main"
        check "the output is connected before $how" wait_for 10 connected
    fi
    if [[ $how == Escape ]]; then
        keys_to "$main" Escape
    elif [[ $how == TERM+HUP ]]; then
        kill -TERM "$panel_pid"
        kill -HUP "$panel_pid"
    else
        kill "-$how" "$panel_pid"
    fi
    wait_exit 15
    check "$how ends the panel with status 0 (status $status)" test "$status" = 0
    check "after $how the server holds none of the panel's clients ($(panel_clients | tr '\n' ' '))" \
        no_panel_clients
    next=$(next_client_ms)
    if [[ $how == Escape ]]; then
        cp "$XDG_CONFIG_HOME/zr70.INI" "$root/closed.INI"
    else
        check "after $how the settings file reads as after Escape" \
            cmp -s "$XDG_CONFIG_HOME/zr70.INI" "$root/closed.INI"
        check "after $how no file is left beside it" \
            test "$(find "$XDG_CONFIG_HOME" "$root/work" -type f ! -name default.zr | wc -l)" = 1
    fi
}

ends_panel Escape
after_escape=$next
for how in TERM INT HUP TERM+HUP QUIT USR1 USR2 ALRM; do
    [[ $how == HUP ]] && rm -f "$root/work/default.zr"
    ends_panel "$how"
    [[ $how == HUP ]] && write_default_preset
    echo "# next JACK client after $how: $next ms, after Escape: $after_escape ms"
done

# --- a request to end while the panel starts --------------------------------
# As soon as its JACK client is there (on jackd its semaphore shows), or, on
# PipeWire, as soon as the panel's window takes SIGTERM itself (before, the
# process is a copy of this shell, or the program about to start the window).
takes_term() {
    local mask
    [[ "$(readlink "/proc/$panel_pid/exe")" == */zr70-panel ]] || return 1
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$panel_pid/status" 2>/dev/null) || return 1
    [[ -n "$mask" ]] && (((16#$mask >> 14) & 1))
}
started_enough() {
    if [[ "${ZR70_TEST_SERVER:-jackd}" == jackd ]]; then
        [[ -n "$(panel_clients)" ]]
    else
        takes_term
    fi
}
launch
deadline=$((SECONDS + 15))
until started_enough || ((SECONDS >= deadline)); do sleep 0.005; done
kill -TERM "$panel_pid"
wait_exit 15
check "SIGTERM while the panel starts ends it with status 0 (status $status)" test "$status" = 0
check "and leaves none of its clients ($(panel_clients | tr '\n' ' '))" no_panel_clients

# --- a server that stopped answering ----------------------------------------
kill -STOP "$JACK_DUMMY_PID"
started=$(now_ms)
launch
# Without an ALSA sequencer there is no output left, and the message says so.
window=$(window_wait "$main_title|$box_title" 20)
check "against a stopped server the panel still shows a window" test -n "$window"
echo "# a window shows $(($(now_ms) - started)) ms after the start against a stopped server"
keys_to "$window" Escape
wait_exit 15
check "Escape then ends it with status 0 (status $status)" test "$status" = 0
kill -CONT "$JACK_DUMMY_PID"

# The server stops while the panel runs: a pick sends, SIGTERM must still end
# the panel, whose close waits no more than about 2 s.
launch
main=$(window_wait "$main_title" 15)
wait_for 10 connected
kill -STOP "$JACK_DUMMY_PID"
keys_to "$main" Down Down Down
signalled=$(now_ms)
kill -TERM "$panel_pid"
wait_exit 15
check "after picks, SIGTERM ends it with status 0 (status $status)" test "$status" = 0
echo "# SIGTERM with a stopped server: the panel ended after $((ended_ms - signalled)) ms"
kill -CONT "$JACK_DUMMY_PID"

checks_done
