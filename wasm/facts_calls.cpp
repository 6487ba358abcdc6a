// The module's facts: what the page takes from the C++ rather than copying it.
#include <string>
#include <utility>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "calls.h"
#include "host/session/drive.h"
#include "host/session/volts_text.h"
#include "values.h"
#include "verdict/figures.h"

namespace {

// The limits the page checks its arguments against, with what it takes unless told.
struct Limit {
    const char* name;
    int64_t least, most;
    const char* otherwise;  // the name of the value taken unless told, or null
    int64_t value;
};

constexpr Limit kLimits[] = {
    {"rate", host::kLeastRate, host::kMostRate, "usual", host::kUsualRate},
    {"block", host::kLeastBlock, host::kMostBlock, "usual", host::kUsualBlock},
    {"steps", analysis::kLeastStepsToClassify, host::kMostChartSteps, "chart", host::kChartSteps},
    {"chartSide", host::kLeastChartSide, host::kMostChartSide, nullptr, 0},
};

void writeLimits(verdict::Text& json)
{
    (json << "{\"voltsPerUnit\":").whole(static_cast<int64_t>(host::kVoltsPerUnit));
    (json << ",\"gateHz\":{\"above\":0,\"leastPeriod\":").whole(host::kLeastGatePeriod);
    (json << ",\"usual\":").whole(host::kUsualGateHz) << "}";
    json << ",\"commonRates\":[";
    for (const int32_t rate : host::kCommonRates) (json << (rate == host::kCommonRates[0] ? "" : ",")).whole(rate);
    json << "]";
    for (const Limit& limit : kLimits) {
        (json << ",\"" << limit.name << "\":{\"least\":").whole(limit.least);
        (json << ",\"most\":").whole(limit.most);
        if (limit.otherwise) (json << ",\"" << limit.otherwise << "\":").whole(limit.value);
        json << "}";
    }
}

void writeVerdictLayout(verdict::Text& json)
{
    json << ",\"outcomes\":[";
    for (int32_t code = 0; code <= static_cast<int32_t>(analysis::Outcome::Chaos); ++code)
        json << (code ? ",\"" : "\"") << analysis::outcomeName(static_cast<analysis::Outcome>(code)) << "\"";
    (json << "],\"periodLimit\":").whole(analysis::kPeriodLimit);
    (json << ",\"verdict\":{\"size\":").whole(sizeof(web::PointVerdict)) << ",\"fields\":[";
    for (const web::VerdictField& field : web::kVerdictFields) {
        (json << (&field == web::kVerdictFields ? "{" : ",{") << "\"name\":\"" << field.name << "\",\"offset\":")
            .whole(static_cast<int64_t>(field.offset));
        json << ",\"type\":\"" << (field.isDouble ? "float64" : "int32") << "\"}";
    }
    json << "]}";
}

void writePictureColours(verdict::Text& json)
{
    const std::pair<const char*, verdict::Colour> colours[] = {
        {"background", verdict::kPlotBackground}, {"frame", verdict::kFrame},   {"dimText", verdict::kDimText},
        {"zeroLine", verdict::kZeroLine},         {"xTrace", verdict::kXTrace}, {"yTrace", verdict::kYTrace}};
    json << ",\"pictureColours\":{";
    for (const auto& [name, colour] : colours)
        (json << (name == colours[0].first ? "\"" : ",\"") << name << "\":").whole(web::packed(colour));
    json << "}";
}

// What the module declares, read through GetPinProperties as any host reads
// it, from an instance made for the purpose. The texts are the module's own
// and outlive the instance.
const std::vector<sep::PinProperties>& declarations()
{
    static const std::vector<sep::PinProperties> pins = [] {
        web::LinkedInstance instance;
        return instance.valid() && instance.connect(1) ? instance.declarations() : std::vector<sep::PinProperties>{};
    }();
    return pins;
}

const char* directionName(int32_t direction)
{
    switch (direction) {
    case sep::Input: return "input";
    case sep::Output: return "output";
    case sep::Setting: return "setting";
    default: return "other";
    }
}

const char* typeName(int32_t dataType)
{
    switch (dataType) {
    case sep::Enum: return "list";
    case sep::Audio: return "audio";
    default: return "other";
    }
}

verdict::Text pinJson(const sep::PinProperties& pin)
{
    verdict::Text json;
    json << "{\"name\":";
    web::writeString(json, pin.name);
    json << ",\"direction\":\"" << directionName(pin.direction) << "\",\"type\":\"" << typeName(pin.dataType)
         << "\",\"default\":";
    web::writeString(json, pin.defaultText);
    json << ",\"range\":";
    web::writeString(json, pin.rangeText);
    json << "}";
    return json;
}

}  // namespace

const char* tessel_facts()
{
    static const verdict::Text json = [] {
        verdict::Text facts;
        writeLimits(facts);
        writeVerdictLayout(facts);
        writePictureColours(facts);
        facts << "}";
        return facts;
    }();
    return json.c_str();
}

const char* tessel_pin(int32_t index)
{
    const std::vector<sep::PinProperties>& pins = declarations();
    if (index < 0 || static_cast<size_t>(index) >= pins.size()) return nullptr;
    static verdict::Text json;
    json = pinJson(pins[size_t(index)]);
    return json.c_str();
}

float tessel_signal_of(double volts) { return host::signalFromVolts(volts); }

const char* tessel_volts_text(float signal)
{
    static std::string text;
    text = host::voltsText(signal);
    return text.c_str();
}

double tessel_point_volts(double low, double high, int32_t count, int32_t i)
{
    return host::pointVolts(low, high, count, i);
}
