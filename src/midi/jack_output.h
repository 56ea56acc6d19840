#pragma once

#include "midi/midi_host.h"
#include "midi/server_thread.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zr70 {

/// The MIDI inputs of a running JACK server (jackd, or PipeWire through its
/// libjack) as outputs of the program, through one JACK client of our own
/// ("zr70-<pid>") with one MIDI port ("out"), connected to the chosen input.
/// The same client lists the inputs, watches the server and its cycles, and
/// sends.
///
/// Every request that waits on the server (opening the client, registering
/// the port, connecting, closing) runs on a ServerThread, so none holds the
/// caller up for more than about 2 s, and once the server is known not to
/// answer, nothing waits on it again. Sends and flushes never wait on the
/// server: a message goes into a buffer that the client's process callback
/// empties into the port in the server's next cycle, and a flush watches that
/// happen, for at most JackOutput::kStallLimit without a cycle.
class JackOutput {
public:
    /// Starts opening the client on JACK's thread, and returns at once.
    JackOutput();
    /// finish(), unless that was done.
    ~JackOutput();
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    /// The server's MIDI inputs as the device list shows them ("JACK:
    /// dump:input"), waiting for the client (at most about 2 s). Empty without
    /// a server; empty, with NotAnswering as the problem, when the server did
    /// not answer.
    OutputList outputs();

    /// Connects to `entry` of the last outputs(). `number` is the output's
    /// number in the program's whole list, for the text of a failure.
    MidiResult open(int entry, int number);
    MidiResult send(std::span<const std::uint8_t> message);
    Delivery flush();
    MidiResult close();

    /// Starts connecting, on JACK's thread, to the input listed as `name`
    /// (of twins, the one at `entry` when it is one of them), if there is
    /// one, and returns at once: the open that is to come runs while the
    /// caller goes on. The next open() of that input takes its result; any
    /// other open, and dropAhead(), closes it first.
    void openAhead(std::string name, int entry);
    void dropAhead();

    /// Closes the client on JACK's thread, waiting at most about 2 s. False
    /// when the server held it up: the thread is left behind, and the process
    /// must end with _exit (see ServerThread::finish).
    bool finish();

    /// How long the server may run no cycle before it counts as not
    /// answering: longer than the slowest cycle a server runs (PipeWire's
    /// longest quantum, 8192 frames at 48 kHz, takes 171 ms). A server that
    /// is there but has stopped (a stopped process, a hung driver) shows no
    /// other sign: it calls no callback, and every request to it waits for
    /// ever.
    static constexpr std::chrono::milliseconds kStallLimit{800};

    struct State;

private:
    struct Ahead;

    /// Disconnects `port` on JACK's thread; false when the server did not answer.
    bool disconnect(const std::string& port);
    /// What the caller now counts as connected, for the thread to catch up with.
    void tell(const std::string& port);

    std::shared_ptr<State> state_;
    ServerThread thread_;
    std::shared_ptr<ServerThread::Task> clientOpened_;
    std::shared_ptr<Ahead> ahead_;
    std::vector<std::string> listed_; ///< the ports of the last listing ("dump:input")
    std::string open_;                ///< the port we are connected to; empty when none
    std::uint64_t queued_ = 0;        ///< messages put into the buffer
    std::uint64_t openedQueued_ = 0;  ///< queued_ at the open
    std::uint64_t flushedQueued_ = 0; ///< queued_ at the last flush or open
    std::uint64_t flushedWritten_ = 0;
    MidiResult undelivered_; ///< why something sent since the open did not leave
};

} // namespace zr70
