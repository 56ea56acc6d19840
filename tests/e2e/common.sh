# shellcheck shell=bash
# What the whole-program test scripts share. Source it, then:
#
#   check DESCRIPTION COMMAND...
#                   runs COMMAND and prints "ok - DESCRIPTION" or
#                   "not ok - DESCRIPTION"; on a failure it calls
#                   on_failed_check, where the script defines one, to print
#                   what there is to know about it
#   checks_done     checks that the receiver, if one was started
#                   (scripts/server-common.sh), lost no message itself, and
#                   shows what it printed on its standard error; then prints
#                   how many passed and failed; true when none failed
#   launch          starts $zr70 in $root/work, its output in $root/panel.log,
#                   and keeps its process id in panel_pid
#   wait_exit [SECONDS]
#                   waits (10 s unless given) for the panel to end and sets
#                   `status` to its exit status (124 when it did not end in
#                   time, after which it is killed) and `ended_ms` to when it
#                   was seen ending. Runs in the script's own shell: only the
#                   shell that started the panel can collect its status.
#   now_ms          milliseconds of the clock
#
# For the command line, against a receiver printing into $dump:
#
#   run ARGS...     runs $zr70 ARGS, its output in $root/out and $root/err,
#                   and sets `status` (124 when it did not end within 20 s)
#   message PARAMETER VALUE
#                   the message "f0 41 10 70 12 00 00 ii vv cs f7" that sets
#                   a parameter to a value byte
#   write_live_preset FILE
#                   writes a preset into FILE and prints the 14 messages a
#                   send of it is to send, one a line
#   wait_for_messages COUNT
#                   waits (10 s at most) until the receiver has printed COUNT
#                   messages in all; true when it has
#   received FIRST COUNT
#                   COUNT messages the receiver printed, from the FIRST on

# The caller sets zr70, root and dump; status and ended_ms are for the caller.
# shellcheck disable=SC2154,SC2034
passed=0
failed=0
panel_pid=

check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
        passed=$((passed + 1))
    else
        echo "not ok - $what"
        failed=$((failed + 1))
        if declare -F on_failed_check >/dev/null; then
            on_failed_check
        fi
    fi
}

# What the receiver printed falls short through no fault of the program when
# it says that it lost messages itself, as jack_midi_dump does when its ring
# buffer is full on a loaded machine.
receiver_kept_all() {
    if [[ -s "$RECEIVER_ERRORS" ]]; then
        echo "# the receiver's standard error:"
        sed 's/^/#   /' "$RECEIVER_ERRORS"
    fi
    ! receiver_losses >/dev/null
}

checks_done() {
    if [[ -n "${RECEIVER_ERRORS:-}" ]]; then
        check "the receiver lost no message itself" receiver_kept_all
    fi
    echo "$passed passed, $failed failed"
    ((failed == 0))
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

launch() {
    (cd "$root/work" && exec "$zr70") >"$root/panel.log" 2>&1 &
    panel_pid=$!
}

wait_exit() {
    local deadline=$((SECONDS + ${1:-10} * ${ZR70_TEST_TIME_FACTOR:-1}))
    while kill -0 "$panel_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.02; done
    ended_ms=$(now_ms)
    if kill -0 "$panel_pid" 2>/dev/null; then
        kill -9 "$panel_pid"
        wait "$panel_pid" 2>/dev/null
        status=124
    else
        wait "$panel_pid"
        status=$?
    fi
    panel_pid=
}

# PipeWire's libjack itself now and then prints a failed check of its own when
# a port closes while a cycle runs ("'mb != NULL' failed at
# .../pipewire-jack.c:... jack_midi_clear_buffer()"); that line is not the
# program's.
run() {
    timeout -k 5 20 "$zr70" "$@" >"$root/out" 2>"$root/err"
    status=$?
    sed -i "/^'mb != NULL' failed at .*pipewire-jack\.c/d" "$root/err"
}

message() {
    local index=$1 value=$2
    printf 'f0 41 10 70 12 00 00 %02x %02x %02x f7' "$index" "$value" \
        $(((128 - (index + value) % 128) % 128))
}

# write_preset FILE BYTE...: a preset file of the selection bytes given, in
# file order (5 1 4 0 2 3 6 14 8 9 10 11 12 13 7), and the trailer.
write_preset() {
    local file=$1 byte
    shift
    : >"$file"
    for byte in "$@"; do printf '%b' "\\x$(printf %02x "$byte")" >>"$file"; done
    printf '\n--- Korvan ZR70 Preset File ---' >>"$file"
}

# Midi channel 10, Octave shift Up, and no selection for Bender Thin, which is
# therefore not sent.
write_live_preset() {
    local pair
    write_preset "$1" 1 2 255 9 1 2 1 1 0 1 2 5 6 7 3
    for pair in 0:9 1:2 2:1 3:65 5:1 6:1 7:3 14:1 8:0 9:1 10:2 11:5 12:6 13:7; do
        message "${pair%:*}" "${pair#*:}"
        echo
    done
}

message_lines() { grep -cE '^ *[0-9]+: f0 ' "$dump" 2>/dev/null; }

wait_for_messages() {
    local count=$1 deadline=$((SECONDS + 10 * ${ZR70_TEST_TIME_FACTOR:-1}))
    while (($(message_lines) < count)) && ((SECONDS < deadline)); do sleep 0.05; done
    (($(message_lines) >= count))
}

received() {
    sed -nE 's/^ *[0-9]+: (f0 .* f7) *$/\1/Ip' "$dump" | tr 'A-F' 'a-f' | tail -n +"$1" | head -n "$2"
}
