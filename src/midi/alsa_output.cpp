// The one file that talks to RtMidi.

#include "midi/alsa_output.h"

#include "midi/port_names.h"

#include <alsa/asoundlib.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <optional>
#include <sstream>
#include <utility>

namespace zr70 {
namespace {

constexpr const char* kClientName = "zr70";
constexpr const char* kPortName = "out";

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

/// Takes what RtMidi writes to std::cerr while its client is being created,
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

/// A sequencer client of our own beside RtMidi's: a message to a port that
/// has gone (a USB device unplugged) leaves RtMidi's without an error, as the
/// sequencer takes events with no one subscribed.
class Watch {
public:
    Watch() = default;
    ~Watch() {
        if (info_ != nullptr) {
            snd_seq_port_info_free(info_);
        }
        if (seq_ != nullptr) {
            snd_seq_close(seq_);
        }
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    /// True only when the sequencer says for certain that no port has
    /// `address`; without a client of our own the port counts as there.
    bool gone(AlsaAddress address) {
        if (!started_) {
            started_ = true;
            if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
                seq_ = nullptr;
            } else if (snd_seq_port_info_malloc(&info_) < 0) {
                info_ = nullptr;
            }
        }
        if (seq_ == nullptr || info_ == nullptr) {
            return false;
        }
        const int result = snd_seq_get_any_port_info(seq_, address.client, address.port, info_);
        // ENXIO: the client has gone; ENOENT: it is there, but not the port.
        return result == -ENXIO || result == -ENOENT;
    }

private:
    bool started_ = false;
    snd_seq_t* seq_ = nullptr;
    snd_seq_port_info_t* info_ = nullptr;
};

} // namespace

struct AlsaOutput::Impl {
    /// A port as it was listed.
    struct Port {
        std::string name;  ///< the whole name, numbers and all
        std::string shown; ///< what the device list shows
    };

    Impl() {
        // alsa-lib prints its own complaints (no sequencer, for one).
        snd_lib_error_set_handler(ignoreAlsaError);
        std::vector<RtMidi::Api> apis;
        RtMidi::getCompiledApi(apis);
        if (std::find(apis.begin(), apis.end(), RtMidi::LINUX_ALSA) == apis.end()) {
            return;
        }
        // RtMidi throws, or prints a warning, when there is no sequencer;
        // that is all it prints while its client is made.
        CerrCapture quiet;
        try {
            midi = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        } catch (const RtMidiError&) {
            midi.reset();
            return;
        }
        if (!quiet.empty()) {
            midi.reset();
            return;
        }
        midi->setErrorCallback(&Impl::rtMidiError, this);
        const std::vector<std::string> names = portsNow();
        for (std::size_t number = 0; number < names.size(); ++number) {
            ports.push_back({names[number], alsaOutputName(number, names[number])});
            listedNames.push_back(names[number]);
            outputs.push_back(ports.back().shown);
        }
    }

    /// Every port's name now, in RtMidi's order; "" for one whose name
    /// cannot be read.
    std::vector<std::string> portsNow() {
        std::vector<std::string> now;
        const unsigned int count = midi->getPortCount();
        for (unsigned int number = 0; number < count; ++number) {
            report = {};
            std::string name = midi->getPortName(number);
            now.push_back(report.failed ? std::string() : std::move(name));
        }
        report = {};
        return now;
    }

    /// RtMidi reports errors and warnings here, never on stderr or by throwing.
    static void rtMidiError(RtMidiError::Type, const std::string& text, void* impl) {
        Report& report = static_cast<Impl*>(impl)->report;
        if (!report.failed) {
            report.failed = true;
            report.text = text;
        }
    }

    /// The failure RtMidi reported, or `error` with its own text.
    MidiResult reported(MidiError error, const std::string& subject) {
        MidiResult result = report.failed ? MidiResult::withText(error, report.text)
                                          : MidiResult::failure(error, subject);
        report = {};
        return result;
    }

    struct Report {
        bool failed = false;
        std::string text;
    };

