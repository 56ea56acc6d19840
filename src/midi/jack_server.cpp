#include "midi/jack_server.h"

#include <jack/jack.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace zr70 {

JackServer JackServer::ofThisProcess() {
    const auto variable = [](const char* name, const std::string& fallback) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0' ? std::string(value) : fallback;
    };
    // "3.0.0.0 (using PipeWire 0.3.65)" from PipeWire's libjack.
    const char* version = jack_get_version_string();
    if (version != nullptr && std::strstr(version, "PipeWire") != nullptr) {
        const std::string remote = variable("PIPEWIRE_REMOTE", "pipewire-0");
        const std::string folder =
            variable("PIPEWIRE_RUNTIME_DIR", variable("XDG_RUNTIME_DIR", "/tmp"));
        return {true, remote.starts_with('/') ? remote : folder + "/" + remote, 3,
                std::chrono::milliseconds(100), 2};
    }
    const std::string base = "/dev/shm/jack_" + variable("JACK_DEFAULT_SERVER", "default") + "_";
    const std::string own = base + std::to_string(::getuid()) + "_0";
    // The other form is that of a server open to every user.
    const bool shared =
        ::access(own.c_str(), F_OK) != 0 && ::access((base + "0").c_str(), F_OK) == 0;
    return {false, shared ? base + "0" : own};
}

JackServer::Listener JackServer::listener() const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.size() >= sizeof address.sun_path) {
        return Listener::Running; // cannot tell: never taken for a missing server
    }
    std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Listener::Running;
    }
    Listener listener = Listener::Running;
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // EAGAIN: its queue of new clients is full, so it is there.
        if (errno == ECONNREFUSED || errno == ENOENT || errno == ENOTDIR) {
            listener = Listener::None;
        }
    } else if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid > 0) {
        // "pid (name) S ...": the state follows the last ')'.
        std::ifstream stat("/proc/" + std::to_string(peer.pid) + "/stat");
        std::string status;
        std::getline(stat, status);
        const std::size_t close = status.rfind(')');
        if (close != std::string::npos && close + 2 < status.size() &&
            (status[close + 2] == 'T' || status[close + 2] == 't')) {
            listener = Listener::Stopped;
        }
    }
    ::close(fd);
    return listener;
}

} // namespace zr70
