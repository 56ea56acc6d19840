#!/usr/bin/env bash
# Keeps `zr70 --help` and the manual page in step: every long option the help
# names is described in the manual page's OPTIONS section, and every option
# described there is in the help.
#
#   help_and_manual_test.sh <zr70> <manual page source>
set -uo pipefail
zr70=$1
manual=$2

options() { grep -oE -- '--[a-z][a-z-]*' | LC_ALL=C sort -u; }

if ! help=$("$zr70" --help); then
    echo "not ok - zr70 --help failed"
    exit 1
fi
help_options=$(options <<<"$help")
# The OPTIONS section, with roff's \- read as a hyphen.
manual_options=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$manual" | sed 's/\\-/-/g' | options)

failed=0
for option in $help_options; do
    grep -qxF -- "$option" <<<"$manual_options" && continue
    echo "not ok - $option is in zr70 --help but not in the manual page's OPTIONS"
    failed=$((failed + 1))
done
for option in $manual_options; do
    grep -qxF -- "$option" <<<"$help_options" && continue
    echo "not ok - $option is in the manual page's OPTIONS but not in zr70 --help"
    failed=$((failed + 1))
done
if [[ -z $help_options ]]; then
    echo "not ok - zr70 --help names no option"
    failed=$((failed + 1))
fi
echo "$(wc -w <<<"$help_options") options in the help, $failed failed"
((failed == 0))
