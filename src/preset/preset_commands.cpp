#include "preset/preset_commands.h"

namespace zr70 {

PresetCommands::PresetCommands(PresetFile& file, FileChooser& chooser, UserMessages& messages)
    : file_(file), chooser_(chooser), messages_(messages) {}

bool PresetCommands::loadPreset() {
    const std::optional<QString> path = chooser_.chooseFileToLoad();
    if (!path) {
        return false;
    }
    if (!hasPresetExtension(*path)) {
        messages_.show("Wrong file type");
        return false;
    }
    // The whole path goes on, however long: a path cut short would name
    // another file.
    return file_.loadPreset(*path) == 1;
}

void PresetCommands::savePreset() {
    const std::optional<QString> path = chooser_.chooseFileToSave();
    if (!path) {
        return;
    }
    if (!hasPresetExtension(*path)) {
        messages_.show("Wrong filename extension");
        return;
    }
    file_.savePreset(*path);
}

void PresetCommands::saveDefault() {
    file_.saveDefault();
}

void PresetCommands::restoreDevice() {
    messages_.show("This is still not working !!!");
}

bool PresetCommands::hasPresetExtension(const QString& path) {
    // Only the file name counts: a directory such as "/a.zr/" says nothing
    // about the file inside it.
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return false;
    }
    const QString extension = name.mid(dot + 1);
    return extension == QLatin1String("ZR") || extension == QLatin1String("zr");
}

} // namespace zr70
