#pragma once

#include "converter/parameter_lists.h"
#include "converter/parameter_sender.h"
#include "converter/user_messages.h"

#include <QByteArray>
#include <QString>

#include <string_view>

class QIODevice;

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

    static constexpr int kSelectionByteCount = 15;
    static constexpr std::string_view kTrailer = "\n--- Korvan ZR70 Preset File ---";
    static constexpr int kFileSize = kSelectionByteCount + static_cast<int>(kTrailer.size());

    /// The 47 bytes a save writes for the lists' current selections; a list
    /// without a selection is stored as FFh.
    static QByteArray encode(const ParameterLists& lists);

    /// Reads up to fifteen bytes from `in` into the lists, in file order. A byte
    /// that names no entry of its list, and every list past the end of the data,
    /// leaves that list without a selection. Sends nothing.
    static void decode(QIODevice& in, ParameterLists& lists);

private:
    ParameterLists& lists_;
    const SendAfterLoadOption& option_;
    ParameterSender& sender_;
    UserMessages& messages_;
};

} // namespace zr70
