#include "app/panel.h"

#include "app/file_chooser.h"
#include "app/qt_text.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "midi/midi_output_port.h"
#include "preset/file_access.h"
#include "preset/preset_file.h"
#include "preset/sysex_file.h"

namespace zr70 {
namespace {

constexpr std::string_view kBusyText = "Selected device is busy";
constexpr std::string_view kCloseFailedText = "Unable to close MIDI OUT";

} // namespace

Panel::Panel(MidiHost& host, Settings& settings, UserMessages& messages, FileChooser& chooser,
             QObject* parent)
    : QObject(parent), settings_(settings), messages_(messages), chooser_(chooser),
      port_(std::make_unique<MidiOutputPort>(host)) {}

Panel::~Panel() = default;

Panel::StartResult Panel::start() {
    // The flag is set before "default.zr" loads, so the start-up load sends.
    setSendAfterLoad(true);
    port_->list();
    if (const std::optional<std::string> none = port_->whyNoOutputs()) {
        messages_.show(*none);
        return StartResult::EndProgram;
    }
    const std::vector<std::string>& names = port_->outputNames();
    const StoredOutput stored = storedOutput(settings_);
    const OutputChoice choice = chooseStoredOutput(stored, names);
    if (const MidiResult opened = port_->startOn(choice.index); !opened.ok()) {
        // The program goes on with the output closed.
        messages_.show(cutErrorText(opened.text));
    }
    // Stored again: an output found by its name at a new place gets its new
    // index, and a name that was not found stays for its output to come back.
    storeStartOutput(settings_, stored, choice, names);
    emit outputsListed();
    // The port is open by now, so a default preset that loads goes to the
    // converter at once.
    if (!load(FileName(PresetFile::kDefaultName))) {
        selections_ = ParameterSet::defaults();
        emit selectionsChanged();
    }
    return StartResult::Running;
}

void Panel::shutDown() {
    // A message that may not have arrived was told about when it was sent;
    // here only a close the system refused counts.
    if (port_->shutDown().error == MidiError::CloseFailed) {
        messages_.show(kCloseFailedText);
    }
}

const std::vector<std::string>& Panel::outputs() const {
    return port_->outputNames();
}

int Panel::selectedOutput() const {
    const int current = port_->currentOutput();
    return current >= 0 && static_cast<std::size_t>(current) < outputs().size() ? current : -1;
}

void Panel::pick(ParameterIndex index, int selection) {
    selections_.set(index, selection);
    // A pick that names no entry leaves no value the converter could be given.
    if (selections_.selection(index) != kNoSelection) {
        transmit({messageFor(index, selections_.selection(index))});
    }
}

void Panel::chooseOutput(int position) {
    switch (port_->changeOutput(position)) {
    case MidiOutputPort::Change::None:
        break;
    case MidiOutputPort::Change::Opened:
        storeOutput(settings_, port_->currentOutput(), port_->outputNames());
        break;
    case MidiOutputPort::Change::Busy:
        // Told while no output is open; the stored output stays as it was.
        messages_.show(kBusyText);
        port_->reopen();
        // The previous output is back, and the list shows it; one that names
        // no entry leaves the list as the user made it.
        if (selectedOutput() >= 0) {
            emit outputSelected(selectedOutput());
        }
        break;
    }
}

void Panel::setSendAfterLoad(bool ticked) {
    if (ticked == sendAfterLoad_) {
        return;
    }
    sendAfterLoad_ = ticked;
    emit sendAfterLoadChanged(ticked);
}

namespace {

constexpr std::string_view kWrongTypeText = "Wrong file type";
constexpr std::string_view kWrongExtensionText = "Wrong filename extension";
constexpr std::string_view kSaveFailedText = "Failed on saving file";
constexpr std::string_view kRestoreText = "This is still not working !!!";

/// The path as the user sees it in "Failed on opening %s": a-z become A-Z and
/// every other character stays, whatever the locale.
QString upperCaseAscii(QString text) {
    for (QChar& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(static_cast<char16_t>(c.unicode() - (u'a' - u'A')));
        }
    }
    return text;
}

} // namespace

bool Panel::load(const FileName& path) {
    const Read<ParameterSet> set = PresetFile::read(path);
    if (!set) {
        messages_.show(
            (QStringLiteral("Failed on opening ") + upperCaseAscii(path.shown())).toStdString());
        return false;
    }
    selections_ = *set;
    loaded();
    return true;
}

bool Panel::save(const FileName& path) {
    if (!PresetFile::write(path, selections_).ok()) {
        messages_.show(kSaveFailedText);
        return false;
    }
    return true;
}

bool Panel::saveDefault() {
    return save(FileName(PresetFile::kDefaultName));
}

std::optional<FileName> Panel::choosePreset(bool toSave) {
    const std::optional<FileName> path =
        toSave ? chooser_.chooseFileToSave() : chooser_.chooseFileToLoad();
    if (path && !PresetFile::hasExtension(*path)) {
        messages_.show(toSave ? kWrongExtensionText : kWrongTypeText);
        return std::nullopt;
    }
    // The whole path goes on, however long: a path cut short would name
    // another file.
    return path;
}

void Panel::loadChosenPreset() {
    if (const std::optional<FileName> path = choosePreset(false)) {
        load(*path);
    }
}

void Panel::saveChosenPreset() {
    if (const std::optional<FileName> path = choosePreset(true)) {
        save(*path);
    }
}

void Panel::restoreDevice() {
    messages_.show(kRestoreText);
}

bool Panel::exportSysEx(const FileName& path) {
    if (!SysExFile::hasExtension(path)) {
        messages_.show(std::string(kWrongExtensionText) + ": " + std::string(SysExFile::kNameRule));
        return false;
    }
    if (const Written written = SysExFile::write(path, selections_); !written.ok()) {
        messages_.show(QStringLiteral("Failed on exporting %1: %2")
                           .arg(path.shown(), written.error)
                           .toStdString());
        return false;
    }
    return true;
}

bool Panel::importSysEx(const FileName& path) {
    if (!SysExFile::hasExtension(path)) {
        messages_.show(std::string(kWrongTypeText) + ": " + std::string(SysExFile::kNameRule));
        return false;
    }
    const Read<SysExFile::Import> imported = SysExFile::read(path);
    if (!imported) {
        messages_.show(QStringLiteral("Failed on importing %1: %2")
                           .arg(path.shown(), imported.error)
                           .toStdString());
        return false;
    }
    selections_ = imported->set;
    loaded();
    return true;
}

void Panel::exportChosenSysEx() {
    if (const std::optional<FileName> path =
            chooser_.chooseFileToSave(FileChooser::FileType::SysEx)) {
        exportSysEx(*path);
    }
}

void Panel::importChosenSysEx() {
    if (const std::optional<FileName> path =
            chooser_.chooseFileToLoad(FileChooser::FileType::SysEx)) {
        importSysEx(*path);
    }
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
    transmit(sendAllMessages(selections_));
}

void Panel::transmit(const std::vector<MessageBytes>& messages) {
    const Transmission sent = port_->transmit(messages, [this](bool on) { emit transmitting(on); });
    if (!sent.result.ok()) {
        emit failed(QString::fromStdString(sent.result.text));
    }
}

} // namespace zr70
