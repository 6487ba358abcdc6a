// What a recording of the sound playing takes besides the outputs: the
// samples each input pin was fed, so that a file of them replays the sound
// through tessel-render, and the events heard, since the tool announces
// every status once, at its start, and a recording cannot carry an event.
#include "calls.h"
#include "generator/map_pins.h"
#include "host/session/drive.h"

const float* tessel_input_samples(web::HostedMap* instance, int32_t pin)
{
    return instance && pin >= 0 && pin < tessel::XPin ? instance->inputSamples(pin) : nullptr;
}

double tessel_events_sent(web::HostedMap* instance)
{
    return instance ? static_cast<double>(instance->eventsSent()) : 0.0;
}

double tessel_most_take_seconds() { return host::kMostTakeSeconds; }
