#pragma once

#include "parameter_lists.h"
#include "parameter_message.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace zr70 {

/// Takes one complete System Exclusive message. The bytes must be sent or
/// copied by the time send returns, because the buffer is rewritten at once.
class MessageSender {
public:
    virtual ~MessageSender() = default;

    /// 0 when the device took the message, a nonzero host code otherwise.
    virtual int send(std::span<const std::uint8_t> message) = 0;
};

/// What the user sees of a transmission: the indicator at the end of the tab
/// strip and the main window's caption.
class TransmitFeedback {
public:
    virtual ~TransmitFeedback() = default;
    virtual void hideIndicator() = 0;
    virtual void showIndicator() = 0;
    virtual void setCaption(std::string_view caption) = 0;
};

inline constexpr std::string_view kFailCaption = "fail!";

/// send-one and send-all: turns list selections into messages and hands them
/// to the sender, one at a time, through the single message buffer.
class ParameterSender {
public:
    ParameterSender(const ParameterLists& lists, MessageSender& sender, TransmitFeedback& feedback);

    /// Sends the parameter with its list's current selection. A list without a
    /// selection has no value the converter could be given, so nothing is sent.
    void sendOne(ParameterIndex index);

    /// Sends all fifteen parameters in send-all order; a failure does not stop
    /// the sequence, and lists without a selection are skipped.
    void sendAll();

    const ParameterMessage& message() const { return message_; }

private:
    void transmit();

    const ParameterLists& lists_;
    MessageSender& sender_;
    TransmitFeedback& feedback_;
    ParameterMessage message_;
};

} // namespace zr70
