// Loads arbitrary bytes as a preset the way --send and the panel do: written
// to a file, read back through PresetFile::read, then made into the send-all
// messages. Aborts unless the file reads as its bytes decode, every parameter
// ends with one of its entries or with none, every message is a well-formed
// data set with a correct checksum that imports back as the loaded
// selections, and what was loaded saves as a file that loads back the same.

#include "preset/preset_file.h"
#include "preset/sysex_file.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

namespace {

using namespace zr70;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

/// A folder of the target's own, made at the first input and removed at exit.
struct Folder {
    std::filesystem::path path;
    Folder() {
        std::string name = (std::filesystem::temp_directory_path() / "zr70-fuzz-XXXXXX").string();
        require(::mkdtemp(name.data()) != nullptr);
        path = name;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

/// 00h-7Fh, from F0 41 10 70 12 00 00 to F7, and the address, value and
/// checksum bytes summing to a multiple of 80h.
bool isDataSet(const MessageBytes& message) {
    constexpr std::array<std::uint8_t, 7> head{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00};
    unsigned sum = 0;
    for (std::size_t at = 5; at < 10; ++at) {
        sum += message[at];
    }
    return std::equal(head.begin(), head.end(), message.begin()) && message[10] == 0xF7 &&
           std::all_of(message.begin() + 1, message.end() - 1, [](auto b) { return b < 0x80; }) &&
           sum % 0x80 == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    static const std::filesystem::path file = folder.path / "preset.zr";
    static const FileName path(QByteArray::fromStdString(file.native()));
    // A new file each time: ext4 writes a file that was emptied and written
    // again out to disk at its close, which makes the target five times slower.
    std::filesystem::remove(file);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    require(static_cast<bool>(out));

    const Read<ParameterSet> loaded = PresetFile::read(path);
    require(loaded &&
            *loaded == PresetFile::decode(QByteArrayView(data, static_cast<qsizetype>(size))));
    int selected = 0;
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        const int selection = loaded->selection(index);
        require(selection == kNoSelection || isValidSelection(index, selection));
        selected += selection == kNoSelection ? 0 : 1;
    }

    static_assert(std::tuple_size_v<MessageBytes> == 11);
    const std::vector<MessageBytes> messages = sendAllMessages(*loaded);
    require(messages.size() == static_cast<std::size_t>(selected));
    QByteArray sent;
    for (const MessageBytes& message : messages) {
        require(isDataSet(message));
        sent.append(reinterpret_cast<const char*>(message.data()), std::ssize(message));
    }
    const SysExFile::Import imported =
        SysExFile::decode(std::span(reinterpret_cast<const std::uint8_t*>(sent.constData()),
                                    static_cast<std::size_t>(sent.size())));
    require(imported.set == *loaded && imported.used == selected && imported.skipped == 0);

    const QByteArray saved = PresetFile::encode(*loaded);
    require(saved.size() == PresetFile::kFileSize);
    require(saved.endsWith(QByteArrayView(PresetFile::kTrailer.data(),
                                          static_cast<qsizetype>(PresetFile::kTrailer.size()))));
    require(PresetFile::decode(saved) == *loaded);
    return 0;
}
