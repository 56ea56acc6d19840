#pragma once

#include <QKeyEvent>

namespace zr70 {

/// Return, or Enter on the keypad, without Shift, Ctrl or Alt: the key that
/// confirms a dialog.
inline bool isPlainEnter(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    return (modifiers == Qt::NoModifier || modifiers == Qt::KeypadModifier) &&
           (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter);
}

} // namespace zr70
