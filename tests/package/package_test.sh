#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built as a user meets it:
# lintian finds no error in it; apt installs it with what it depends on; the
# program runs from PATH; it brings every file a desktop, man and bash look
# for; the panel starts from its desktop entry's Exec line on a private X
# server; and a purge leaves no file of it behind.
#
# It installs and purges the package system-wide (as root, or with sudo), so
# CI runs it on its own, after the other tests, and not under CTest. A zr70
# package installed before is purged first.
#
#   tests/package/package_test.sh [folder with the package]   default: out/
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
out=${1:-$source_dir/out}
# shellcheck disable=SC1091 # sourced from the tree under test
source "$source_dir/tests/e2e/common.sh"
# shellcheck disable=SC1091
source "$source_dir/tests/e2e/x11.sh"

debs=("$out"/zr70_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
    echo "not ok - one zr70_*.deb in $out (bash scripts/package.sh builds it)"
    exit 1
fi
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)
upstream_version=${version%-*}
changes=${deb%.deb}.changes

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
apt() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@"; }
installed() { [[ $(dpkg-query -W -f='${Status}' zr70 2>/dev/null) == "install ok installed" ]]; }

root=$(mktemp -d /tmp/zr70-package-test.XXXXXX)
panel_pid=
cleanup() {
    [[ -n "$panel_pid" ]] && kill -KILL "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
    xvfb_stop
    # A failed run leaves the system as it found it.
    installed && apt purge zr70 >/dev/null 2>&1
    rm -rf "$root"
}
trap cleanup EXIT
on_failed_check() { [[ -s "$root/log" ]] && sed 's/^/# /' "$root/log"; }

# lintian: the .changes covers the package, its debug symbols and the
# .buildinfo. Warnings it prints stay visible; an error fails.
lint_target=$deb
[[ -f "$changes" ]] && lint_target=$changes
lint() {
    lintian --fail-on error --display-info --show-overrides "$lint_target" >"$root/log" 2>&1
    local status=$?
    grep -v '^running with root privileges' "$root/log" | sed 's/^/# lintian: /'
    return "$status"
}
check "lintian finds no error in $(basename "$lint_target")" lint

if installed; then
    echo "# zr70 $(dpkg-query -W -f='${Version}' zr70) is installed: purging it first"
    apt purge zr70 >/dev/null
fi
install_package() { apt install "$deb" >"$root/log" 2>&1 && installed; }
check "apt-get installs $(basename "$deb") and what it depends on" install_package
installed || { checks_done; exit 1; }

system_path=/usr/sbin:/usr/bin:/sbin:/bin
check "zr70 --version runs from PATH" \
    test "$(PATH=$system_path zr70 --version 2>"$root/log")" = "zr70 $upstream_version"

files=(
    /usr/bin/zr70
    /usr/libexec/zr70/zr70-panel
    /usr/share/applications/org.example.zr70.desktop
    /usr/share/metainfo/org.example.zr70.metainfo.xml
    /usr/share/man/man1/zr70.1.gz
    /usr/share/bash-completion/completions/zr70
)
for size in 16 32 48 64 128; do
    files+=("/usr/share/icons/hicolor/${size}x${size}/apps/zr70.png")
done
dpkg -L zr70 >"$root/files"
in_package() { grep -qxF "$1" "$root/files" && test -s "$1"; }
for file in "${files[@]}"; do
    check "the package installs $file" in_package "$file"
done
check "bash-completion loads the completion when zr70 is first completed" \
    test "$(bash --norc --noprofile -c 'source /usr/share/bash-completion/bash_completion
        _completion_loader zr70; complete -p zr70' 2>/dev/null)" = "complete -F _zr70 zr70"

# The panel as a desktop starts it: the entry's Exec line without its field
# codes, in a private home, on a private X server. Without a MIDI output it
# says so in a box titled "zr70"; with one it shows its window. Either shows
# that it started.
start_from_desktop_entry() {
    local exec_line argv
    exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.example.zr70.desktop | head -n 1)
    read -ra argv <<<"${exec_line//%[fFuUdDnNickvm]/}"
    mkdir -p "$root/home" "$root/config" "$root/work" "$root/run"
    chmod 700 "$root/run"
    # JACK and PipeWire are looked for under names no server here has, so the
    # panel finds no other test's server and starts none.
    (cd "$root/work" && exec env -i PATH=$system_path HOME="$root/home" \
        XDG_CONFIG_HOME="$root/config" XDG_RUNTIME_DIR="$root/run" DISPLAY="$DISPLAY" \
        JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER="zr70-package-test-$$" "${argv[@]}") \
        >"$root/log" 2>&1 &
    panel_pid=$!
    window_wait '^(Korvan Zr70 Control Pannel|zr70)$' 60 >/dev/null
}
if xvfb_start; then
    check "the panel starts from the desktop entry's Exec line" start_from_desktop_entry
    if [[ -n "$panel_pid" ]]; then
        kill -TERM "$panel_pid" 2>/dev/null
        wait_exit 10
    fi
    xvfb_stop
else
    check "Xvfb starts" false
fi

# Purge, then look for every file and link the package had. A folder may
# stay where another package owns it or it holds files of others.
left_behind() {
    local path found=1
    while IFS= read -r path; do
        [[ -e "$path" || -L "$path" ]] || continue
        if [[ -d "$path" && ! -L "$path" ]]; then
            dpkg-query -S "$path" >/dev/null 2>&1 && continue
            [[ -n "$(ls -A "$path")" ]] && continue
        fi
        echo "# left behind: $path"
        found=0
    done <"$root/files"
    return "$found"
}
purge_package() { apt purge zr70 >"$root/log" 2>&1 && ! installed; }
check "apt-get purges the package" purge_package
nothing_left_behind() { ! left_behind; }
check "the purge leaves no file of the package behind" nothing_left_behind

checks_done
