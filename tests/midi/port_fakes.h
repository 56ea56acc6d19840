#pragma once

// The device list and the settings profile without widgets or files, for the
// MIDI output port's tests.

#include "midi/device_list.h"
#include "midi/integer_settings.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zr70::testing {

class FakeDeviceList : public DeviceList {
public:
    void append(const std::string& name) override { entries.push_back(name); }
    void select(int position) override {
        ++selectCalls;
        if (position >= 0 && position < static_cast<int>(entries.size())) {
            selection = position;
        }
    }
    int selected() const override { return selection; }

    std::vector<std::string> entries;
    int selection = -1;
    int selectCalls = 0;
};

class FakeSettings : public IntegerSettings {
public:
    std::int32_t readInt(std::string_view section, std::string_view key,
                         std::int32_t fallback) const override {
        const auto value = values.find(std::string(section) + "/" + std::string(key));
        return value != values.end() ? value->second : fallback;
    }
    bool writeInt(std::string_view section, std::string_view key, std::int32_t value) override {
        const std::string name = std::string(section) + "/" + std::string(key);
        values[name] = value;
        writes.emplace_back(name, value);
        return true;
    }
    std::map<std::string, std::int32_t> values;
    std::vector<std::pair<std::string, std::int32_t>> writes;
};

} // namespace zr70::testing
