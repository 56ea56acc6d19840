#include "midi/server_thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace zr70 {

struct ServerThread::Task {
    Job job;
    bool done = false;
};

struct ServerThread::State {
    std::mutex mutex;
    std::condition_variable wake; ///< a task to run, or the end
    std::condition_variable done; ///< a task ran, or the thread ended
    std::deque<std::shared_ptr<Task>> tasks;
    Job catchUp;
    bool stuck = false; ///< a caller gave up waiting, and the thread has not caught up yet
    bool stopping = false;
    bool ended = false;

    void run() {
        std::unique_lock lock(mutex);
        while (true) {
            wake.wait(lock, [&] { return !tasks.empty() || stopping; });
            if (tasks.empty()) {
                break;
            }
            const std::shared_ptr<Task> task = tasks.front();
            tasks.pop_front();
            lock.unlock();
            if (task->job) {
                task->job();
                // What the job holds goes with it, not with the last waiter.
                task->job = nullptr;
            }
            lock.lock();
            task->done = true;
            done.notify_all();
            if (stuck && tasks.empty()) {
                lock.unlock();
                if (catchUp) {
                    catchUp();
                }
                lock.lock();
                stuck = false;
            }
        }
        ended = true;
        done.notify_all();
    }
};

ServerThread::ServerThread(Job catchUp, std::chrono::milliseconds timeout)
    : state_(std::make_shared<State>()), timeout_(timeout) {
    state_->catchUp = std::move(catchUp);
    // The thread shares the state, so it can outlive this object.
    thread_ = std::thread([state = state_] { state->run(); });
}

ServerThread::~ServerThread() {
    finish();
}

std::shared_ptr<ServerThread::Task> ServerThread::start(Job job) {
    const std::lock_guard lock(state_->mutex);
    if (state_->stuck || state_->stopping) {
        return nullptr;
    }
    auto task = std::make_shared<Task>();
    task->job = std::move(job);
    state_->tasks.push_back(task);
    state_->wake.notify_one();
    return task;
}

bool ServerThread::wait(const std::shared_ptr<Task>& task, const std::function<bool()>& patience) {
    std::unique_lock lock(state_->mutex);
    if (task->done) {
        return true;
    }
    if (state_->stuck) {
        return false;
    }
    while (!state_->done.wait_for(lock, timeout_, [&] { return task->done; })) {
        lock.unlock();
        const bool goOn = patience && patience();
        lock.lock();
        if (!goOn && !task->done) {
            state_->stuck = true;
            return false;
        }
    }
    return true;
}

bool ServerThread::run(Job job) {
    const std::shared_ptr<Task> task = start(std::move(job));
    return task && wait(task);
}

bool ServerThread::stuck() const {
    const std::lock_guard lock(state_->mutex);
    return state_->stuck;
}

bool ServerThread::finish(Job last) {
    if (!thread_.joinable()) {
        return true;
    }
    State& state = *state_;
    std::unique_lock lock(state.mutex);
    if (last && !state.stuck) {
        auto task = std::make_shared<Task>();
        task->job = std::move(last);
        state.tasks.push_back(std::move(task));
    }
    state.stopping = true;
    state.wake.notify_one();
    // While the thread is stuck, its end is not waited for at all.
    const bool ended =
        !state.stuck && state.done.wait_for(lock, timeout_, [&] { return state.ended; });
    lock.unlock();
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return ended;
}

} // namespace zr70
