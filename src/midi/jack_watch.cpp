#include "midi/jack_watch.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

namespace zr70 {
namespace {

constexpr const char* kWatchName = "zr70-watch";

} // namespace

std::chrono::milliseconds jackRetryWait() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::minstd_rand draw(static_cast<std::uint_fast32_t>(now) ^
                          (static_cast<std::uint_fast32_t>(::getpid()) * 2654435761u));
    return std::chrono::milliseconds(20 + draw() % 30);
}

bool JackWatch::start() {
    // A name of this process alone: the watch is never the client whose
    // socket another process takes.
    const std::string name = std::string(kWatchName) + "-" + std::to_string(::getpid());
    for (int attempt = 0;; ++attempt) {
        jack_status_t status{};
        if (open(name, status)) {
            return true;
        }
        const bool serverThere = (status & JackServerFailed) == 0 || serverSocketExists();
        if (!serverThere || attempt == kJackOpenRetries) {
            return false;
        }
        std::this_thread::sleep_for(jackRetryWait());
    }
}

std::string JackWatch::unusedClientName(const std::string& base) const {
    for (int number = 1; number < 100; ++number) {
        const std::string name = number == 1 ? base : base + "-" + std::to_string(number);
        char* uuid = jack_get_uuid_for_client_name(client_, name.c_str());
        if (uuid == nullptr) {
            return name;
        }
        jack_free(uuid);
    }
    return base;
}

bool JackWatch::connected(const std::string& source, const std::string& destination) const {
    if (!serverRunning()) {
        return false;
    }
    const jack_port_t* port = jack_port_by_name(client_, source.c_str());
    return port != nullptr && jack_port_connected_to(port, destination.c_str()) != 0;
}

bool JackWatch::open(const std::string& name, jack_status_t& status) {
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr) {
        return false;
    }
    // jackd calls the first, PipeWire's libjack only the second.
    jack_on_info_shutdown(client_, &JackWatch::serverStopped, this);
    jack_on_shutdown(client_, &JackWatch::serverGone, this);
    jack_set_process_callback(client_, &JackWatch::processCycle, this);
    lastCycle_.store(nowNanoseconds(), std::memory_order_release);
    // "3.0.0.0 (using PipeWire 0.3.65)" from PipeWire's libjack.
    const char* version = jack_get_version_string();
    pipeWire_ = version != nullptr && std::strstr(version, "PipeWire") != nullptr;
    if (jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        return false;
    }
    return true;
}

bool JackWatch::serverSocketExists() {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string base = std::string("/dev/shm/jack_") +
                             (server != nullptr && *server != '\0' ? server : "default") + "_";
    // The second form is that of a server open to every user.
    return ::access((base + std::to_string(::getuid()) + "_0").c_str(), F_OK) == 0 ||
           ::access((base + "0").c_str(), F_OK) == 0;
}

bool JackWatch::answering() const {
    return nowNanoseconds() - lastCycle_.load(std::memory_order_acquire) <
           std::chrono::nanoseconds(kStallLimit).count();
}

bool JackWatch::awaitCycle() const {
    const std::uint64_t seen = cycles();
    while (cycles() == seen) {
        if (!serverRunning() || !answering()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::int64_t JackWatch::nowNanoseconds() {
    // The steady clock reads the vDSO: no system call in the process cycle.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int JackWatch::processCycle(jack_nframes_t, void* watch) {
    auto* self = static_cast<JackWatch*>(watch);
    self->lastCycle_.store(nowNanoseconds(), std::memory_order_release);
    self->cycles_.fetch_add(1, std::memory_order_acq_rel);
    return 0;
}

void JackWatch::serverStopped(jack_status_t, const char*, void* watch) {
    serverGone(watch);
}

void JackWatch::serverGone(void* watch) {
    static_cast<JackWatch*>(watch)->stopped_.store(true, std::memory_order_release);
}

} // namespace zr70
