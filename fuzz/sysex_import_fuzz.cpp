// Imports arbitrary bytes as a SysEx file through the same reader the import
// uses, and aborts unless every parameter ends with one of its entries or
// with none, every part of the data is counted, and what was imported exports
// as messages that import back the same.

#include "preset/sysex_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zr70::SysExFile;
    const SysExFile::Import imported = SysExFile::decode(std::span(data, size));
    require(imported.used >= 0 && imported.skipped >= 0);
    require(static_cast<std::size_t>(imported.used + imported.skipped) <= size);
    require(size == 0 || imported.used + imported.skipped > 0);
    int selected = 0;
    for (zr70::ParameterIndex index = 0; index < zr70::kParameterCount; ++index) {
        const int selection = imported.set.selection(index);
        require(selection == zr70::kNoSelection || zr70::isValidSelection(index, selection));
        selected += selection == zr70::kNoSelection ? 0 : 1;
    }
    require(selected <= imported.used);

    const QByteArray exported = SysExFile::encode(imported.set);
    require(exported.size() == selected * 11);
    const SysExFile::Import again =
        SysExFile::decode(std::span(reinterpret_cast<const std::uint8_t*>(exported.constData()),
                                    static_cast<std::size_t>(exported.size())));
    require(again.set == imported.set && again.used == selected && again.skipped == 0);
    return 0;
}
