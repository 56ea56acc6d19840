#include "app/panel.h"

#include "app/settings_profile.h"
#include "midi/device_list.h"
#include "midi/midi_output_port.h"
#include "preset/preset_commands.h"
#include "preset/preset_file.h"

namespace zr70 {

/// The outputs as the port lists them, and the one it selects.
class Panel::Outputs : public DeviceList {
public:
    explicit Outputs(Panel& panel) : panel_(panel) {}

    void append(const std::string& name) override {
        names.push_back(name);
        listed_ = false;
    }
    void select(int position) override {
        if (!listed_) {
            listed_ = true;
            emit panel_.outputsListed();
        }
        if (position < 0 || position >= static_cast<int>(names.size())) {
            return;
        }
        selection = position;
        emit panel_.outputSelected(position);
    }
    int selected() const override { return selection; }

    std::vector<std::string> names;
    int selection = -1;

private:
    Panel& panel_;
    bool listed_ = true;
};

Panel::Panel(MidiHost& host, IntegerSettings& settings, UserMessages& messages,
             FileChooser& chooser, QObject* parent)
    : QObject(parent), settings_(settings), outputs_(std::make_unique<Outputs>(*this)),
      port_(std::make_unique<MidiOutputPort>(host, settings, messages)),
      presetFile_(std::make_unique<PresetFile>(selections_, messages)),
      commands_(std::make_unique<PresetCommands>(*presetFile_, chooser, messages)) {}

Panel::~Panel() = default;

Panel::StartResult Panel::start() {
    // The flag is set before "default.zr" loads, so the start-up load sends.
    setSendAfterLoad(true);
    if (port_->start(*outputs_) == MidiOutputPort::StartResult::EndProgram) {
        return StartResult::EndProgram;
    }
    // The port is open by now, so a default preset that loads goes to the
    // converter at once.
    if (load(QString::fromLatin1(kDefaultPresetName)) == 0) {
        selections_ = ParameterSet::defaults();
        emit selectionsChanged();
    }
    return StartResult::Running;
}

void Panel::shutDown() {
    port_->shutDown();
}

const std::vector<std::string>& Panel::outputs() const {
    return outputs_->names;
}

int Panel::selectedOutput() const {
    return outputs_->selection;
}

void Panel::pick(ParameterIndex index, int selection) {
    selections_.set(index, selection);
    // A pick that names no entry leaves no value the converter could be given.
    if (selections_.selection(index) != kNoSelection) {
        transmit(messageFor(index, selections_.selection(index)));
    }
}

void Panel::chooseOutput(int position) {
    if (position >= 0 && position < static_cast<int>(outputs_->names.size())) {
        outputs_->selection = position;
    }
    port_->changeDevice(position);
}

void Panel::setSendAfterLoad(bool ticked) {
    if (ticked == sendAfterLoad_) {
        return;
    }
    sendAfterLoad_ = ticked;
    emit sendAfterLoadChanged(ticked);
}

int Panel::load(const QString& path) {
    if (presetFile_->loadPreset(path) == 0) {
        return 0;
    }
    loaded();
    return 1;
}

int Panel::save(const QString& path) {
    return presetFile_->savePreset(path);
}

int Panel::saveDefault() {
    return presetFile_->saveDefault();
}

void Panel::loadChosenPreset() {
    if (commands_->loadPreset()) {
        loaded();
    }
}

void Panel::saveChosenPreset() {
    commands_->savePreset();
}

void Panel::restoreDevice() {
    commands_->restoreDevice();
}

void Panel::storeWindowPosition(int x, int y) {
    zr70::storeWindowPosition(settings_, x, y);
}

void Panel::loaded() {
    emit selectionsChanged();
    if (sendAfterLoad_) {
        sendAll();
    }
}

void Panel::sendAll() {
    // A refused message does not stop the others.
    for (const MessageBytes& message : sendAllMessages(selections_)) {
        transmit(message);
    }
}

void Panel::transmit(const MessageBytes& message) {
    emit transmitting(true);
    if (port_->send(message) != 0) {
        emit failed();
    }
    emit transmitting(false);
}

} // namespace zr70
