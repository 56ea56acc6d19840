// Loads arbitrary bytes as a preset through the same reader load-preset uses,
// and aborts unless every parameter ends with one of its entries or with none,
// and what was loaded saves as a well-formed file that loads back the same.

#include "preset/preset_file.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using zr70::kNoSelection;
using zr70::kParameterCount;
using zr70::ParameterIndex;
using zr70::PresetFile;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

zr70::ParameterSet load(const QByteArray& bytes) {
    return PresetFile::decode(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const zr70::ParameterSet lists = load(input);
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        const int selection = lists.selection(index);
        require(selection == kNoSelection || zr70::isValidSelection(index, selection));
    }

    QByteArray saved = PresetFile::encode(lists);
    require(saved.size() == PresetFile::kFileSize);
    require(saved.endsWith(QByteArray(PresetFile::kTrailer.data(),
                                      static_cast<qsizetype>(PresetFile::kTrailer.size()))));
    require(load(saved) == lists);
    return 0;
}
