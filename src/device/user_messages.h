#pragma once

#include <string_view>

namespace zr70 {

/// The program's one way of telling the user something: a modal warning box
/// with a single OK button, titled with the application name.
class UserMessages {
public:
    virtual ~UserMessages() = default;

    /// Shows `text` and returns once the user has dismissed it.
    virtual void show(std::string_view text) = 0;
};

} // namespace zr70
