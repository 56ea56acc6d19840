#pragma once

// A private JACK server in dummy mode and jack_midi_dump receivers, started
// and stopped by the test or benchmark that needs real MIDI output. Each
// server gets its own name, so parallel runs never meet; every child runs in
// its own process group and dies with the test process.

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/wait_for.h"

namespace zr70::testing {

/// The full path of `program` on PATH, empty when it is not installed.
inline std::string findProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = directory + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

/// A child process in its own process group; stopped (and its group killed)
/// at the latest when the object goes.
class ChildProcess {
public:
    /// Starts `program` with `arguments`, stdin from /dev/null and stdout and
    /// stderr into the given files ("/dev/null" to drop them). The child gets
    /// `deathSignal` when the test process dies first.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& stdoutPath, const std::string& stderrPath = "/dev/null",
                 int deathSignal = SIGKILL) {
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::setpgid(0, 0);
            // JACK's client library blocks signals in the threads it runs
            // in; the child must take SIGINT and SIGTERM again.
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::prctl(PR_SET_PDEATHSIG, deathSignal);
            if (::getppid() != parent) {
                ::_exit(127);
            }
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0) {
                ::_exit(127);
            }
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid_ > 0) {
            ::setpgid(pid_, pid_); // also from here, so no signal can miss the group
        }
    }
    ~ChildProcess() { stop(SIGKILL); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            ::kill(-pid_, SIGKILL); // anything it left in its group
            pid_ = -1;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return true;
    }

    /// Waits up to `limit` for the child to end by itself; its exit code, or
    /// -1 when it was killed or is still running (then it is killed).
    int finish(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (running()) {
            if (std::chrono::steady_clock::now() > deadline) {
                stop(SIGKILL);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exitCode_;
    }

    /// Sends `signal` to the process group, and nothing more.
    void signal(int number) {
        if (pid_ > 0) {
            ::kill(-pid_, number);
        }
    }

    /// Sends `signal` to the process group and waits for the child to end;
    /// kills the group when it has not ended after `grace`. False when the
    /// child had to be killed.
    bool stop(int signal, std::chrono::milliseconds grace = std::chrono::seconds(5)) {
        if (pid_ <= 0) {
            return true;
        }
        ::kill(-pid_, signal);
        const auto deadline = std::chrono::steady_clock::now() + grace;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                ::kill(-pid_, SIGKILL);
                pid_ = -1;
                return signal != SIGKILL;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return false;
    }

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
};

/// One message as jack_midi_dump prints it: "   0: f0 41 ... f7".
using DumpedMessage = std::vector<std::uint8_t>;

inline std::vector<DumpedMessage> readDump(const std::string& path) {
    std::vector<DumpedMessage> messages;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::istringstream bytes(line.substr(colon + 1));
        DumpedMessage message;
        unsigned int byte = 0;
        while (bytes >> std::hex >> byte) {
            message.push_back(static_cast<std::uint8_t>(byte));
        }
        if (!message.empty()) {
            messages.push_back(std::move(message));
        }
    }
    return messages;
}

/// What the receiver printing into `dump` printed on its standard error
/// (`dump` + ".err"), and whether it says there that it lost messages itself,
/// as jack_midi_dump does when its ring buffer is full on a loaded machine
/// ("... skipping event") and zr70_alsa_dump when the sequencer dropped
/// events: then what it printed falls short through no fault of the sender.
struct ReceiverErrors {
    std::string text;
    bool lostMessages = false;
};

inline ReceiverErrors receiverErrors(const std::string& dump) {
    ReceiverErrors errors;
    std::ifstream file(dump + ".err");
    std::string line;
    while (std::getline(file, line)) {
        errors.text += line + "\n";
        errors.lostMessages = errors.lostMessages ||
                              line.find("skipping event") != std::string::npos ||
                              line.find("dropped events") != std::string::npos;
    }
    return errors;
}

/// A MIDI server of the test's own without sound hardware, selected for this
/// process and its children: a dummy-mode jackd through JACK_DEFAULT_SERVER;
/// when the test runs with ZR70_TEST_SERVER=pipewire (and PipeWire's libjack
/// first on its library path), a private PipeWire instance through its
/// runtime folder, as PipeWire's libjack ignores JACK_DEFAULT_SERVER; with
/// ZR70_TEST_SERVER=alsa, the kernel's ALSA sequencer (in the virtual machine
/// of scripts/alsa-guest.sh), which needs no starting, with receivers of
/// $ZR70_ALSA_DUMP.
class TestServer {
public:
    TestServer()
        : name_("zr70t" + std::to_string(::getpid()) + "x" + std::to_string(nextNumber())),
          directory_(std::filesystem::temp_directory_path() / name_) {
        removeDirectoriesOfEndedRuns();
        std::filesystem::create_directories(directory_);
        if (onPipeWire()) {
            const std::string run = (directory_ / "run").string();
            ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
            ::setenv("PIPEWIRE_RUNTIME_DIR", run.c_str(), 1);
            ::setenv("PIPEWIRE_REMOTE", "pipewire-0", 1);
        }
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
    }

