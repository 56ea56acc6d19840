#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zr70 {

/// The JACK server this process's clients open on, as the system shows it:
/// jackd, or PipeWire through its libjack, the socket on which it takes new
/// clients, and how it carries data. The one place that tells the two apart.
struct JackServer {
    /// How long a server that is there is given to let a client in, and to
    /// answer at all while its process runs: a loaded machine can keep a
    /// server from answering for seconds.
    static constexpr std::chrono::seconds kPatience{6};

    bool pipeWire = false;
    std::string socket;
    /// How long a new connection must have shown before the first message
    /// goes. jackd shows a connection only in the graph its cycles already
    /// run, but PipeWire shows it before its link carries data: it lost every
    /// message sent within a few cycles of the connection showing in about
    /// one open of four, and with 30 ms still some on a loaded machine. With
    /// three cycles and 100 ms it lost none in 240 opens at quanta of 256
    /// and 1024 frames, loaded or not.
    std::uint64_t settleCycles = 1;
    std::chrono::milliseconds settleTime{0};
    /// Cycles after the one that wrote the last message into our port before
    /// the connection may go: the receiver reads the port in that same cycle
    /// on jackd, but PipeWire may hand it over a cycle later, and drops what a
    /// port that has gone carried.
    std::uint64_t carriedCycles = 1;

    /// The server that JACK_DEFAULT_SERVER names for jackd; for PipeWire,
    /// which ignores it, the instance of PIPEWIRE_REMOTE in
    /// PIPEWIRE_RUNTIME_DIR or XDG_RUNTIME_DIR.
    static JackServer ofThisProcess();

    enum class Listener {
        None,    ///< nothing takes clients there: no server
        Running, ///< a server is there, and its process runs (or cannot be seen)
        Stopped, ///< a server is there, but its process is stopped
    };

    /// Asks the system, not the server, which may not answer: a connection
    /// that nobody listens for is refused at once, while one to a server
    /// whose process is stopped is taken by the system all the same, and
    /// names that process.
    Listener listener() const;
};

} // namespace zr70
