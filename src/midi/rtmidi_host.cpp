#include "midi/rtmidi_host.h"

#include "midi/rtmidi_output.h"

#include <exception>
#include <vector>

namespace zr70 {

struct RtMidiHost::Impl {
    /// A device of the list: a port of one of the outputs.
    struct Device {
        std::size_t output; ///< index into the outputs
        std::size_t port;   ///< index into the output's ports
    };

    explicit Impl(Apis apis) {
        silenceLibraries();
        if (apis != Apis::JackOnly) {
            add(makeAlsaOutput());
        }
        if (apis != Apis::AlsaOnly) {
            add(makeJackOutput());
        }
    }

    void add(std::unique_ptr<RtMidiOutput> output) {
        if (!output) {
            return;
        }
        for (std::size_t port = 0; port < output->ports().size(); ++port) {
            devices.push_back({outputs.size(), port});
        }
        outputs.push_back(std::move(output));
    }

    bool exists(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < devices.size();
    }

    RtMidiOutput& outputOf(int index) {
        return *outputs[devices[static_cast<std::size_t>(index)].output];
    }

    const OutputPort& portOf(int index) {
        const Device& device = devices[static_cast<std::size_t>(index)];
        return outputs[device.output]->ports()[device.port];
    }

    HostResult open(int index) {
        if (current >= 0) {
            return hostFailure(kAlreadyOpen, defaultText(kAlreadyOpen));
        }
        if (!exists(index)) {
            return hostFailure(kNoSuchDevice, "There is no MIDI output device number " +
                                                  std::to_string(index) + ".");
        }
        HostResult opened = outputOf(index).open(portOf(index));
        if (opened.ok()) {
            current = index;
        }
        return opened;
    }

    HostResult send(std::span<const std::uint8_t> message) {
        if (current < 0) {
            return hostFailure(kNotOpen, defaultText(kNotOpen));
        }
        return outputOf(current).send(portOf(current), message);
    }

    HostResult close() {
        if (current < 0) {
            return hostFailure(kNotOpen, defaultText(kNotOpen));
        }
        const int closing = current;
        current = -1;
        return outputOf(closing).close();
    }

    std::vector<std::unique_ptr<RtMidiOutput>> outputs;
    std::vector<Device> devices;
    int current = -1; ///< the open device, -1 when none
};

RtMidiHost::RtMidiHost(Apis apis) : impl_(std::make_unique<Impl>(apis)) {}

RtMidiHost::~RtMidiHost() = default;

int RtMidiHost::deviceCount() {
    return static_cast<int>(impl_->devices.size());
}

int RtMidiHost::describeDevice(int index, std::string& name) {
    if (!impl_->exists(index)) {
        return kNoSuchDevice;
    }
    name = impl_->portOf(index).display;
    return 0;
}

HostResult RtMidiHost::openDevice(int index) {
    try {
        return impl_->open(index);
    } catch (const std::exception& error) {
        return hostFailure(kOpenFailed, error.what());
    }
}

HostResult RtMidiHost::sendLongMessage(std::span<const std::uint8_t> message) {
    try {
        return impl_->send(message);
    } catch (const std::exception& error) {
        return hostFailure(kSendFailed, error.what());
    }
}

HostResult RtMidiHost::closeDevice() {
    try {
        return impl_->close();
    } catch (const std::exception& error) {
        return hostFailure(kCloseFailed, error.what());
    }
}

} // namespace zr70
