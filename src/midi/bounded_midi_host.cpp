#include "midi/bounded_midi_host.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace zr70 {
namespace {

/// Whether a device is open.
struct DeviceState {
    bool open = false;
    bool operator==(const DeviceState&) const = default;
};

} // namespace

struct BoundedMidiHost::Job {
    std::function<int(MidiHost&, Job&)> work;
    int result = kNotAnswering;
    std::string text;    ///< a name or error text that comes back
    bool opens = false;  ///< success opens the device
    bool closes = false; ///< the device counts as closed whatever the result
    bool done = false;
    bool abandoned = false; ///< the caller stopped waiting
    int device = -1;        ///< the device an open ahead found
};

struct BoundedMidiHost::State {
    std::mutex mutex;
    std::condition_variable wake; ///< the thread has a job or is to stop
    std::condition_variable done; ///< a job is done, or the thread has ended
    std::deque<std::shared_ptr<Job>> jobs;
    bool stuck = false; ///< a caller gave up waiting, and the host has not caught up yet
    bool stopping = false;
    bool ended = false; ///< the host is destroyed and the thread about to end
    DeviceState told;   ///< what the caller was told

    // Used on the thread only.
    std::unique_ptr<MidiHost> host;
    DeviceState actual; ///< what the wrapped host has

    void run(const Factory& make);
    void runJob(Job& job);
    void catchUp(std::unique_lock<std::mutex>& lock);
};

void BoundedMidiHost::State::run(const Factory& make) {
    try {
        host = make();
    } catch (...) {
        host.reset();
    }
    std::unique_lock lock(mutex);
    while (true) {
        wake.wait(lock, [&] { return !jobs.empty() || stopping; });
        if (jobs.empty()) {
            break;
        }
        const std::shared_ptr<Job> job = jobs.front();
        jobs.pop_front();
        if (!job->abandoned) {
            lock.unlock();
            runJob(*job);
            lock.lock();
        }
        // A caller still waiting is told the result; one that gave up has
        // been told the open failed.
        if (!job->abandoned && job->result == 0) {
            told.open = told.open || job->opens;
        }
        job->done = true;
        done.notify_all();
        if (stuck && jobs.empty()) {
            catchUp(lock);
        }
    }
    lock.unlock();
    host.reset();
    lock.lock();
    ended = true;
    done.notify_all();
}

void BoundedMidiHost::State::runJob(Job& job) {
    if (!host) {
        return;
    }
    job.result = job.work(*host, job);
    if (job.closes) {
        actual = {};
    }
    if (job.result == 0) {
        actual.open = actual.open || job.opens;
    }
}

/// Closes what the caller no longer counts as open, until the host agrees
/// with the caller; then the host answers again.
void BoundedMidiHost::State::catchUp(std::unique_lock<std::mutex>& lock) {
    while (host && actual != told) {
        const DeviceState wanted = told;
        lock.unlock();
        if (actual.open && !wanted.open) {
            host->closeDevice();
            actual = {};
        }
        lock.lock();
    }
    stuck = false;
}

BoundedMidiHost::BoundedMidiHost(Factory make, std::string notAnsweringText,
                                 std::chrono::milliseconds timeout)
    : state_(std::make_shared<State>()), notAnsweringText_(std::move(notAnsweringText)),
      timeout_(timeout) {
    // The thread shares the state, so it can outlive this object.
    worker_ = std::thread([state = state_, make = std::move(make)] { state->run(make); });
}

BoundedMidiHost::~BoundedMidiHost() {
    finish();
}

int BoundedMidiHost::call(std::function<int(MidiHost&, Job&)> work, std::string* text) {
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    return call(job, text);
}

int BoundedMidiHost::call(const std::shared_ptr<Job>& job, std::string* text) {
    if (!post(job) || !wait(*job)) {
        return kNotAnswering;
    }
    if (text != nullptr) {
        *text = std::move(job->text);
    }
    return job->result;
}

bool BoundedMidiHost::post(const std::shared_ptr<Job>& job) {
    State& state = *state_;
    const std::lock_guard lock(state.mutex);
    if (state.stuck || state.stopping) {
        return false;
    }
    state.jobs.push_back(job);
    state.wake.notify_one();
    return true;
}

