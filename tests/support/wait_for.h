#pragma once

#include <chrono>
#include <thread>

namespace zr70::testing {

/// Polls `condition` every 20 ms until it holds or `limit` has passed.
template <typename Condition>
inline bool waitFor(Condition condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace zr70::testing
