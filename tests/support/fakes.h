#pragma once

// Stand-ins shared by the logic tests.

#include "app/user_messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zr70::testing {

using Bytes = std::vector<std::uint8_t>;

class RecordingMessages : public UserMessages {
public:
    void show(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
};

} // namespace zr70::testing
