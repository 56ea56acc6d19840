#!/usr/bin/env bash
# Drives zr70's bash completion as bash does on Tab: the line is split into
# COMP_WORDS as bash splits it (at blanks and at each colon outside quotes),
# the completion function runs, and COMPREPLY must hold what the table says.
# Every case runs twice: with bash-completion's helpers loaded, where they are
# installed, and without them. The MIDI outputs come from a stand-in zr70 on
# PATH, so no MIDI system is needed.
#
#   completion_test.sh <completion file>
set -uo pipefail
completion=$(realpath "$1")

# LINE | what COMPREPLY holds, sorted, entries separated by ";"
cases=(
    'zr70 -|--edit;--export-syx;--help;--import-syx;--list-outputs;--list-parameters;--send;--set;--show;--version'
    'zr70 --se|--send;--set'
    'zr70 --send |B.ZR;a.zr;sets'
    'zr70 --send a|a.zr'
    'zr70 --send sets/|sets/inner.zr'
    'zr70 --send a.zr |--output'
    'zr70 --send a.zr --output 1 |'
    'zr70 --send a.zr --output |ALSA:\ Midi\ Through\ Port-0;JACK:\ dump:input'
    'zr70 --send a.zr --output J|JACK:\ dump:input'
    'zr70 --send a.zr --output JACK:|\ dump:input'
    'zr70 --send a.zr --output JACK:\ d|\ dump:input'
    "zr70 --send a.zr --output 'JACK: d|JACK: dump:input"
    'zr70 --send a.zr --output "ALSA|ALSA: Midi Through Port-0'
    'zr70 --send a.zr --output X|'
    'zr70 --export-syx |B.ZR;a.zr;sets'
    'zr70 --export-syx a.zr |D.SYX;c.syx;sets'
    'zr70 --export-syx a.zr c.syx |'
    'zr70 --import-syx |D.SYX;c.syx;sets'
    'zr70 --import-syx c.syx |B.ZR;a.zr;sets'
    'zr70 --list-outputs |'
    'zr70 --show |B.ZR;D.SYX;a.zr;c.syx;sets'
    'zr70 --set |Master\ Tune=;Pick.\ E1=;Play\ Mode='
    'zr70 --set pl|Play\ Mode='
    'zr70 --set Play\ Mode=|Mono;Poly'
    'zr70 --set playmode=m|Mono'
    'zr70 --set 14=|440.0\ Hz;442.0\ Hz'
    'zr70 --set "Master Tune=44|Master Tune=440.0 Hz;Master Tune=442.0 Hz'
    'zr70 --set pick.\ e1=1 -|--output'
    'zr70 --set volume=|'
    'zr70 --edit |B.ZR;a.zr;sets'
    'zr70 --edit a.zr p|Pick.\ E1=;Play\ Mode='
)

# split LINE: COMP_WORDS, COMP_CWORD, COMP_LINE and COMP_POINT as bash sets
# them with the cursor at the end of LINE.
split() {
    local line=$1 word='' quote='' escaped=0 char i
    COMP_WORDS=()
    for ((i = 0; i < ${#line}; i++)); do
        char=${line:i:1}
        if ((escaped)); then
            word+=$char escaped=0
        elif [[ -n $quote ]]; then
            word+=$char
            [[ $char == "$quote" ]] && quote=''
        else
            case $char in
            \\) word+=$char escaped=1 ;;
            \' | \") word+=$char quote=$char ;;
            ' ')
                [[ -n $word ]] && COMP_WORDS+=("$word")
                word=''
                ;;
            :)
                [[ -n $word ]] && COMP_WORDS+=("$word")
                COMP_WORDS+=(:)
                word=''
                ;;
            *) word+=$char ;;
            esac
        fi
    done
    if [[ -n $word || $line == *' ' ]]; then
        COMP_WORDS+=("$word")
    fi
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
}

# run_cases: every case in this shell; prints one line per case, and counts.
run_cases() {
    local passed=0 failed=0 entry line expected got
    # shellcheck source=/dev/null
    source "$completion"
    for entry in "${cases[@]}"; do
        line=${entry%|*}
        expected=${entry##*|}
        split "$line"
        COMPREPLY=()
        _zr70 zr70 "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ';')
        if [[ "$got" == "$expected" ]]; then
            echo "ok - $1: [$line]"
            passed=$((passed + 1))
        else
            echo "not ok - $1: [$line] gave [$got], not [$expected]"
            failed=$((failed + 1))
        fi
    done
    echo "$1: $passed passed, $failed failed"
    ((failed == 0))
}

if [[ "${2:-}" == --run ]]; then
    cd "$4" || exit 1
    if [[ $3 == bash-completion ]]; then
        # shellcheck source=/dev/null
        source /usr/share/bash-completion/bash_completion
    fi
    run_cases "$3"
    exit
fi

root=$(mktemp -d /tmp/zr70-completion.XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/files/sets"
cat >"$root/bin/zr70" <<'EOF'
#!/bin/sh
case $1 in
--list-outputs) printf '0\tALSA: Midi Through Port-0\n1\tJACK: dump:input\n' ;;
--list-parameters) printf '2\tPlay Mode\tPoly\tMono\n8\tPick. E1\t1\t2\n14\tMaster Tune\t440.0 Hz\t442.0 Hz\n' ;;
esac
EOF
chmod +x "$root/bin/zr70"
touch "$root/files/"{a.zr,B.ZR,c.syx,D.SYX,e.txt} "$root/files/sets/inner.zr"
export PATH="$root/bin:$PATH"

modes=(plain)
if [[ -r /usr/share/bash-completion/bash_completion ]]; then
    modes+=(bash-completion)
else
    echo "# bash-completion is not installed: the cases run without its helpers only"
fi
status=0
for mode in "${modes[@]}"; do
    bash --norc --noprofile "$0" "$completion" --run "$mode" "$root/files" || status=1
done
exit "$status"
