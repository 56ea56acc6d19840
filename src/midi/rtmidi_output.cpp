#include "midi/rtmidi_output.h"

#include "midi/rtmidi_host.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <algorithm>
#include <iostream>
#include <sstream>

namespace zr70 {
namespace {

void ignoreJackText(const char*) {}
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

/// Takes what RtMidi writes to std::cerr while an output is being created,
/// before an error callback can be set on it.
class CerrCapture {
public:
    CerrCapture() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(previous_); }
    CerrCapture(const CerrCapture&) = delete;
    CerrCapture& operator=(const CerrCapture&) = delete;

    bool empty() const { return text_.str().empty(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

} // namespace

void silenceLibraries() {
    static const bool silenced = [] {
        jack_set_error_function(ignoreJackText);
        jack_set_info_function(ignoreJackText);
        snd_lib_error_set_handler(ignoreAlsaError);
        return true;
    }();
    (void)silenced;
}

std::string defaultText(int code) {
    switch (code) {
    case RtMidiHost::kNoSuchDevice:
        return "There is no such MIDI output device.";
    case RtMidiHost::kDeviceGone:
        return "The MIDI output device is not there any more.";
    case RtMidiHost::kAlreadyOpen:
        return "A MIDI output device is open already.";
    case RtMidiHost::kOpenFailed:
        return "The MIDI output device could not be opened.";
    case RtMidiHost::kNotConnected:
        return "The MIDI output device could not be connected.";
    case RtMidiHost::kNotOpen:
        return "No MIDI output device is open.";
    case RtMidiHost::kSendFailed:
        return "The MIDI message could not be sent.";
    case RtMidiHost::kServerGone:
        return "The JACK server has stopped.";
    case RtMidiHost::kDestinationGone:
        return "The JACK destination port has gone.";
    case RtMidiHost::kOutputStalled:
        return "JACK is not taking MIDI messages any more.";
    case RtMidiHost::kCloseFailed:
        return "The MIDI output device could not be closed.";
    case RtMidiHost::kNotAnswering:
        return "The JACK server is not answering.";
    default:
        return "Unknown MIDI error " + std::to_string(code) + ".";
    }
}

HostResult hostFailure(int code, const std::string& text) {
    return {code, cutErrorText(text)};
}

bool RtMidiOutput::compiled(RtMidi::Api api) {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

bool RtMidiOutput::createClient(RtMidi::Api api, const std::string& client) {
    // RtMidi throws, or prints a warning, when the client cannot start; that
    // is all it prints while an output is created.
    CerrCapture quiet;
    try {
        midi_ = std::make_unique<RtMidiOut>(api, client);
    } catch (const RtMidiError&) {
        midi_.reset();
        return false;
    }
    if (!quiet.empty()) {
        midi_.reset();
        return false;
    }
    midi_->setErrorCallback(&RtMidiOutput::rtMidiError, this);
    return true;
}

bool RtMidiOutput::listPorts() {
    try {
        const unsigned int count = midi_->getPortCount();
        for (unsigned int port = 0; port < count; ++port) {
            report_ = {};
            const std::string name = midi_->getPortName(port);
            if (name.empty() || report_.failed) {
                continue;
            }
            const std::string stable = stablePortName(naming_, name);
            ports_.push_back({listed_.size(), name, displayName(stable)});
            listed_.push_back(name);
        }
    } catch (const RtMidiError&) {
        return false;
    }
    return true;
}

std::optional<unsigned int> RtMidiOutput::findPort(const OutputPort& port, std::string& nameNow) {
    report_ = {};
    std::vector<std::string> now;
    const unsigned int count = midi_->getPortCount();
    for (unsigned int number = 0; number < count; ++number) {
        report_ = {};
        std::string name = midi_->getPortName(number);
        now.push_back(report_.failed ? std::string() : std::move(name));
    }
    report_ = {};
    const std::optional<std::size_t> found = findPortAgain(naming_, listed_, port.entry, now);
    if (!found) {
        return std::nullopt;
    }
    nameNow = now[*found];
    return static_cast<unsigned int>(*found);
}

HostResult RtMidiOutput::openPort(unsigned int number) {
    report_ = {};
    midi_->openPort(number, RtMidiHost::kPortName);
    if (report_.failed || !midi_->isPortOpen()) {
        HostResult failed = failWithReport(RtMidiHost::kOpenFailed);
        midi_->closePort();
        report_ = {};
        return failed;
    }
    return {};
}

HostResult RtMidiOutput::sendMessage(std::span<const std::uint8_t> message) {
    report_ = {};
    midi_->sendMessage(message.data(), message.size());
    return report_.failed ? failWithReport(RtMidiHost::kSendFailed) : HostResult{};
}

HostResult RtMidiOutput::closePort() {
    report_ = {};
    midi_->closePort();
    return report_.failed ? failWithReport(RtMidiHost::kCloseFailed) : HostResult{};
}

void RtMidiOutput::rtMidiError(RtMidiError::Type, const std::string& text, void* output) {
    Report& report = static_cast<RtMidiOutput*>(output)->report_;
    if (!report.failed) {
        report.failed = true;
        report.text = text;
    }
}

HostResult RtMidiOutput::failWithReport(int code) {
    const std::string text = report_.failed ? report_.text : defaultText(code);
    report_ = {};
    return hostFailure(code, text);
}

} // namespace zr70
