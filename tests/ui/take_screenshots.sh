#!/usr/bin/env bash
# Screenshots of the four tabs and the About box at scale 1 and 2, taken from
# real windows on a private X server:
#
#   tests/ui/take_screenshots.sh <build directory> [<output directory>]
#
# Needs Xvfb, xdotool and ImageMagick's import. The output directory defaults
# to docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:?usage: take_screenshots.sh <build directory> [<output directory>]}
out=${2:-docs/screenshots}
preview=$build/tests/ui/ui_preview
[[ -x $preview ]] || { echo "build $preview first" >&2; exit 1; }
preview=$(realpath "$preview")
mkdir -p "$out"

work=$(mktemp -d)
# Xvfb picks a free display itself and tells its number when it is ready.
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
DISPLAY=:$(head -1 "$work/display")
export DISPLAY

# Waits for a window called $1 and writes it to $2.
capture() {
    local id=
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [[ -n $id ]] && break
        sleep 0.1
    done
    [[ -n $id ]] || { echo "no window '$1'" >&2; cat "$work/preview.log" >&2; return 1; }
    sleep 0.5 # let it paint
    import -window "$id" "$2"
}

names=(controls sensitivity presets midi-setup)
for scale in 1 2; do
    suffix=$([[ $scale == 1 ]] && echo "" || echo "@${scale}x")
    for tab in 0 1 2 3; do
        # The preview runs in an empty directory, so there is no default.zr
        # and the lists show the default selections.
        (cd "$work" && QT_SCALE_FACTOR=$scale exec "$preview" --tab $tab 2>>"$work/preview.log") &
        pid=$!
        capture "Korvan Zr70 Control Pannel" "$out/${names[$tab]}$suffix.png"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    done
    (cd "$work" && QT_SCALE_FACTOR=$scale exec "$preview" --about 2>>"$work/preview.log") &
    pid=$!
    capture "About ZR70" "$out/about$suffix.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
# Small files: 8-bit palette, no metadata.
for file in "$out"/*.png; do
    convert "$file" -strip PNG8:"$file"
done
ls -l "$out"
