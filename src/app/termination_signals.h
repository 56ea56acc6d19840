#pragma once

#include <QObject>

#include <chrono>

class QSocketNotifier;

namespace zr70 {

/// How long after the first request to end another one still counts as the same.
inline constexpr std::chrono::milliseconds kSameRequest{500};

/// Takes the process's signals over, first thing in main(), before any thread
/// or JACK client exists: a signal whose default action ends the program
/// would leave its JACK client open, and a client left behind stalls every
/// other JACK program.
///
/// - SIGTERM, SIGINT and SIGHUP (the desktop at logout, a terminal's Ctrl+C,
///   a closed terminal), SIGQUIT (Ctrl+\), and SIGUSR1, SIGUSR2 and SIGALRM,
///   which the program has no use for and whose sender expects it to end,
///   become requests to end: the handler only writes the signal's number into
///   a pipe, which TerminationSignals reads on the event loop, so that the
///   program closes its output and clients as a normal close does. A second
///   request, `sameRequest` or more after the first, ends the process at once,
///   killed by that signal: the user insists. Requests within that time are
///   the same one: at logout the session sends SIGTERM and SIGHUP together.
/// - SIGPIPE and SIGXFSZ are ignored: a write to a closed pipe, or beyond the
///   file-size limit (`ulimit -f`), then fails where it is made, and is
///   reported there.
/// - A signal that was ignored when the program started (nohup) stays ignored.
void catchSignals(std::chrono::milliseconds sameRequest = kSameRequest);

/// The requests to end caught since catchSignals(), as a Qt signal on the
/// event loop: those that came before this object was made are reported
/// once the event loop runs. One object at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    /// The number of the first request to end that arrived, 0 for none yet.
    static int firstRequest();

Q_SIGNALS:
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
