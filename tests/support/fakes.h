#pragma once

// Stand-ins for the widgets and the MIDI port, shared by the logic tests.

#include "converter/parameter_lists.h"
#include "converter/parameter_sender.h"
#include "converter/user_messages.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zr70::testing {

using Bytes = std::vector<std::uint8_t>;

/// Fifteen lists without widgets; setSelection behaves like a drop-down list
/// (a value naming no entry leaves it without a selection).
class FakeLists : public ParameterLists {
public:
    FakeLists() { selections.fill(kNoSelection); }
    int selection(ParameterIndex index) const override {
        return selections[static_cast<std::size_t>(index)];
    }
    void setSelection(ParameterIndex index, int selection) override {
        selections[static_cast<std::size_t>(index)] =
            isValidSelection(index, selection) ? selection : kNoSelection;
    }
    std::array<int, kParameterCount> selections{};
};

/// Records every message handed over; answers with the next scripted result
/// (0 once the script is used up).
class RecordingSender : public MessageSender {
public:
    int send(std::span<const std::uint8_t> message) override {
        sent.emplace_back(message.begin(), message.end());
        if (onSend) {
            onSend();
        }
        if (results.empty()) {
            return 0;
        }
        const int result = results.front();
        results.erase(results.begin());
        return result;
    }
    std::vector<Bytes> sent;
    std::vector<int> results;
    std::function<void()> onSend;
};

class RecordingFeedback : public TransmitFeedback {
public:
    void hideIndicator() override { indicatorVisible = false; }
    void showIndicator() override { indicatorVisible = true; }
    void setCaption(std::string_view text) override {
        caption = text;
        ++captionChanges;
    }
    bool indicatorVisible = true;
    std::string caption = "Korvan Zr70 Control Pannel";
    int captionChanges = 0;
};

class RecordingMessages : public UserMessages {
public:
    void show(std::string_view text) override { shown.emplace_back(text); }
    std::vector<std::string> shown;
};

} // namespace zr70::testing
