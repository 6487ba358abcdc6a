// What a recording of the sound playing takes besides the outputs: the
// samples each input pin was fed, so that a file of them replays the sound
// through tessel-render, and the events heard, since the tool announces
// every status once, at its start, and a recording cannot carry an event.
#include <cstdint>

#include "generator/map_pins.h"
#include "host/session/drive.h"
#include "web_host.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(name)))

using web::HostedMap;

// What input `pin` was fed in the last block rendered (as many samples as it
// rendered), until the next render; null for no input pin.
WEB_EXPORT("tessel_input_samples") const float* inputSamples(HostedMap* instance, int32_t pin)
{
    return instance && pin >= 0 && pin < tessel::XPin ? instance->inputSamples(pin) : nullptr;
}

// A count, exact in a double (JavaScript's number).
WEB_EXPORT("tessel_events_sent") double eventsSent(HostedMap* instance)
{
    return instance ? static_cast<double>(instance->eventsSent()) : 0.0;
}

// The longest take tessel-render renders: a recording stops there.
WEB_EXPORT("tessel_most_take_seconds") double mostTakeSeconds() { return host::kMostTakeSeconds; }
