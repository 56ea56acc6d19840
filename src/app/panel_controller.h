#pragma once

#include "converter/parameter_sender.h"
#include "midi/midi_output_port.h"
#include "preset/preset_commands.h"
#include "preset/preset_file.h"

namespace zr70 {

/// Everything behind the main window: the message sender, the MIDI port, the
/// preset file and the preset commands, wired to the narrow interfaces the
/// pages and the window implement.
class PanelController {
public:
    PanelController(ParameterLists& lists, const SendAfterLoadOption& option, MidiHost& host,
                    IntegerSettings& settings, UserMessages& messages, TransmitFeedback& feedback,
                    FileChooser& chooser);

    /// The start-up steps after the pages exist and the box is ticked: MIDI
    /// start-up, then "default.zr" (sent with the box ticked) or the default
    /// selections. EndProgram means: end the process with status 0 now.
    MidiOutputPort::StartResult startUp(DeviceList& devices);

    void parameterPicked(ParameterIndex index); ///< a user pick in a list: send-one
    void deviceSelected(int position);          ///< a user selection in the device list
    void windowMoved(int x, int y);             ///< the client area moved on screen
    void windowDestroyed();                     ///< the port closes

    ParameterSender& sender() { return sender_; }
    MidiOutputPort& port() { return port_; }
    PresetFile& presetFile() { return presetFile_; }
    PresetCommands& presetCommands() { return commands_; }

private:
    ParameterLists& lists_;
    IntegerSettings& settings_;
    MidiOutputPort port_;
    ParameterSender sender_;
    PresetFile presetFile_;
    PresetCommands commands_;
};

} // namespace zr70