bool BoundedMidiHost::wait(Job& job) {
    State& state = *state_;
    std::unique_lock lock(state.mutex);
    if (!state.done.wait_for(lock, timeout_, [&] { return job.done; })) {
        job.abandoned = true;
        state.stuck = true;
        return false;
    }
    return true;
}

int BoundedMidiHost::deviceCount() {
    const int count = call([](MidiHost& host, Job&) { return host.deviceCount(); });
    return count == kNotAnswering ? 0 : count;
}

int BoundedMidiHost::describeDevice(int index, std::string& name) {
    std::string text;
    const int result = call(
        [index](MidiHost& host, Job& job) { return host.describeDevice(index, job.text); }, &text);
    if (result != kNotAnswering) {
        name = std::move(text);
    }
    return result;
}

HostResult BoundedMidiHost::result(int code, std::string text) const {
    if (code == kNotAnswering) {
        return {kNotAnswering, cutErrorText(notAnsweringText_)};
    }
    return {code, std::move(text)};
}

/// A job that runs a host operation and keeps its text for the caller.
template <typename Operation> auto hostJob(Operation operation) {
    return [operation](MidiHost& host, auto& job) {
        HostResult done = operation(host);
        job.text = std::move(done.text);
        return done.code;
    };
}

void BoundedMidiHost::openAhead(std::string name, int index) {
    dropAhead();
    auto job = std::make_shared<Job>();
    job->work = [name = std::move(name), index](MidiHost& host, Job& job) {
        std::vector<std::string> names;
        for (int listed = 0; listed < host.deviceCount(); ++listed) {
            names.push_back(listedDeviceName(host, listed));
        }
        const std::optional<int> found = findOutput(names, name, index);
        if (!found) {
            return kNotAnswering; // not listed: nothing opened, and nothing to take
        }
        job.device = *found;
        HostResult opened = host.openDevice(*found);
        job.text = std::move(opened.text);
        return opened.code;
    };
    job->opens = true;
    if (post(job)) {
        ahead_ = std::move(job);
    }
}

void BoundedMidiHost::dropAhead() {
    if (const std::shared_ptr<Job> ahead = std::exchange(ahead_, nullptr);
        ahead && wait(*ahead) && ahead->result == 0) {
        closeDevice();
    }
}

HostResult BoundedMidiHost::openDevice(int index) {
    if (const std::shared_ptr<Job> ahead = std::exchange(ahead_, nullptr)) {
        if (!wait(*ahead)) {
            return result(kNotAnswering, {});
        }
        if (ahead->device == index) {
            return result(ahead->result, std::move(ahead->text));
        }
        if (ahead->result == 0) {
            closeDevice();
        }
    }
    auto job = std::make_shared<Job>();
    job->work = hostJob([index](MidiHost& host) { return host.openDevice(index); });
    job->opens = true;
    std::string text;
    const int code = call(job, &text);
    return result(code, std::move(text));
}

HostResult BoundedMidiHost::sendLongMessage(std::span<const std::uint8_t> message) {
    dropAhead();
    // The thread may run the job after this returned: it sends its own copy.
    std::string text;
    const int code =
        call(hostJob([bytes = std::vector<std::uint8_t>(message.begin(), message.end())](
                         MidiHost& host) { return host.sendLongMessage(bytes); }),
             &text);
    return result(code, std::move(text));
}

HostResult BoundedMidiHost::closeDevice() {
    dropAhead();
    {
        const std::lock_guard lock(state_->mutex);
        state_->told = {};
    }
    auto job = std::make_shared<Job>();
    job->work = hostJob([](MidiHost& host) { return host.closeDevice(); });
    job->closes = true;
    std::string text;
    const int code = call(job, &text);
    return result(code, std::move(text));
}

bool BoundedMidiHost::finish() {
    if (!worker_.joinable()) {
        return true;
    }
    State& state = *state_;
    std::unique_lock lock(state.mutex);
    state.stopping = true;
    state.wake.notify_one();
    // The thread destroys the host once it has no job left; while the host
    // does not answer, that is not waited for at all.
    const bool ended =
        !state.stuck && state.done.wait_for(lock, timeout_, [&] { return state.ended; });
    lock.unlock();
    if (ended) {
        worker_.join();
    } else {
        worker_.detach();
    }
    return ended;
}

} // namespace zr70
