#pragma once

#include "converter/parameter_set.h"
#include "preset/file_access.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zr70 {

class FileChooser;
class Settings;
class MidiHost;
class MidiOutputPort;
class UserMessages;

/// The panel without its window: the fifteen selections, the "Send sysex afer
/// load" flag, the MIDI output and the settings, and everything the user can
/// do with them. Messages for the user go out through UserMessages, at once
/// and in order; what the window shows changes through the signals.
class Panel : public QObject {
    Q_OBJECT
public:
    enum class StartResult { Running, EndProgram };

    Panel(MidiHost& host, Settings& settings, UserMessages& messages, FileChooser& chooser,
          QObject* parent = nullptr);
    ~Panel() override;

    /// The start-up: the flag is set, the outputs are listed and the stored
    /// one opened, then "default.zr" is loaded (and sent) or the default
    /// selections are taken. EndProgram: end the process with status 0 now.
    StartResult start();

    /// Closes the open output, if any.
    void shutDown();

    const ParameterSet& selections() const { return selections_; }
    bool sendAfterLoad() const { return sendAfterLoad_; }
    const std::vector<std::string>& outputs() const;
    /// The listed output that is shown selected, -1 for none.
    int selectedOutput() const;

    /// The user picked entry `selection` of the parameter's list, also the one
    /// already selected: it is sent.
    void pick(ParameterIndex index, int selection);
    /// The user chose output `position`, also the one already chosen: the open
    /// output closes, the chosen one opens and is stored, or the previous one
    /// comes back when it is busy.
    void chooseOutput(int position);
    void setSendAfterLoad(bool ticked);

    /// Loads a preset file into the selections and sends them when the flag
    /// is set. False, after "Failed on opening <PATH>", when it did not open.
    bool load(const FileName& path);
    /// Writes the selections as a preset file; false after a message.
    bool save(const FileName& path);
    /// save("default.zr") in the current directory.
    bool saveDefault();

    /// Writes the send-all messages of the selections as the SysEx file at
    /// `path`; false after a message.
    bool exportSysEx(const FileName& path);
    /// Sets every list the SysEx file at `path` has a valid message for; the
    /// others get no selection. Sends them when the flag is set, as a load
    /// does. False after a message, with nothing changed.
    bool importSysEx(const FileName& path);

    // The window's context menu.
    void exportChosenSysEx(); ///< "Export SysEx..."
    void importChosenSysEx(); ///< "Import SysEx..."

    // The Presets buttons; "Save As DEFAULT.ZR" is saveDefault().
    void loadChosenPreset(); ///< "Load Preset": the file dialog, the name's test, load()
    void saveChosenPreset(); ///< "Save Preset": the file dialog, the name's test, save()
    void restoreDevice();    ///< "Restore (init) ZR70 device": only a message

    /// Stores the window's client position.
    void storeWindowPosition(int x, int y);

signals:
    void selectionsChanged();
    void sendAfterLoadChanged(bool ticked);
    /// On while a message is being handed to the output.
    void transmitting(bool on);
    /// A message did not reach the output; `why` says what happened.
    void failed(const QString& why);
    /// The outputs are listed; selectedOutput() tells the one shown selected.
    void outputsListed();
    void outputSelected(int position);

private:
    void loaded();
    /// A preset file chosen in the dialog, when the user chose one whose name
    /// passes the extension test; a name that does not is told so.
    std::optional<FileName> choosePreset(bool toSave);
    void sendAll();
    /// Hands the messages to the output and waits until they have left; a
    /// message that did not shows as a failure.
    void transmit(const std::vector<MessageBytes>& messages);

    Settings& settings_;
    UserMessages& messages_;
    FileChooser& chooser_;
    ParameterSet selections_;
    bool sendAfterLoad_ = false;
    std::unique_ptr<MidiOutputPort> port_;
};

} // namespace zr70
