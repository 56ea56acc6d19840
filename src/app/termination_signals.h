#pragma once

#include <QObject>

#include <chrono>

class QSocketNotifier;

namespace zr70 {

/// SIGTERM, SIGINT and SIGHUP, the requests to end that the desktop, a
/// terminal's Ctrl+C and a closed terminal send, turned into a Qt signal, so
/// that the program closes its ports and clients as a normal close does. The
/// signal handler only writes the signal's number into a pipe, which the
/// event loop reads.
///
/// A second request to end, half a second or more after the first, ends the
/// process at once, killed by that signal: the user insists. Requests within
/// that half second are the same one and emit `received` once more: at logout
/// the session sends SIGTERM and SIGHUP together, and a closed terminal's
/// SIGHUP may come from the kernel and again from the shell. A signal that
/// was ignored when the object was created (nohup) stays ignored.
///
/// One object at a time; the previous handling comes back when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    /// How long after the first request another one still counts as the same.
    static constexpr std::chrono::milliseconds kSameRequest{500};

    explicit TerminationSignals(std::chrono::milliseconds sameRequest = kSameRequest,
                                QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

Q_SIGNALS:
    /// One of the three arrived; `number` is SIGTERM, SIGINT or SIGHUP.
    void received(int number);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};

/// Ends the process with `status` without running any clean-up of the
/// libraries: for when a thread is still held up by a server and a normal
/// exit could wait for it or pull the libraries from under it. What the
/// program wrote to the settings file is already synced; stdout and stderr
/// are flushed.
[[noreturn]] void endProcessAtOnce(int status);

} // namespace zr70
