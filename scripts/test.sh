#!/usr/bin/env bash
# Builds the panel and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --thread-sanitize
#                                the MIDI library's tests alone, on jackd and PipeWire, under
#                                ThreadSanitizer, which makes every thread slow, in build-tsan/
#
# With ZR70_TEST_LOAD=N it runs only the tests against real servers (label
# "realserver"), once, with N processes beside them that keep a CPU busy each,
# standing for a loaded machine; the other tests do not depend on the load.
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
elif [[ "${1:-}" == "--thread-sanitize" ]]; then
    build="build-tsan"
    options=(-DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DZR70_WERROR=ON -DZR70_TSAN=ON
        -DZR70_BENCHMARKS=OFF -DZR70_ALSA_TESTS=OFF)
    export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp"
fi

load=${ZR70_TEST_LOAD:-0}
if [[ ! "$load" =~ ^[0-9]+$ ]]; then
    echo "test.sh: ZR70_TEST_LOAD takes a number of busy processes, not '$load'" >&2
    exit 2
fi
# shellcheck source=scripts/server-common.sh
source scripts/server-common.sh

cmake -S . -B "$build" -G Ninja "${options[@]}"
jobs=$(nproc)
if [[ "$build" == build-tsan ]]; then
    cmake --build "$build" --target midi_tests
    # Only the MIDI folder's tests are built: the other folders' real-server
    # cases are listed only once their executables are. They run one at a
    # time: beside another such test and its servers on two cores, a client
    # slowed this much answered jackd's notifications later than jackd waits
    # for them, and jackd then stopped its driver and took no client any more
    # ("Driver is not running"), and PipeWire's link lost a first message.
    ctest --test-dir "$build/tests/midi" --output-on-failure --no-tests=error --timeout 300 \
        -j1 --repeat until-fail:3
    exit
fi
cmake --build "$build"
cd "$build"
if ((load > 0)); then
    trap busy_loops_stop EXIT
    busy_loops_start "$load"
    echo "test.sh: the tests against real servers, with $load busy processes beside them"
    ctest --output-on-failure --no-tests=error --timeout 300 -j"$jobs" -L realserver
    exit
fi
# The tests against real servers (a private JACK server, Xvfb, the whole
# program) run three times, beside each other, so that one that fails now and
# then fails here rather than for a user.
ctest --output-on-failure --no-tests=error --timeout 300 -j"$jobs" -LE realserver
ctest --output-on-failure --no-tests=error --timeout 300 -j"$jobs" -L realserver --repeat until-fail:3
