#pragma once

#include <QString>

#include <string_view>

namespace zr70 {

/// The program's own texts are UTF-8 string views; the widgets want QString.
inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace zr70
