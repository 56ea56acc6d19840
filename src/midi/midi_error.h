#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zr70 {

/// Every way a MIDI output can fail, whichever system it belongs to.
enum class MidiError {
    NoSuchOutput,   ///< the number names no output of the list
    OutputGone,     ///< the output has left the system since it was listed
    AlreadyOpen,    ///< another output is open
    OpenFailed,     ///< the system could not open the output
    NotConnected,   ///< our port opened, but the connection to the output failed
    NotOpen,        ///< no output is open
    SendFailed,     ///< the system refused the message
    ServerGone,     ///< the JACK server has stopped
    ConnectionGone, ///< the output, or our connection to it, has gone
    Stalled,        ///< JACK has stopped taking messages from our port
    NotAnswering,   ///< the JACK server is there but does not answer
    CloseFailed,    ///< the system could not close the output
};

/// Longest error text the program shows.
inline constexpr std::size_t kMaxErrorTextLength = 98;

/// The first kMaxErrorTextLength characters of a UTF-8 text; a character is
/// never cut in half.
std::string cutErrorText(std::string_view text);

/// What an operation on a MIDI output came to: nothing for success, else the
/// error and the text the user is shown, at most kMaxErrorTextLength long.
struct MidiResult {
    std::optional<MidiError> error;
    std::string text;

    bool ok() const { return !error; }

    /// The error with the program's text for it; `subject` (an output's
    /// name, a number) goes where the text names one.
    static MidiResult failure(MidiError error, std::string_view subject = {});
    /// The error with a text the MIDI system gave for it.
    static MidiResult withText(MidiError error, std::string_view text);
};

} // namespace zr70
