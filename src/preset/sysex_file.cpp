#include "preset/sysex_file.h"

#include "converter/message.h"

#include <algorithm>
#include <vector>

namespace zr70 {
namespace {

constexpr std::uint8_t kStart = 0xF0;
constexpr std::uint8_t kEnd = 0xF7;

/// F0 41 10 70 12 00 00: manufacturer, device, model, data set, address high.
constexpr std::array<std::uint8_t, kAddressByte> kHeader{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00};

bool isStatus(std::uint8_t byte) {
    return byte >= 0x80;
}

/// Timing clock, start, stop and the like (F8-FF) may come between any two
/// bytes of a message, as a recording from a live setup can hold them.
bool isRealTime(std::uint8_t byte) {
    return byte >= 0xF8;
}

/// Applies one complete message (F0 ... F7) to `set` when it is a valid
/// data-set message of the converter.
bool applyMessage(std::span<const std::uint8_t> message, ParameterSet& set) {
    if (message.size() != kMessageSize ||
        !std::equal(kHeader.begin(), kHeader.end(), message.begin())) {
        return false;
    }
    const int index = message[kAddressByte];
    if (index >= kParameterCount) {
        return false;
    }
    const int selection = message[kValueByte] - parameter(index).valueOffset;
    if (!isValidSelection(index, selection) ||
        message[kChecksumByte] != checksum(message.subspan(5, 4))) {
        return false;
    }
    set.set(index, selection);
    return true;
}

} // namespace

QByteArray SysExFile::encode(const ParameterSet& set) {
    QByteArray bytes;
    for (const MessageBytes& message : sendAllMessages(set)) {
        bytes.append(reinterpret_cast<const char*>(message.data()),
                     static_cast<qsizetype>(message.size()));
    }
    return bytes;
}

SysExFile::Import SysExFile::decode(std::span<const std::uint8_t> bytes) {
    Import result;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] != kStart) {
            // Stray bytes up to the next message count once.
            at = static_cast<std::size_t>(
                std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), kStart) -
                bytes.begin());
            ++result.skipped;
            continue;
        }
        // The message without the real-time bytes inside it.
        std::vector<std::uint8_t> message{kStart};
        std::size_t end = at + 1;
        for (; end < bytes.size() && (!isStatus(bytes[end]) || isRealTime(bytes[end])); ++end) {
            if (!isRealTime(bytes[end]) && message.size() <= kMessageSize) {
                message.push_back(bytes[end]);
            }
        }
        if (end == bytes.size() || bytes[end] != kEnd) {
            // Cut short: the next status byte (perhaps the next F0) starts
            // what follows.
            ++result.skipped;
            at = end;
            continue;
        }
        message.push_back(kEnd);
        if (applyMessage(message, result.set)) {
            ++result.used;
        } else {
            ++result.skipped;
        }
        at = end + 1;
    }
    return result;
}

Read<SysExFile::Import> SysExFile::read(const FileName& path) {
    // One byte beyond the limit tells a file that is too large.
    const Read<QByteArray> data = readRegularFile(path, kMaxFileSize + 1);
    if (!data) {
        return {std::nullopt, data.error};
    }
    if (data->size() > kMaxFileSize) {
        return {std::nullopt, QStringLiteral("larger than %1 MiB").arg(kMaxFileSize >> 20)};
    }
    Import result = decode(std::span(reinterpret_cast<const std::uint8_t*>(data->constData()),
                                     static_cast<std::size_t>(data->size())));
    if (result.used == 0) {
        return {std::nullopt, QStringLiteral("no setting of the ZR-70 in it")};
    }
    return {std::move(result), {}};
}

Written SysExFile::write(const FileName& path, const ParameterSet& set) {
    const QByteArray bytes = encode(set);
    if (bytes.isEmpty()) {
        // A file that an import would refuse is not written.
        return {QStringLiteral("no parameter has a selection")};
    }
    return replaceFile(path, bytes);
}

} // namespace zr70
