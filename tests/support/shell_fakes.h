#pragma once

// Stand-ins for the MIDI host, the settings file, the file dialogs, the device
// list, shared by the logic and widget tests.

#include "app/file_chooser.h"
#include "app/settings.h"
#include "midi/midi_host.h"
#include "preset/preset_file.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zr70::testing {

/// Lists `devices` (with `listProblem`); opening a device in `busy` fails
/// with the text "host error 4", or `openText` when it is set. Records every
/// call in `calls` ("open 1", "send", "flush", "close") and every message in
/// `sent`. A nonzero entry of `sendResults` refuses that send with "host
/// error <code>"; `delivery`, when set, is what every flush finds.
class FakeMidiHost : public MidiHost {
public:
    static constexpr int kBusyCode = 4;

    static MidiResult result(MidiError error, int code) {
        return code == 0 ? MidiResult{}
                         : MidiResult::withText(error, "host error " + std::to_string(code));
    }
    OutputList outputs() override { return {devices, listProblem}; }
    MidiResult open(int index) override {
        calls.push_back("open " + std::to_string(index));
        if (index < 0 || index >= static_cast<int>(devices.size()) || busy.contains(index)) {
            MidiResult failed = result(MidiError::OpenFailed, kBusyCode);
            failed.text = openText.value_or(failed.text);
            return failed;
        }
        openIndex = index;
        unflushed = 0;
        return {};
    }
    MidiResult send(std::span<const std::uint8_t> message) override {
        calls.emplace_back("send");
        sent.emplace_back(message.begin(), message.end());
        if (onSend) {
            onSend();
        }
        int code = 0;
        if (!sendResults.empty()) {
            code = sendResults.front();
            sendResults.erase(sendResults.begin());
        }
        unflushed += code == 0 ? 1 : 0;
        return result(MidiError::SendFailed, code);
    }
    Delivery flush() override {
        calls.emplace_back("flush");
        const std::size_t handed = std::exchange(unflushed, 0);
        return delivery.value_or(Delivery{handed, handed, {}});
    }
    MidiResult close() override {
        calls.emplace_back("close");
        ++closeCount;
        openIndex = -1;
        return result(MidiError::CloseFailed, closeResult);
    }

    std::size_t count(const std::string& call) const {
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
    }

    std::vector<std::string> devices;
    MidiResult listProblem;
    std::set<int> busy;
    std::optional<std::string> openText;
    int closeResult = 0;
    std::vector<int> sendResults;
    std::optional<Delivery> delivery;
    std::function<void()> onSend;

    int openIndex = -1;
    int closeCount = 0;
    std::size_t unflushed = 0;
    std::vector<std::string> calls;
    std::vector<std::vector<std::uint8_t>> sent;
};

/// Settings kept in memory; `writes` lists (key, value) of the integers in
/// the order written, `order` the key of every integer and text written.
class MemorySettings : public Settings {
public:
    std::optional<std::int32_t> readInt(std::string_view key) const override {
        const auto found = values.find(std::string(key));
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> readText(std::string_view key) const override {
        const auto found = texts.find(std::string(key));
        if (found == texts.end() || found->second.empty()) {
            return std::nullopt;
        }
        return found->second;
    }
    bool write(std::initializer_list<Integer> integers,
               std::initializer_list<Text> newTexts = {}) override {
        for (const auto& [key, value] : integers) {
            values[std::string(key)] = value;
            writes.emplace_back(key, value);
            order.emplace_back(key);
        }
        for (const auto& [key, value] : newTexts) {
            texts[std::string(key)] = std::string(value);
            order.emplace_back(key);
        }
        return true;
    }
    std::map<std::string, std::int32_t> values;
    std::map<std::string, std::string> texts;
    std::vector<std::pair<std::string, std::int32_t>> writes;
    std::vector<std::string> order;
};

/// Answers each dialog with the scripted path (as UTF-8), or as cancelled;
/// `types` lists the file type of every dialog.
class ScriptedChooser : public FileChooser {
public:
    std::optional<FileName> chooseFileToLoad(FileType type = FileType::Preset) override {
        ++loadDialogs;
        types.push_back(type);
        return answer(loadAnswer);
    }
    std::optional<FileName> chooseFileToSave(FileType type = FileType::Preset) override {
        ++saveDialogs;
        types.push_back(type);
        return answer(saveAnswer);
    }
    static std::optional<FileName> answer(const std::optional<QString>& path) {
        return path ? std::optional(FileName(*path)) : std::nullopt;
    }
    std::vector<FileType> types;
    std::optional<QString> loadAnswer;
    std::optional<QString> saveAnswer;
    int loadDialogs = 0;
    int saveDialogs = 0;
};

} // namespace zr70::testing
