#include "midi/midi_error.h"

namespace zr70 {
namespace {

/// The one text of each error; "%1" stands for the subject.
std::string_view textOf(MidiError error) {
    switch (error) {
    case MidiError::NoSuchOutput:
        return "There is no MIDI output device number %1.";
    case MidiError::OutputGone:
        return "%1 is not there any more.";
    case MidiError::AlreadyOpen:
        return "A MIDI output device is open already.";
    case MidiError::OpenFailed:
        return "%1 could not be opened.";
    case MidiError::NotConnected:
        return "%1 could not be connected.";
    case MidiError::NotOpen:
        return "No MIDI output device is open.";
    case MidiError::SendFailed:
        return "The MIDI message could not be sent.";
    case MidiError::ServerGone:
        return "The JACK server has stopped.";
    case MidiError::ConnectionGone:
        return "%1 is not connected any more.";
    case MidiError::Stalled:
        return "JACK is not taking MIDI messages any more.";
    case MidiError::NotAnswering:
        return "The JACK server is not answering.";
    case MidiError::CloseFailed:
        return "%1 could not be closed.";
    }
    return "The MIDI output failed.";
}

} // namespace

std::string cutErrorText(std::string_view text) {
    std::size_t characters = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80) {
            if (characters == kMaxErrorTextLength) {
                break;
            }
            ++characters;
        }
        ++end;
    }
    return std::string(text.substr(0, end));
}

MidiResult MidiResult::failure(MidiError error, std::string_view subject) {
    std::string text(textOf(error));
    if (const std::size_t at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, subject.empty() ? std::string_view("The MIDI output device") : subject);
    }
    return withText(error, text);
}

MidiResult MidiResult::withText(MidiError error, std::string_view text) {
    return {error, cutErrorText(text)};
}

} // namespace zr70
