# shellcheck shell=bash
# The private server of a test run: ZR70_TEST_SERVER=pipewire selects a
# private PipeWire instance (scripts/pipewire-private.sh), ZR70_TEST_SERVER=alsa
# the kernel's ALSA sequencer (scripts/alsa-seq.sh; the test runs in
# scripts/alsa-guest.sh where this kernel has none), anything else a dummy JACK
# server (scripts/jack-dummy.sh). Source this file, then use the functions of
# jack-dummy.sh, whichever server runs:
#
#   jack_dummy_start, jack_dump_start DUMPFILE [CLIENT], jack_dump_stop,
#   jack_dummy_stop, and JACK_DUMMY_PID (the server's process id)
#
# and those of scripts/server-common.sh, which they all share: among them
# receiver_losses, which tells whether the receiver lost messages itself, and
# busy_loops_start and busy_loops_stop, which load the machine.
#
# On PipeWire, JACK clients must load PipeWire's libjack: the test's
# environment puts it first on LD_LIBRARY_PATH, and pw_private_start does so
# for whatever this shell starts. On ALSA there is no server process
# (JACK_DUMMY_PID stays empty), and the receiver's port is CLIENT:input of the
# sequencer, listed by the panel as "ALSA: CLIENT:input".

_test_server_dir=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/jack-dummy.sh
source "$_test_server_dir/jack-dummy.sh"

case "${ZR70_TEST_SERVER:-jackd}" in
pipewire)
    # shellcheck source=scripts/pipewire-private.sh
    source "$_test_server_dir/pipewire-private.sh"

    jack_dummy_start() {
        pw_private_start || return 1
        JACK_DUMMY_PID=$PW_PRIVATE_PID
    }
    jack_dump_start() { pw_dump_start "$@"; }
    jack_dump_stop() { pw_dump_stop; }
    jack_dummy_stop() {
        pw_private_stop
        JACK_DUMMY_PID=
    }
    ;;
alsa)
    # shellcheck source=scripts/alsa-seq.sh
    source "$_test_server_dir/alsa-seq.sh"

    jack_dummy_start() { alsa_seq_start; }
    jack_dump_start() { alsa_dump_start "$@"; }
    jack_dump_stop() { alsa_dump_stop; }
    jack_dummy_stop() {
        alsa_seq_stop
        JACK_DUMMY_PID=
    }
    ;;
esac
