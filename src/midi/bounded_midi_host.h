#pragma once

#include "midi/midi_host.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace zr70 {

/// A MIDI host whose every operation waits a bounded time. The host it wraps
/// is created, used and destroyed on a thread of its own, which may wait on a
/// server for as long as the server takes (a JACK server that was stopped);
/// the caller waits at most the time-out for each operation.
///
/// An operation that times out fails with kNotAnswering (deviceCount: 0), and
/// from then on the host counts as not answering: every later operation fails
/// at once, without waiting, until the one that timed out has returned. Then
/// the wrapped host is brought back to what the caller was told (a device that
/// opened too late, or whose close failed at once, is closed) and the host
/// answers again.
///
/// The wrapped host's failures keep their own codes and texts.
class BoundedMidiHost : public MidiHost {
public:
    using Factory = std::function<std::unique_ptr<MidiHost>()>;

    /// The code of an operation that timed out, or that failed at once while
    /// the host did not answer.
    static constexpr int kNotAnswering = 1000;
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    /// Starts the thread, which creates the host with `make` (the first
    /// operation waits for that too). `notAnsweringText` is the error text of
    /// kNotAnswering, at most 98 characters.
    BoundedMidiHost(Factory make, std::string notAnsweringText,
                    std::chrono::milliseconds timeout = kDefaultTimeout);
    /// finish(), unless that was done.
    ~BoundedMidiHost() override;
    BoundedMidiHost(const BoundedMidiHost&) = delete;
    BoundedMidiHost& operator=(const BoundedMidiHost&) = delete;

    int deviceCount() override;
    int describeDevice(int index, std::string& name) override;
    HostResult openDevice(int index) override;
    HostResult sendLongMessage(std::span<const std::uint8_t> message) override;
    HostResult closeDevice() override;

    /// Starts opening the device listed as `name`, if there is one, and
    /// returns at once: the open runs on the thread while the caller goes
    /// on. The next openDevice() of that device takes its result, waiting
    /// for it at most the time-out. Any other operation that needs a device
    /// of the caller's (another open, a send, a close) first closes it, as
    /// does dropAhead().
    /// Of several outputs listed as `name`, the one at `index` is taken when
    /// it is one of them.
    void openAhead(std::string name, int index = -1);
    void dropAhead();

    /// Destroys the wrapped host on its thread, waiting at most the time-out,
    /// and ends the thread. False when the thread is still held up by the host
    /// (at once when the host does not answer): it is left running, and the
    /// process must then end with _exit, as a normal exit would run the
    /// libraries' clean-up under that thread's feet.
    bool finish();

private:
    struct State;
    struct Job;

    /// Runs `work` on the thread and returns its result, or kNotAnswering
    /// when the host does not answer or `work` takes longer than the time-out.
    /// `text` receives the job's text when it answered in time.
    int call(std::function<int(MidiHost&, Job&)> work, std::string* text = nullptr);
    int call(const std::shared_ptr<Job>& job, std::string* text = nullptr);
    /// Puts `job` on the thread's queue; false when the host does not answer.
    bool post(const std::shared_ptr<Job>& job);
    /// Waits at most the time-out for a posted job to be done; false when
    /// it was not, and the host then counts as not answering.
    bool wait(Job& job);
    /// `code` with `text`, or with the not-answering text for kNotAnswering.
    HostResult result(int code, std::string text) const;

    std::shared_ptr<State> state_;
    std::shared_ptr<Job> ahead_; ///< an open started ahead, not yet taken
    std::thread worker_;
    std::string notAnsweringText_;
    std::chrono::milliseconds timeout_;
};

} // namespace zr70
