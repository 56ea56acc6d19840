# shellcheck shell=bash
# The private server of a test run: ZR70_TEST_SERVER=pipewire selects a
# private PipeWire instance (scripts/pipewire-private.sh), anything else a
# dummy JACK server (scripts/jack-dummy.sh). Source this file, then use the
# functions of jack-dummy.sh, whichever server runs:
#
#   jack_dummy_start, jack_dump_start DUMPFILE [CLIENT], jack_dump_stop,
#   jack_dummy_stop, and JACK_DUMMY_PID (the server's process id)
#
# On PipeWire, JACK clients must load PipeWire's libjack: the test's
# environment puts it first on LD_LIBRARY_PATH, and pw_private_start does so
# for whatever this shell starts.

_test_server_dir=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/jack-dummy.sh
source "$_test_server_dir/jack-dummy.sh"

if [[ "${ZR70_TEST_SERVER:-jackd}" == pipewire ]]; then
    # shellcheck source=scripts/pipewire-private.sh
    source "$_test_server_dir/pipewire-private.sh"

    jack_dummy_start() {
        pw_private_start || return 1
        JACK_DUMMY_PID=$PW_PRIVATE_PID
    }
    jack_dump_start() {
        pw_dump_start "$@" || return 1
        JACK_DUMP_PID=$PW_DUMP_PID
    }
    jack_dump_stop() {
        pw_dump_stop
        JACK_DUMP_PID=
    }
    jack_dummy_stop() {
        pw_private_stop
        JACK_DUMMY_PID='' JACK_DUMP_PID=''
    }
fi
