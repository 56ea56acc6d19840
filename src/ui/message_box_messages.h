#pragma once

#include "app/user_messages.h"

#include <QPointer>
#include <QWidget>

namespace zr70 {

/// Every message of the program: a modal warning box with one OK button,
/// titled with the application name and owned by the main window once it
/// exists. Tests hand the program a recording UserMessages instead.
class MessageBoxMessages : public UserMessages {
public:
    explicit MessageBoxMessages(QWidget* owner = nullptr) : owner_(owner) {}

    /// The window the boxes are modal over; nullptr before the main window
    /// exists. The owner may be destroyed at any time.
    void setOwner(QWidget* owner) { owner_ = owner; }
    QWidget* owner() const { return owner_; }

    void show(std::string_view text) override;

private:
    QPointer<QWidget> owner_;
};

} // namespace zr70
