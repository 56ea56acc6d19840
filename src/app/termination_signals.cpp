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

constexpr std::array kRequestsToEnd{SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};
constexpr std::array kIgnored{SIGPIPE, SIGXFSZ};

// What the handler may touch: a signal handler reaches no object.
int pipeEnds[2] = {-1, -1};
std::atomic<std::int64_t> firstArrival{0}; ///< monotonic milliseconds + 1; 0: none yet
std::atomic<int> firstNumber{0};
std::atomic<std::int64_t> sameRequestMs{0};

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
        int expected = 0;
        firstNumber.compare_exchange_strong(expected, number);
        const auto byte = static_cast<unsigned char>(number);
        // A full pipe already holds a request to end: nothing is lost.
        [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    }
    errno = savedErrno;
}

bool ignoredAtStart(int number) {
    struct sigaction current {};
    return sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

void catchSignals(std::chrono::milliseconds sameRequest) {
    sameRequestMs.store(sameRequest.count());
    if (pipeEnds[0] < 0 && pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
    }
    for (const int number : kIgnored) {
        std::signal(number, SIG_IGN);
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kRequestsToEnd) {
        if (!ignoredAtStart(number)) {
            sigaction(number, &action, nullptr);
        }
    }
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (pipeEnds[0] < 0) {
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals() = default;

int TerminationSignals::firstRequest() {
    return firstNumber.load();
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
