#!/usr/bin/env bash
# Builds the preset reader's fuzz target with clang in build-fuzz/ and runs it
# for a bounded time; exits non-zero when it finds a crash or a broken check.
#   scripts/fuzz.sh [seconds]    default 30
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

seconds=${1:-30}
build="build-fuzz"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DZR70_FUZZ=ON -DZR70_BENCHMARKS=OFF
cmake --build "$build" --target preset_load_fuzz -j 2

# The corpus grows between runs; start it with a saved preset, a short file
# and a file with an out-of-range byte.
corpus="$build/fuzz/corpus"
artifacts="$build/fuzz/artifacts"
mkdir -p "$corpus" "$artifacts"
trailer=$'\n--- Korvan ZR70 Preset File ---'
printf '\x00\x00\x01\x00\x00\x01\x00\x00\x03\x03\x03\x03\x03\x03\x01%s' "$trailer" >"$corpus/default.zr"
printf '\x01\x03\x02' >"$corpus/short.zr"
printf '\x01\x03\x02\x10\x01\x02\x01\x01\x07\x07\x07\x07\x07\x07\xff%s' "$trailer" >"$corpus/range.zr"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$build/fuzz/preset_load_fuzz" -max_total_time="$seconds" -runs=5000000 -max_len=256 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
