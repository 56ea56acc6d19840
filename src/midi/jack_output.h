#pragma once

#include "midi/jack_sender.h"
#include "midi/midi_output.h"
#include "midi/server_thread.h"

#include <memory>
#include <string>
#include <vector>

namespace zr70 {

/// The MIDI inputs of a running JACK server (jackd, or PipeWire through its
/// libjack) as outputs of the program, through one JACK client of our own
/// ("zr70-<pid>") with one MIDI port ("out"), connected to the chosen input.
/// The same client lists the inputs, watches the server and sends.
///
/// Every request that waits on the server (opening the client, connecting)
/// runs on a ServerThread, so none holds the caller up for more than about
/// 2 s, and once the server is known not to answer, nothing waits on it
/// again. Sends go to the JackSender and never wait on the server.
class JackOutput : public MidiOutput {
public:
    /// Starts opening the client on JACK's thread, and returns at once.
    JackOutput();
    /// finish(), unless that was done.
    ~JackOutput() override;
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    /// The server's MIDI inputs as the device list shows them ("JACK:
    /// dump:input"). Empty without a server. A server that is there but has
    /// not let the client in is named as not answering, never as missing: it
    /// is waited for for about 2 s, and while its process runs, up to
    /// JackServer::kPatience.
    OutputList outputs() override;

    MidiResult open(int index) override;
    MidiResult send(std::span<const std::uint8_t> message) override;
    Delivery flush() override;
    MidiResult close() override;

    /// Starts connecting, on JACK's thread, to the input listed as `name` (of
    /// twins, the one at `entry`), and returns at once: the open that is to
    /// come runs while the caller starts. An open of that input takes its
    /// result; any other open, and dropAhead(), undoes it first.
    void openAhead(std::string name, int entry);
    void dropAhead();

    /// Closes the client on JACK's thread, waiting at most about 2 s. False
    /// when the server held it up: the thread is left behind, and the process
    /// must end with _exit (see ServerThread::finish).
    bool finish();

    struct State;

private:
    std::shared_ptr<State> state_;
    ServerThread thread_;
    std::shared_ptr<ServerThread::Task> clientOpened_;
    std::shared_ptr<ServerThread::Task> openedAhead_;
    std::vector<std::string> listed_; ///< the ports of the last listing ("dump:input")
    std::string open_;                ///< the port we are connected to; empty when none
    MidiResult undelivered_;          ///< why something sent since the open did not leave
};

} // namespace zr70
