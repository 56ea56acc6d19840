#!/usr/bin/env bash
# Builds the panel and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# The project's own builds hold the code to no warnings at all and build every
# test (a missing test library fails the configuration rather than leaving its
# tests out), and the normal one the benchmarks too.
build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DZR70_WERROR=ON -DZR70_BENCHMARKS=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
    build="build-asan"
    options=(-DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DZR70_WERROR=ON -DZR70_SANITIZE=ON
        -DZR70_BENCHMARKS=OFF)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build"
cd "$build"
# The tests against real servers (a private JACK server, Xvfb, the whole
# program) run three times, beside each other, so that one that fails now and
# then fails here rather than for a user.
real_servers='OnServer|OnJack|^e2e\.'
jobs=$(nproc)
ctest --output-on-failure --no-tests=error --timeout 300 -j"$jobs" -E "$real_servers"
ctest --output-on-failure --no-tests=error --timeout 300 -j"$jobs" -R "$real_servers" --repeat until-fail:3
