// Writes the starting inputs of preset_load_fuzz into the folder given, the
// same every time: files a save makes, the saved defaults cut or grown to
// every length from 0 to 48 bytes, and the defaults with one byte just past
// the end of its list or FFh.
//   preset_corpus <folder>

#include "preset/preset_file.h"

#include <QByteArray>

#include <cstddef>
#include <fstream>
#include <iostream>
#include <string>

namespace {

using namespace zr70;

bool put(const std::string& folder, const std::string& name, const QByteArray& bytes) {
    std::ofstream file(folder + "/" + name, std::ios::binary | std::ios::trunc);
    file.write(bytes.constData(), bytes.size());
    file.close();
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: preset_corpus <folder>\n";
        return 2;
    }
    const std::string folder = argv[1];
    ParameterSet first;
    ParameterSet last;
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        first.set(index, 0);
        last.set(index, static_cast<int>(parameter(index).values.size()) - 1);
    }
    const QByteArray saved = PresetFile::encode(ParameterSet::defaults());
    bool ok = put(folder, "saved-defaults.zr", saved) &&
              put(folder, "saved-none.zr", PresetFile::encode(ParameterSet())) &&
              put(folder, "saved-first.zr", PresetFile::encode(first)) &&
              put(folder, "saved-last.zr", PresetFile::encode(last));
    const QByteArray longer = saved + '\n';
    for (qsizetype length = 0; length <= longer.size(); ++length) {
        ok = ok && put(folder, "length-" + std::to_string(length) + ".zr", longer.first(length));
    }
    for (std::size_t position = 0; position < kPresetFileOrder.size(); ++position) {
        QByteArray past = saved;
        QByteArray none = saved;
        const auto at = static_cast<qsizetype>(position);
        past[at] = static_cast<char>(parameter(kPresetFileOrder[position]).values.size());
        none[at] = static_cast<char>(0xFF);
        ok = ok && put(folder, "past-" + std::to_string(position) + ".zr", past) &&
             put(folder, "ff-" + std::to_string(position) + ".zr", none);
    }
    if (!ok) {
        std::cerr << "preset_corpus: cannot write into " << folder << '\n';
        return 1;
    }
    return 0;
}
