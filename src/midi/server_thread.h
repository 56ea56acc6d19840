#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace zr70 {

/// A thread of its own for the calls that wait on a sound server, which wait
/// for as long as the server takes: for ever, when it was stopped. The caller
/// waits for each call at most the time-out.
///
/// A call that times out leaves the thread stuck: every later call fails at
/// once, without waiting, until the one that timed out has returned. Then
/// `catchUp` runs on the thread, to bring the server back to what the caller
/// was told (an output that opened too late is closed), and the thread takes
/// calls again.
class ServerThread {
public:
    using Job = std::function<void()>;
    struct Task;

    static constexpr std::chrono::milliseconds kTimeout{2000};

    explicit ServerThread(Job catchUp = {}, std::chrono::milliseconds timeout = kTimeout);
    /// finish(), unless that was done.
    ~ServerThread();
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    /// Starts `job` on the thread and returns at once; null while stuck.
    std::shared_ptr<Task> start(Job job);
    /// Waits for a started job, at most the time-out; false when it has not
    /// returned by then, and at once while the thread is stuck. When the
    /// time-out has passed and `patience` says the server is worth waiting
    /// for still, the wait goes on, a time-out at a time, until `patience`
    /// says no.
    bool wait(const std::shared_ptr<Task>& task, const std::function<bool()>& patience = {});
    /// start() and wait(): true when `job` ran and returned in time.
    bool run(Job job);

    bool stuck() const;

    /// Runs `last`, then ends the thread, waiting at most the time-out. False
    /// when the thread is still held up by the server (at once while stuck):
    /// it is left running, and the process must then end with _exit, as a
    /// normal exit would run the libraries' clean-up under that thread's feet.
    bool finish(Job last = {});

private:
    struct State;
    std::shared_ptr<State> state_;
    std::chrono::milliseconds timeout_;
    std::thread thread_;
};

} // namespace zr70
