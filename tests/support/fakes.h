#pragma once

// Stand-ins shared by the logic tests.

#include "app/user_messages.h"
#include "converter/message.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zr70::testing {

using Bytes = std::vector<std::uint8_t>;

/// Messages as the fake MIDI host records them.
inline std::vector<Bytes> messages(const std::vector<MessageBytes>& sent) {
    std::vector<Bytes> bytes;
    for (const MessageBytes& message : sent) {
        bytes.emplace_back(message.begin(), message.end());
    }
    return bytes;
}

class RecordingMessages : public UserMessages {
public:
    void show(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
};

} // namespace zr70::testing