    /// Whether this test run uses PipeWire rather than jackd.
    static bool onPipeWire() { return selected() == "pipewire"; }
    /// Whether it uses the ALSA sequencer.
    static bool onAlsa() { return selected() == "alsa"; }

    /// What the program lists a receiver's port as.
    static std::string outputName(const std::string& client) {
        return (onAlsa() ? "ALSA: " : "JACK: ") + client + ":input";
    }
    ~TestServer() {
        // Receivers leave properly: a killed client keeps the server waiting
        // for it when the server stops.
        for (auto& receiver : receivers_) {
            receiver->stop(SIGINT);
        }
        receivers_.clear();
        stopServer();
        // Clients of a killed jackd leave their semaphores behind.
        if (!onPipeWire() && !onAlsa()) {
            ChildProcess(findProgram("bash"), {script(), "clean", name_}, "/dev/null").finish();
        }
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    /// Why the tools are missing, empty when jackd and jack_midi_dump are there.
    static std::string missingTools() {
        if (onAlsa()) {
            const char* dump = std::getenv("ZR70_ALSA_DUMP");
            if (::access("/dev/snd/seq", R_OK | W_OK) != 0) {
                return "no ALSA sequencer (run the test in scripts/alsa-guest.sh)";
            }
            return dump != nullptr && ::access(dump, X_OK) == 0
                       ? std::string()
                       : "ZR70_ALSA_DUMP names no receiver (tests/support builds zr70_alsa_dump)";
        }
        for (const char* tool : {"jackd", "jack_midi_dump", "jack_lsp"}) {
            if (findProgram(tool).empty()) {
                return std::string(tool) + " is not installed (Debian package jackd2)";
            }
        }
        if (onPipeWire() && findProgram("pipewire").empty()) {
            return "pipewire is not installed (Debian packages pipewire, pipewire-jack)";
        }
        return {};
    }

    const std::string& name() const { return name_; }
    std::string path(const std::string& file) const { return (directory_ / file).string(); }

    /// Starts the server and waits until it answers; false when it does not.
    /// How the server is started and cleaned up after is the business of
    /// scripts/jack-dummy.sh alone; the process (jackd, which the script
    /// becomes) belongs to this object.
    bool startServer() {
        if (onAlsa()) {
            return true; // the kernel's
        }
        // JACK's table has room for eight servers, which other runs on the
        // machine may fill for a while, or runs that were killed with their
        // servers: a server that ends at once is started again a few times,
        // after the places of servers that are gone have been freed.
        for (int attempt = 0; attempt < 6; ++attempt) {
            if (attempt > 0) {
                std::this_thread::sleep_for(std::chrono::seconds(2));
            }
            // SIGTERM, not SIGKILL, when the test dies: see stopServer.
            server_ = std::make_unique<ChildProcess>(
                findProgram("bash"),
                std::vector<std::string>{script(), "serve",
                                         onPipeWire() ? directory_.string() : name_},
                path("server.log"), path("server.err"), SIGTERM);
            if (!server_->started()) {
                return false;
            }
            if (waitFor([this] { return !server_->running() || answers(); }) &&
                server_->running()) {
                return true;
            }
            const bool ended = !server_->running();
            stopServer(SIGKILL);
            if (ended) {
                // The table may be full of servers that are gone.
                ChildProcess(findProgram("bash"), {script(), "free-stale"}, "/dev/null")
                    .finish(std::chrono::seconds(60));
            }
        }
        return false;
    }

    /// Stops the server the way a user would (SIGTERM), or kills it. A server
    /// that had to be killed keeps its place in JACK's table of eight servers,
    /// which the script frees.
    void stopServer(int signal = SIGTERM) {
        if (!server_) {
            return;
        }
        server_->signal(SIGCONT); // one that was paused takes the signal
        const bool properly = server_->stop(signal);
        server_.reset();
        // PipeWire keeps no table of servers.
        if (!properly && !onPipeWire()) {
            ChildProcess(findProgram("bash"), {script(), "free", name_}, "/dev/null")
                .finish(std::chrono::seconds(30));
        }
    }

    /// Stops the server's process where it stands (SIGSTOP), as a hung
    /// server does, and lets it go on again.
    void pauseServer() { server_->signal(SIGSTOP); }
    void resumeServer() { server_->signal(SIGCONT); }

    /// Starts jack_midi_dump as client `client`, printing into `file` and its
    /// errors into `file` + ".err" (see receiverErrors); waits until its port
    /// "<client>:input" exists.
    bool startReceiver(const std::string& client, const std::string& file) {
        receivers_.push_back(std::make_unique<ChildProcess>(
            onAlsa() ? std::string(std::getenv("ZR70_ALSA_DUMP")) : findProgram("jack_midi_dump"),
            std::vector<std::string>{client}, file, file + ".err"));
        return receivers_.back()->started() && waitFor([&] { return hasPort(client + ":input"); });
    }

    /// Stops the receiver started as number `index` (SIGINT, as jack_midi_dump expects).
    void stopReceiver(std::size_t index) { receivers_.at(index)->stop(SIGINT); }

    /// The port names jack_lsp lists ("client:port"; on the sequencer, those
    /// of its clients); empty when the server does not answer.
    std::vector<std::string> ports() const {
        std::vector<std::string> names;
        if (onAlsa()) {
            // Client 128 : "dump" [User Legacy]
            //   Port   0 : "input" (-We-)
            std::ifstream clients("/proc/asound/seq/clients");
            std::string line;
            std::string client;
            while (std::getline(clients, line)) {
                const std::size_t open = line.find('"');
                const std::size_t close = line.rfind('"');
                if (open == std::string::npos || close <= open) {
                    continue;
                }
                const std::string name = line.substr(open + 1, close - open - 1);
                if (line.starts_with("Client")) {
                    client = name;
                } else if (line.starts_with("  Port")) {
                    names.push_back(client + ":" + name);
                }
            }
            return names;
        }
        const std::string output = path("lsp.txt");
        ChildProcess lsp(findProgram("jack_lsp"), {}, output);
        if (lsp.finish() != 0) {
            return names;
        }
        std::ifstream file(output);
        std::string line;
        while (std::getline(file, line)) {
            names.push_back(line);
        }
        return names;
    }

    bool hasPort(const std::string& port) const {
        for (const std::string& name : ports()) {
            if (name == port) {
                return true;
            }
        }
        return false;
    }

private:
    static std::string selected() {
        const char* server = std::getenv("ZR70_TEST_SERVER");
        return server != nullptr ? server : "jackd";
    }

    static int nextNumber() {
        static std::atomic<int> number{0};
        return ++number;
    }

    /// jack_lsp exits with 0 only when it reached the server (and is killed
    /// after 5 s, as PipeWire's waits for ever on a server that has stopped).
    bool answers() const {
        ChildProcess lsp(findProgram("jack_lsp"), {}, "/dev/null");
        return lsp.finish() == 0;
    }

    /// A test process that was killed (a timeout, a crash) could not remove
    /// its directory, nor the semaphores its clients left in /dev/shm; its
    /// children died with it. What test processes that are gone left is
    /// removed here.
    static void removeDirectoriesOfEndedRuns() {
        std::error_code error;
        const auto ended = [](const std::string& name, std::size_t at) {
            // "zr70t<pid>x<number>" at `at` in `name`
            if (name.compare(at, 5, "zr70t") != 0) {
                return false;
            }
            const std::size_t x = name.find('x', at + 5);
            if (x == std::string::npos || x == at + 5) {
                return false;
            }
            const std::string pid = name.substr(at + 5, x - at - 5);
            return pid.find_first_not_of("0123456789") == std::string::npos && pid.size() < 10 &&
                   ::kill(std::stoi(pid), 0) != 0 && errno == ESRCH;
        };
        const auto temp = std::filesystem::temp_directory_path();
        for (const auto& entry : std::filesystem::directory_iterator(temp, error)) {
            if (ended(entry.path().filename().string(), 0)) {
                std::filesystem::remove_all(entry.path(), error);
            }
        }
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
            const std::string file = entry.path().filename().string();
            const std::size_t at = file.find("_zr70t");
            if (at != std::string::npos && ended(file, at + 1)) {
                std::filesystem::remove(entry.path(), error);
            }
        }
    }

    /// The script that starts the server, and cleans up after a jackd.
    static std::string script() {
#ifdef ZR70_SCRIPTS_DIR
        const std::filesystem::path scripts = ZR70_SCRIPTS_DIR;
#else
        const std::filesystem::path scripts =
            std::filesystem::path(__FILE__).parent_path() / "../../scripts";
#endif
        return (scripts / (onPipeWire() ? "pipewire-private.sh" : "jack-dummy.sh"))
            .lexically_normal()
            .string();
    }

    std::string name_;
    std::filesystem::path directory_;
    std::unique_ptr<ChildProcess> server_;
    std::vector<std::unique_ptr<ChildProcess>> receivers_;
};

} // namespace zr70::testing
