#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace zr70 {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

// What the handler may touch: a signal handler reaches no object.
int pipeEnds[2] = {-1, -1};
std::atomic<std::int64_t> firstArrival{0}; ///< monotonic milliseconds + 1; 0: none yet
std::atomic<std::int64_t> sameRequestMs{0};
std::array<struct sigaction, kSignals.size()> previous{};
std::array<bool, kSignals.size()> installed{};

std::int64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000 + 1;
}

extern "C" void onSignal(int number) {
    const int savedErrno = errno;
    const std::int64_t now = monotonicMs();
    std::int64_t first = 0;
    if (!firstArrival.compare_exchange_strong(first, now) && now - first >= sameRequestMs.load()) {
        // Blocked while this handler runs, the signal ends the process with
        // its default action as soon as the handler returns.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(number, &fallback, nullptr);
        raise(number);
    } else {
        const auto byte = static_cast<unsigned char>(number);
        // A full pipe already holds a request to end: nothing is lost.
        [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(std::chrono::milliseconds sameRequest, QObject* parent)
    : QObject(parent) {
    firstArrival.store(0);
    sameRequestMs.store(sameRequest.count());
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        installed[i] = sigaction(kSignals[i], nullptr, &previous[i]) == 0 &&
                       previous[i].sa_handler != SIG_IGN &&
                       sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (installed[i]) {
            sigaction(kSignals[i], &previous[i], nullptr);
            installed[i] = false;
        }
    }
    delete notifier_;
    for (int& end : pipeEnds) {
        if (end >= 0) {
            close(end);
            end = -1;
        }
    }
}

void TerminationSignals::readPipe() {
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = read(pipeEnds[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            emit received(numbers[i]);
        }
    }
}

void endProcessAtOnce(int status) {
    std::fflush(nullptr);
    _exit(status);
}

} // namespace zr70
