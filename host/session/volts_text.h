// A signal written as volts in as few figures as read back to it: how a
// host writes an input's value where a reader may type it in again.
#pragma once

#include <string>

namespace host {

// The shortest "%.*g" text of `signal`'s volts that reads back, through
// signalFromVolts, to `signal`: "1.4", "0.3", "-0", "5e-05".
std::string voltsText(float signal);

}  // namespace host
