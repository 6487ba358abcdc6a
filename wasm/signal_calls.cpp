// Inputs that move: signal texts in tessel-render's grammar, read from where
// JavaScript writes them, and patched into an instance.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calls.h"
#include "values.h"

namespace {

char signalText[256];

std::string_view givenText()
{
    signalText[sizeof signalText - 1] = '\0';
    return signalText;
}

host::SignalParse parsedText(int32_t sampleRate, double takeSamples)
{
    return host::parseSignal(givenText(), {sampleRate, web::takeLength(takeSamples)});
}

const char* errorText(const std::string& error)
{
    static std::string kept;
    kept = error;
    return kept.empty() ? nullptr : kept.c_str();
}

bool isWave(host::SignalShape shape)
{
    return shape == host::SignalShape::Sine || shape == host::SignalShape::Triangle ||
           shape == host::SignalShape::Square || shape == host::SignalShape::Saw;
}

}  // namespace

char* tessel_signal_text() { return signalText; }

int32_t tessel_signal_text_size() { return sizeof signalText; }

const char* tessel_signal_error(int32_t sampleRate, double takeSamples)
{
    return errorText(parsedText(sampleRate, takeSamples).error);
}

const float* tessel_signal_samples(int32_t sampleRate, double takeSamples, double every, int32_t count)
{
    const host::SignalParse parsed = parsedText(sampleRate, takeSamples);
    if (!parsed.ok() || count < 1) return nullptr;
    static std::vector<float> samples;
    samples.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) samples[size_t(i)] = parsed.signal.sampleAt(static_cast<int64_t>(every * i));
    return samples.data();
}

const char* tessel_signal_fields(int32_t sampleRate, double takeSamples)
{
    const host::SignalParse parsed = parsedText(sampleRate, takeSamples);
    if (!parsed.ok()) return nullptr;
    static verdict::Text json;
    json = {};
    json << "{\"shape\":\"" << host::signalShapeName(parsed.written) << "\"";
    const std::pair<const char*, double> fields[] = {{"centre", parsed.wave.centre},
                                                     {"depth", parsed.wave.depth},
                                                     {"hz", parsed.wave.hz},
                                                     {"phase", parsed.wave.phase}};
    for (const auto& [name, value] : fields) {
        if (!isWave(parsed.written)) break;
        json << ",\"" << name << "\":";
        web::writeNumber(json, value);
    }
    json << "}";
    return json.c_str();
}

const char* tessel_set_signal(web::HostedMap* instance, int32_t pin, double takeSamples)
{
    if (!instance) return nullptr;
    return errorText(instance->setSignal(pin, givenText(), takeSamples == 0.0 ? 0 : web::takeLength(takeSamples)));
}

void tessel_set_reset_hz(web::HostedMap* instance, double hz)
{
    if (instance) instance->setResetHz(hz);
}

double tessel_restarts(web::HostedMap* instance) { return instance ? static_cast<double>(instance->restarts()) : 0.0; }

int32_t tessel_streams(web::HostedMap* instance, int32_t pin) { return instance && instance->streams(pin) ? 1 : 0; }
