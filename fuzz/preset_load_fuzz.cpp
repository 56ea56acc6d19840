// Loads arbitrary bytes as a preset through the same reader load-preset uses,
// and aborts unless every list ends with one of its entries or with none, and
// what was loaded saves as a well-formed file that loads back the same.

#include "preset/preset_file.h"

#include <QBuffer>
#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using zr70::kNoSelection;
using zr70::kParameterCount;
using zr70::ParameterIndex;
using zr70::PresetFile;

/// Lists that keep whatever they are given, unlike a drop-down list, which
/// would quietly drop a bad index; a list the reader never sets keeps a
/// value no list can have.
class RawLists : public zr70::ParameterLists {
public:
    RawLists() { selections.fill(kNotSet); }
    int selection(ParameterIndex index) const override {
        return selections[static_cast<std::size_t>(index)];
    }
    void setSelection(ParameterIndex index, int selection) override {
        selections[static_cast<std::size_t>(index)] = selection;
    }
    static constexpr int kNotSet = 1000;
    std::array<int, kParameterCount> selections{};
};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

RawLists load(QByteArray& bytes) {
    QBuffer buffer(&bytes);
    require(buffer.open(QIODevice::ReadOnly));
    RawLists lists;
    PresetFile::decode(buffer, lists);
    require(buffer.pos() <= PresetFile::kSelectionByteCount);
    return lists;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const RawLists lists = load(input);
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        const int selection = lists.selection(index);
        require(selection == kNoSelection || zr70::isValidSelection(index, selection));
    }

    QByteArray saved = PresetFile::encode(lists);
    require(saved.size() == PresetFile::kFileSize);
    require(saved.endsWith(QByteArray(PresetFile::kTrailer.data(),
                                      static_cast<qsizetype>(PresetFile::kTrailer.size()))));
    require(load(saved).selections == lists.selections);
    return 0;
}
