#pragma once

#include "device/parameter_lists.h"
#include "device/parameter_sender.h"
#include "device/user_messages.h"

#include <QString>

namespace zr70 {

/// The "Send sysex afer load" check box.
class SendAfterLoadOption {
public:
    virtual ~SendAfterLoadOption() = default;
    virtual bool sendAfterLoad() const = 0;
};

inline constexpr const char* kDefaultPresetName = "default.zr";

/// A preset file: fifteen selection bytes in file order, then the 32-byte
/// trailer "\n--- Korvan ZR70 Preset File ---"; 47 bytes in all.
class PresetFile {
public:
    PresetFile(ParameterLists& lists, const SendAfterLoadOption& option, ParameterSender& sender,
               UserMessages& messages);

    /// Reads the first fifteen bytes into the lists, then runs send-all when the
    /// box is ticked. 1 when the file opened, 0 (after a message) when not.
    int loadPreset(const QString& path);

    /// Writes the current selections. 1 on success; 0 after "Failed on saving
    /// file", in which case any previous file at `path` is left whole.
    int savePreset(const QString& path);

    /// savePreset("default.zr") in the current directory.
    int saveDefault();

private:
    ParameterLists& lists_;
    const SendAfterLoadOption& option_;
    ParameterSender& sender_;
    UserMessages& messages_;
};

} // namespace zr70
