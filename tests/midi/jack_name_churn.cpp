// Opens and closes JACK clients of the given names again and again on the
// server that JACK_DEFAULT_SERVER names, as other programs with the same client
// names do on other servers of the same machine. Stops on SIGTERM or SIGINT,
// and after a minute at the latest.

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

void ignoreJackText(const char*) {}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    jack_set_error_function(ignoreJackText);
    jack_set_info_function(ignoreJackText);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (stopRequested == 0 && std::chrono::steady_clock::now() < deadline) {
        for (int name = 1; name < argc; ++name) {
            jack_client_t* client = jack_client_open(argv[name], JackNoStartServer, nullptr);
            if (client != nullptr) {
                jack_client_close(client);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }
    return 0;
}
