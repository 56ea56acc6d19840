#pragma once

#include "preset/file_chooser.h"
#include "preset/preset_file.h"
#include "preset/user_messages.h"

#include <QString>

namespace zr70 {

/// The four buttons of the Presets page.
class PresetCommands {
public:
    PresetCommands(PresetFile& file, FileChooser& chooser, UserMessages& messages);

    /// "Load Preset": true when a file was read into the selections.
    bool loadPreset();
    void savePreset();    ///< "Save Preset"
    void saveDefault();   ///< "Save As DEFAULT.ZR"
    void restoreDevice(); ///< "Restore (init) ZR70 device"

    /// True when the text after the last "." of the file name is exactly "ZR"
    /// or exactly "zr".
    static bool hasPresetExtension(const QString& path);

private:
    PresetFile& file_;
    FileChooser& chooser_;
    UserMessages& messages_;
};

} // namespace zr70
