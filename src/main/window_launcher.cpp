#include "main/window_launcher.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace zr70 {
namespace {

/// The program's own path, links resolved.
std::string programPath() {
    const std::unique_ptr<char, decltype(&std::free)> path(::realpath("/proc/self/exe", nullptr),
                                                           &std::free);
    return path ? path.get() : std::string();
}

} // namespace

int runWindow() {
    const std::string program = programPath();
    const std::string folder = program.substr(0, program.rfind('/') + 1);
    // Beside the program in the build; relative to it where it is installed,
    // so that the prefix can move.
    std::string window = folder + "zr70-panel";
    if (::access(window.c_str(), X_OK) != 0) {
        window = folder + ZR70_WINDOW_FROM_PROGRAM "/zr70-panel";
    }
    char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    ::execv(window.c_str(), arguments);
    const char* name = program.empty() ? "zr70" : program.c_str() + folder.size();
    std::fprintf(stderr, "%s: the panel's window cannot be started: %s: %s\n", name, window.c_str(),
                 std::strerror(errno));
    return 1;
}

} // namespace zr70
