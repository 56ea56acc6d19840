#pragma once

#include <string_view>

namespace zr70 {

/// The program's one way of telling the user something.
class UserMessages {
public:
    virtual ~UserMessages() = default;

    /// Tells the user `text` and returns once the user has taken it in.
    virtual void show(std::string_view text) = 0;
};

} // namespace zr70