    std::unique_ptr<RtMidiOut> midi;
    Report report;
    std::vector<Port> ports;
    std::vector<std::string> listedNames; ///< the ports' whole names, for finding them again
    std::vector<std::string> outputs;
    std::optional<std::size_t> open;        ///< the entry of the open port
    std::optional<AlsaAddress> destination; ///< where it sends
    std::size_t sent = 0;                   ///< since the last flush
    Watch watch;
};

AlsaOutput::AlsaOutput() : impl_(std::make_unique<Impl>()) {}

AlsaOutput::~AlsaOutput() = default;

OutputList AlsaOutput::outputs() {
    return {impl_->outputs, {}};
}

MidiResult AlsaOutput::open(int entry) {
    Impl& impl = *impl_;
    if (impl.open) {
        return MidiResult::failure(MidiError::AlreadyOpen);
    }
    if (entry < 0 || static_cast<std::size_t>(entry) >= impl.ports.size() || !impl.midi) {
        return MidiResult::failure(MidiError::NoSuchOutput, std::to_string(entry));
    }
    const Impl::Port& port = impl.ports[static_cast<std::size_t>(entry)];
    try {
        // Ports come and go and are numbered anew, so the number from the
        // listing is never trusted.
        const std::vector<std::string> now = impl.portsNow();
        const std::optional<std::size_t> found =
            port.name.empty() ? std::nullopt
                              : findPortAgain(PortNaming::AlsaNumbered, impl.listedNames,
                                              static_cast<std::size_t>(entry), now);
        if (!found) {
            return MidiResult::failure(MidiError::OutputGone, port.shown);
        }
        impl.report = {};
        impl.midi->openPort(static_cast<unsigned int>(*found), kPortName);
        if (impl.report.failed || !impl.midi->isPortOpen()) {
            MidiResult failed = impl.reported(MidiError::OpenFailed, port.shown);
            impl.midi->closePort();
            impl.report = {};
            return failed;
        }
        impl.open = static_cast<std::size_t>(entry);
        impl.destination = alsaAddress(now[*found]);
        impl.sent = 0;
        return {};
    } catch (const std::exception& error) {
        return MidiResult::withText(MidiError::OpenFailed, error.what());
    }
}

MidiResult AlsaOutput::send(std::span<const std::uint8_t> message) {
    Impl& impl = *impl_;
    if (!impl.open) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    const std::string& shown = impl.ports[*impl.open].shown;
    if (impl.destination && impl.watch.gone(*impl.destination)) {
        return MidiResult::failure(MidiError::OutputGone, shown);
    }
    try {
        impl.report = {};
        impl.midi->sendMessage(message.data(), message.size());
        if (impl.report.failed) {
            return impl.reported(MidiError::SendFailed, shown);
        }
    } catch (const std::exception& error) {
        return MidiResult::withText(MidiError::SendFailed, error.what());
    }
    // RtMidi has drained it into the sequencer, which delivers it at once.
    ++impl.sent;
    return {};
}

Delivery AlsaOutput::flush() {
    Impl& impl = *impl_;
    Delivery delivery{std::exchange(impl.sent, 0), 0, {}};
    if (!impl.open) {
        delivery.result = MidiResult::failure(MidiError::NotOpen);
        return delivery;
    }
    delivery.left = delivery.sent;
    if (impl.destination && impl.watch.gone(*impl.destination)) {
        delivery.result = MidiResult::failure(MidiError::OutputGone, impl.ports[*impl.open].shown);
    }
    return delivery;
}

MidiResult AlsaOutput::close() {
    Impl& impl = *impl_;
    if (!impl.open) {
        return MidiResult::failure(MidiError::NotOpen);
    }
    const std::string shown = impl.ports[*impl.open].shown;
    impl.open.reset();
    impl.destination.reset();
    try {
        impl.report = {};
        impl.midi->closePort();
        return impl.report.failed ? impl.reported(MidiError::CloseFailed, shown) : MidiResult{};
    } catch (const std::exception& error) {
        return MidiResult::withText(MidiError::CloseFailed, error.what());
    }
}

} // namespace zr70
