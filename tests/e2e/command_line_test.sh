#!/usr/bin/env bash
# The command line of the real zr70, without a display: outputs listed, a
# preset sent to a real JACK MIDI receiver (by --output and by the stored
# name), and failures with status 1. Every process started here is stopped
# here, also when a check fails.
#
#   command_line_test.sh <path to zr70> <source dir>
set -uo pipefail

zr70=$(realpath "$1")
source_dir=$(realpath "$2")
# shellcheck source=/dev/null
source "$source_dir/scripts/test-server.sh"
# shellcheck source=/dev/null
source "$source_dir/tests/e2e/common.sh"

root=$(mktemp -d /tmp/zr70-cli.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
ini=$XDG_CONFIG_HOME/zr70.INI
dump=$root/dump.txt

cli_pid=

cleanup() {
    [[ -n "$cli_pid" ]] && kill -KILL "$cli_pid" 2>/dev/null
    [[ -n "$JACK_DUMMY_PID" ]] && kill -CONT "$JACK_DUMMY_PID" 2>/dev/null
    jack_dummy_stop
    rm -rf "$root"
}
trap cleanup EXIT

expected=$(write_live_preset "$root/live.zr")

if ! jack_dummy_start || ! jack_dump_start "$dump"; then
    echo "not ok - JACK did not start"
    exit 1
fi

run --list-outputs
check "--list-outputs without a display ends with status 0 (status $status)" test "$status" = 0
check "--list-outputs lists the receiver as index, tab, name" \
    grep -qE $'^[0-9]+\tJACK: dump:input$' "$root/out"
dump_index=$(sed -nE $'s/^([0-9]+)\tJACK: dump:input$/\\1/p' "$root/out")

run --send "$root/live.zr" --output DUMP
check "--send --output DUMP ends with status 0 (status $status)" test "$status" = 0
check "--send writes nothing on stderr" test ! -s "$root/err"
wait_for_messages 14
check "the receiver got the 14 messages with a selection, in send-all order" \
    test "$(received 1 14)" = "$expected"
check "the settings file was not written" test ! -e "$ini"

# The stored index is wrong; the stored name finds the receiver.
printf '[zr70]\nmididevice=99\nmididevicename=JACK: dump:input\n' >"$ini"
before=$(cat "$ini")
run --send "$root/live.zr"
check "--send to the stored name ends with status 0 (status $status)" test "$status" = 0
wait_for_messages 28
check "the stored name found the receiver" test "$(received 15 14)" = "$expected"
check "the settings file is unchanged" test "$(cat "$ini")" = "$before"

run --send "$root/live.zr" --output "$dump_index"
wait_for_messages 42
check "--send --output by index reaches the receiver (status $status)" \
    test "$status" = 0 -a "$(received 29 14)" = "$expected"

# --set sends each parameter named, exactly as a pick in the window does.
run --set "Play Mode=Mono"
wait_for_messages 43
check "--set \"Play Mode=Mono\" delivers exactly that message (status $status)" \
    test "$status" = 0 -a "$(received 43 1)" = "$(message 2 1)"
run --set "octave shift=up" "pick. e2=8" --output dump
wait_for_messages 45
check "--set delivers two settings in the order given (status $status)" \
    test "$status" = 0 -a "$(received 44 2)" = "$(message 3 65; echo; message 13 7)"

# A server that refuses the program's first connection (a loaded machine) is
# not taken for a missing one. strace refuses it: the first connection to the
# server's socket, counted in its thread by a run that refuses nothing. (The
# leak checker of a sanitized build cannot run under strace.)
traced=${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0
if [[ "${ZR70_TEST_SERVER:-jackd}" == pipewire ]]; then
    socket=$PIPEWIRE_RUNTIME_DIR/pipewire-0
else
    socket=$(find /dev/shm -maxdepth 1 -name "jack_${JACK_DEFAULT_SERVER}_*_0" | head -n 1)
fi
ASAN_OPTIONS=$traced strace -f -e trace=connect -o "$root/trace" "$zr70" --list-outputs >/dev/null 2>&1
first=$(grep -m 1 -n "sun_path=\"$socket\"" "$root/trace")
thread=${first#*:}
thread=${thread%% *}
nth=$(head -n "${first%%:*}" "$root/trace" | grep -cE "^$thread +connect\(")
ASAN_OPTIONS=$traced timeout -k 5 20 strace -f -e trace=connect \
    -e "inject=connect:error=ECONNREFUSED:when=$nth" -o "$root/trace" \
    "$zr70" --send "$root/live.zr" --output dump >"$root/out" 2>"$root/err"
status=$?
wait_for_messages 59
check "a refused first connection ($nth) is tried again: status 0 and all 14 arrive (status $status)" \
    test "$status" = 0 -a "$(received 46 14)" = "$expected" -a "$(grep -c ECONNREFUSED "$root/trace")" -ge 1

run --send "$root/live.zr" --output no-such-output
check "an unknown --output ends with status 1 (status $status)" test "$status" = 1
check "with one line on stderr" test "$(wc -l <"$root/err")" = 1

# A server that stops answering (SIGSTOP) holds up no command: JACK is given
# about 2 s, and the send ends with a failure.
kill -STOP "$JACK_DUMMY_PID"
run --send "$root/live.zr" --output dump
kill -CONT "$JACK_DUMMY_PID"
check "--send against a stopped JACK server ends with status 1, not hung (status $status)" \
    test "$status" = 1
check "with one line on stderr" test "$(wc -l <"$root/err")" = 1
echo "stderr: $(cat "$root/err")"

# True once no client of the program is left on the server: jackd keeps a
# semaphore for each of its clients in /dev/shm; PipeWire's show as ports.
no_clients() {
    [[ -z "$(find /dev/shm -maxdepth 1 -name "jack_sem.*_${JACK_DEFAULT_SERVER:-}_zr70*")" ]] &&
        ! jack_lsp 2>/dev/null | grep -q '^zr70'
}
wait_for_no_clients() {
    local deadline=$((SECONDS + 10))
    until no_clients || ((SECONDS >= deadline)); do sleep 0.05; done
    no_clients
}

# catches_term <pid>: the process is zr70 by now and handles SIGTERM itself.
# Until then it is a copy of this shell, which catches SIGTERM too, to run its
# EXIT trap: a SIGTERM then would run the cleanup there and end the copy.
catches_term() {
    local mask
    [[ "$(readlink "/proc/$1/exe")" == "$zr70" ]] || return 1
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null) || return 1
    [[ -n "$mask" ]] && (((16#$mask >> 14) & 1))
}

# SIGTERM while the send waits on the stopped server: the send ends as
# asked, says so, and reports the signal in its status (128 + 15).
kill -STOP "$JACK_DUMMY_PID"
"$zr70" --send "$root/live.zr" --output dump >"$root/out" 2>"$root/err" &
cli_pid=$!
deadline=$((SECONDS + 10))
until catches_term "$cli_pid" || ((SECONDS >= deadline)); do sleep 0.02; done
kill -TERM "$cli_pid" 2>/dev/null
deadline=$((SECONDS + 20))
while kill -0 "$cli_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.02; done
kill -KILL "$cli_pid" 2>/dev/null # hung: the check below fails
wait "$cli_pid"
status=$?
cli_pid=
kill -CONT "$JACK_DUMMY_PID"
check "SIGTERM during --send ends it with status 143 (status $status)" test "$status" = 143
check "saying it was ended by the signal" grep -q "ended by signal 15" "$root/err"
grep -q "ended by signal 15" "$root/err" || echo "stderr: $(cat "$root/err")"

# Like a Unix tool: the usage line names the program whatever it was started
# as, lost output is a failure, and a closed pipe ends nothing abruptly.
ln -s "$zr70" "$root/ge"
for started in ge s ''; do
    if [[ $started == ge ]]; then
        first=$("$root/ge" --help | head -n 1)
    else
        first=$(bash -c 'exec -a "$1" "$2" --help' _ "$started" "$zr70" | head -n 1)
    fi
    check "--help started as '$started' says \"Usage: zr70 [options]\" ($first)" \
        test "$first" = "Usage: zr70 [options]"
done
for where in full closed; do
    for what in --list-outputs --help; do
        if [[ $where == full ]]; then
            timeout -k 5 20 "$zr70" "$what" >/dev/full 2>"$root/err"
        else
            timeout -k 5 20 "$zr70" "$what" >&- 2>"$root/err"
        fi
        status=$?
        check "$what with its output $where ends with status 1 and one line (status $status)" \
            test "$status" = 1 -a "$(wc -l <"$root/err")" = 1
    done
done
"$zr70" --list-outputs 2>"$root/err" | true
status=${PIPESTATUS[0]}
check "--list-outputs into a closed pipe ends with status 1, not by SIGPIPE (status $status)" \
    test "$status" = 1
check "and leaves no client of its own on the server" wait_for_no_clients

# A file name is its bytes, whatever they are.
name=$'take\xe9.syx'
run --export-syx "$root/live.zr" "$root/$name"
check "--export-syx to a name that is no UTF-8 writes exactly that name (status $status)" \
    test "$status" = 0 -a -f "$root/$name" -a "$(find "$root" -name 'take*' | wc -l)" = 1

jack_dump_stop
run --send "$root/live.zr" --output dump
check "a send when the receiver has gone ends with status 1 (status $status)" test "$status" = 1
echo "stderr: $(cat "$root/err")"

jack_dummy_stop
run --send "$root/live.zr" --output dump
check "without the server the send ends with status 1, not hung (status $status)" test "$status" = 1

checks_done
