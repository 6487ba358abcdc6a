// The map module's face to a host: its pin numbers and the items of its Mode
// list. Hosts, tools and tests address the module's pins through these.
#pragma once

#include <cstdint>

namespace tessel {

// The host's pin numbers, in declaration order.
enum MapPin : int32_t { GatePin, ResetPin, X0Pin, Y0Pin, APin, BPin, XPin, YPin, ModePin, NormalizePin, MapPinCount };

// Items of the Mode list; any other value never iterates.
enum MapMode : int16_t { Continuous = 0, Gated = 1 };

}  // namespace tessel
