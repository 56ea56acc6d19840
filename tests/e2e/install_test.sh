#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs:
# the program, a valid launcher entry, valid AppStream data, the icons, the
# manual page and the Tab completion.
#
#   install_test.sh <build dir>
set -uo pipefail
build=$1
prefix=$(mktemp -d /tmp/zr70-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
failed=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok - $what"; else echo "not ok - $what"; failed=$((failed + 1)); fi
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "not ok - cmake --install"; exit 1; }
share=$prefix/share
check "the program is installed" test -x "$prefix/bin/zr70"
check "the panel's window is installed where the program finds it" \
    test -x "$prefix/libexec/zr70/zr70-panel"
# Without it the program says so in one line, and ends with status 1.
mv "$prefix/libexec/zr70/zr70-panel" "$prefix/zr70-panel.away"
missing=$(DISPLAY='' "$prefix/bin/zr70" 2>&1)
status=$?
check "a missing window gives one line and status 1 ($status: $missing)" \
    test "$status" = 1 -a "$(wc -l <<<"$missing")" = 1
mv "$prefix/zr70-panel.away" "$prefix/libexec/zr70/zr70-panel"
check "the launcher entry is valid" desktop-file-validate "$share/applications/org.example.zr70.desktop"
check "the AppStream metainfo is valid" \
    appstreamcli validate --no-net --pedantic "$share/metainfo/org.example.zr70.metainfo.xml"
check "the manual page is installed" test -s "$share/man/man1/zr70.1"
check "the Tab completion is installed" test -s "$share/bash-completion/completions/zr70"
for size in 16 32 48 64 128; do
    icon=$share/icons/hicolor/${size}x${size}/apps/zr70.png
    check "the ${size}x${size} icon is installed at its size" \
        test "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}"
done
((failed == 0))
