#include "app/panel_controller.h"

#include "app/settings_profile.h"

namespace zr70 {

PanelController::PanelController(ParameterLists& lists, const SendAfterLoadOption& option,
                                 MidiHost& host, IntegerSettings& settings, UserMessages& messages,
                                 TransmitFeedback& feedback, FileChooser& chooser)
    : lists_(lists), settings_(settings), port_(host, settings, messages),
      sender_(lists, port_, feedback), presetFile_(lists, option, sender_, messages),
      commands_(presetFile_, chooser, messages) {}

MidiOutputPort::StartResult PanelController::startUp(DeviceList& devices) {
    if (port_.start(devices) == MidiOutputPort::StartResult::EndProgram) {
        return MidiOutputPort::StartResult::EndProgram;
    }
    // The port is open and the box ticked by now, so a default preset that
    // loads goes to the converter at once.
    if (presetFile_.loadPreset(QString::fromLatin1(kDefaultPresetName)) == 0) {
        applyDefaultSelections(lists_);
    }
    return MidiOutputPort::StartResult::Running;
}

void PanelController::parameterPicked(ParameterIndex index) {
    sender_.sendOne(index);
}

void PanelController::deviceSelected(int position) {
    port_.changeDevice(position);
}

void PanelController::windowMoved(int x, int y) {
    storeWindowPosition(settings_, x, y);
}

void PanelController::windowDestroyed() {
    port_.shutDown();
}

} // namespace zr70
