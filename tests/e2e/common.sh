# shellcheck shell=bash
# What the whole-program test scripts share. Source it, then:
#
#   check DESCRIPTION COMMAND...
#                   runs COMMAND and prints "ok - DESCRIPTION" or
#                   "not ok - DESCRIPTION"; on a failure it calls
#                   on_failed_check, where the script defines one, to print
#                   what there is to know about it
#   checks_done     prints how many passed and failed; true when none failed
#   launch          starts $zr70 in $root/work, its output in $root/panel.log,
#                   and keeps its process id in panel_pid
#   wait_exit [SECONDS]
#                   waits (10 s unless given) for the panel to end and sets
#                   `status` to its exit status (124 when it did not end in
#                   time, after which it is killed) and `ended_ms` to when it
#                   was seen ending. Runs in the script's own shell: only the
#                   shell that started the panel can collect its status.
#   now_ms          milliseconds of the clock

# The caller sets zr70 and root; status and ended_ms are for the caller.
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

checks_done() {
    echo "$passed passed, $failed failed"
    ((failed == 0))
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

launch() {
    (cd "$root/work" && exec "$zr70") >"$root/panel.log" 2>&1 &
    panel_pid=$!
}

wait_exit() {
    local deadline=$((SECONDS + ${1:-10}))
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
