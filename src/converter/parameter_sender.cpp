#include "parameter_sender.h"

namespace zr70 {

ParameterSender::ParameterSender(const ParameterLists& lists, MessageSender& sender,
                                 TransmitFeedback& feedback)
    : lists_(lists), sender_(sender), feedback_(feedback) {}

void ParameterSender::sendOne(ParameterIndex index) {
    const int selection = lists_.selection(index);
    if (!isValidSelection(index, selection)) {
        return;
    }
    message_.set(index, valueByte(index, selection));
    transmit();
}

void ParameterSender::sendAll() {
    for (ParameterIndex index : kSendAllOrder) {
        sendOne(index);
    }
}

void ParameterSender::transmit() {
    feedback_.hideIndicator();
    message_.updateChecksum();
    if (sender_.send(message_.bytes()) != 0) {
        // Nothing restores the caption: once a message was refused the user
        // should know the converter may not match the lists any more.
        feedback_.setCaption(kFailCaption);
    }
    feedback_.showIndicator();
}

} // namespace zr70
