#!/usr/bin/env bash
# Builds the fuzz targets of the preset reader and the SysEx reader with clang
# in build-fuzz/ and runs each for a bounded time; exits non-zero when either
# finds a crash or a broken check.
#   scripts/fuzz.sh [seconds per target]    default 30
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

seconds=${1:-30}
build="build-fuzz"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DZR70_FUZZ=ON -DZR70_WERROR=ON -DBUILD_TESTING=OFF
cmake --build "$build" --target preset_load_fuzz sysex_import_fuzz preset_corpus -j 2

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# fuzz <target> <max_len>: runs the target on its corpus, which grows between
# runs.
fuzz() {
    local corpus="$build/fuzz/corpus-$1" artifacts="$build/fuzz/artifacts-$1"
    mkdir -p "$artifacts"
    "$build/fuzz/$1" -max_total_time="$seconds" -runs=5000000 -max_len="$2" \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
}

# The preset corpus starts with files a save makes, presets of every length
# from 0 to 48 bytes and bytes out of range for their lists, all written by
# preset_corpus.
corpus="$build/fuzz/corpus-preset_load_fuzz"
mkdir -p "$corpus"
"$build/fuzz/preset_corpus" "$corpus"
fuzz preset_load_fuzz 256

# The SysEx corpus starts with two of the converter's messages, another
# maker's message, a bad checksum and a message cut short.
corpus="$build/fuzz/corpus-sysex_import_fuzz"
mkdir -p "$corpus"
printf '\xf0\x41\x10\x70\x12\x00\x00\x03\x41\x3c\xf7\xf0\x41\x10\x70\x12\x00\x00\x0d\x00\x73\xf7' >"$corpus/export.syx"
printf '\xf0\x43\x10\x4c\x00\x00\x7e\x00\xf7\xf0\x41\x10\x70\x12\x00\x00\x00\x09\x76\xf7' >"$corpus/mixed.syx"
printf '\xf0\x41\x10\x70\x12\x00\x00\x00\x09\x75\xf7\xf0\x41\x10\x70\x12' >"$corpus/broken.syx"
fuzz sysex_import_fuzz 1024
