#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zr70 {

/// How an API names its ports. ALSA sequencer names end in " client:port"
/// numbers ("Midi Through:Midi Through Port-0 14:0") that change when a device
/// is plugged in again; JACK names ("dump:input") carry no numbers.
enum class PortNaming { AlsaNumbered, Plain };

/// The ALSA sequencer address at the end of a port name.
struct AlsaAddress {
    int client;
    int port;
};

/// The " client:port" numbers at the end of `name`, if it has them.
std::optional<AlsaAddress> alsaAddress(std::string_view name);

/// `name` without the numbers that `naming` puts at its end; two identical
/// devices have the same stable name.
std::string stablePortName(PortNaming naming, std::string_view name);

/// What the device list shows for the ALSA sequencer's port `name`, number
/// `number` in the sequencer's order: "ALSA: Midi Through Port-0" for
/// "Midi Through:Midi Through Port-0 14:0", where the port repeats its
/// client's name, without the numbers, which change; for a port whose name
/// could not be read (empty), an entry that says so, so that every later
/// entry keeps its number.
std::string alsaOutputName(std::size_t number, std::string_view name);

/// Where entry `entry` of `listed` (the API's port names when the device list
/// was made) is among `now` (its port names at this moment, in the API's
/// order), or nothing when the port has gone.
///
/// The port with the very same name, numbers and all, is the one. When that
/// has gone the device may have been plugged in again under new numbers: the
/// listed ports of the same stable name that have gone take, in listed order,
/// the ports of that stable name that were not listed, in their order now. A
/// port still listed under its own numbers is never handed to another entry,
/// so of two identical devices each entry keeps opening its own.
std::optional<std::size_t> findPortAgain(PortNaming naming, std::span<const std::string> listed,
                                         std::size_t entry, std::span<const std::string> now);

} // namespace zr70
