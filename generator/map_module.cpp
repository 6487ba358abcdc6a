#include "map_module.h"

#include <algorithm>
#include <limits>

namespace tessel {

using namespace sep;

namespace {

const char kName[] = "Tessel Map";
const char kIdentifier[] = "ZQ Tessel Map2";
const char kAbout[] =
    "Tessel Map v1.2\n"
    "By the Tessel Map developers\n"
    "Questions and reports: the Tessel Map project page\n"
    "\n"
    "Equation:\n"
    "\tx(n+1)=1+y(n)-a*[x(n)]^2\n"
    "\ty(n+1)=b*x(n)\n"
    "\n"
    "Quick Help:\n"
    "Gate - Does one iteration per positive zero crossing\n"
    "Reset - Restart iteration at x0, y0\n"
    "x0 - initial x\n"
    "y0 - initial y\n"
    "a - constant (usually 1.4)\n"
    "b - constant (usually 0.3)\n"
    "Mode -\n"
    "\t'Continuous' iterates at sample rate\n"
    "\t'Gated' iterates upon gate signal\n"
    "Normalize -\n"
    "\tIf 'On', amplifies output to around +5V/-5V\n"
    "\tNote: 'y' is usually less than 'x'";

// Signal path constants, in the signal scale (1.0 = 10 V). They are floats on
// purpose: the arithmetic widens them exactly, so 0.1 is the float nearest 0.1.
constexpr float kConstantTerm = 0.1f;     // the map's "1", i.e. 1 V
constexpr float kQuadraticFactor = 100.0f;
constexpr float kYFactor = 10.0f;
constexpr float kUpperBound = 0.2f;       // 2 V: a step reaching it stops the map
constexpr float kLowerBound = -0.2f;
constexpr float kNormalizeGain = 3.33f;   // about +-5 V out of the attractor's range
constexpr float kEdgeThreshold = 0.0f;

}  // namespace

struct MapModule::PinDeclaration {
    const char* name;
    int32_t direction;
    int32_t dataType;
    const char* defaultText;  // null: not written
    const char* rangeText;    // null: not written
    void* (*variable)(MapModule&);
};

constexpr int32_t kSettingDirection = 3;  // how the host files the Normalize switch

const MapModule::PinDeclaration MapModule::pinDeclarations[MapPinCount] = {
    {"Gate", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.gateIn; }},
    {"Reset", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.resetIn; }},
    {"x0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.x0In; }},
    {"y0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.y0In; }},
    {"a", Input, Audio, "1.4", "4,-1,4,-1", [](MapModule& m) -> void* { return &m.aIn; }},
    {"b", Input, Audio, "0.3", "1,-1,1,-1", [](MapModule& m) -> void* { return &m.bIn; }},
    {"x", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.xOut; }},
    {"y", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.yOut; }},
    {"Mode", Input, Enum, "0", "Continuous,Gated", [](MapModule& m) -> void* { return &m.mode; }},
    {"Normalize", kSettingDirection, Enum, "1", "Off,On",
     [](MapModule& m) -> void* { return &m.normalize; }},
};

MapModule::MapModule(HostCallback callback, int32_t hostHandle) : ModuleBase(callback, hostHandle) {}

bool MapModule::fillModuleTexts(ModuleProperties* properties)
{
    properties->name = kName;
    properties->identifier = kIdentifier;
    properties->about = kAbout;
    return true;
}

bool MapModule::getPinProperties(int32_t index, PinProperties* properties)
{
    if (static_cast<uint32_t>(index) >= MapPinCount) return false;
    const PinDeclaration& row = pinDeclarations[index];
    properties->variable = row.variable(*this);
    properties->direction = row.direction;
    properties->dataType = row.dataType;
    properties->name = row.name;
    if (row.defaultText) properties->defaultText = row.defaultText;
    if (row.rangeText) properties->rangeText = row.rangeText;
    return true;
}

// --- activity -----------------------------------------------------------

void MapModule::open()
{
    ModuleBase::open();
    setProcess(&MapModule::processMap);
    loadInitial = true;
    running = true;
    prevReset = 0.0f;
    prevGate = 0.0f;
    setOutputStatus(XPin, getSampleClock(), Streaming);
    setOutputStatus(YPin, getSampleClock(), Streaming);
}

void MapModule::onPlugStateChange(Pin*)
{
    const int32_t x0Status = pinStatus(X0Pin);
    const int32_t y0Status = pinStatus(Y0Pin);
    const int32_t aStatus = pinStatus(APin);
    const int32_t bStatus = pinStatus(BPin);

    int32_t outputStatus = Streaming;
    if (mode == Gated) {
        outputStatus = pinStatus(GatePin);
        if (pinStatus(ResetPin) > outputStatus) outputStatus = Streaming;
    }

    // A streaming initial value or constant restarts the map from x0 and y0.
    if (std::max({aStatus, bStatus, x0Status, y0Status}) > Transient) {
        loadInitial = true;
        running = true;
    }

    setOutputStatus(XPin, getSampleClock(), outputStatus);
    setOutputStatus(YPin, getSampleClock(), outputStatus);

    if (outputStatus >= Streaming) {
        setProcess(&MapModule::processMap);
    } else {
        countdown = getBlockSize();
        setProcess(&MapModule::processCountdown);
    }
}

void SEP_ENTRY MapModule::processCountdown(void* module, int32_t offset, int32_t count)
{
    processMap(module, offset, count);
    auto& m = *static_cast<MapModule*>(module);
    const int64_t left = int64_t{m.countdown} - count;
    m.countdown = static_cast<int32_t>(std::clamp<int64_t>(
        left, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    if (m.countdown > 0) return;
    m.callHost(RequestSleep, 0, 0, nullptr, 0.0f);
}

// --- generator ----------------------------------------------------------

void SEP_ENTRY MapModule::processMap(void* module, int32_t offset, int32_t count)
{
    auto& m = *static_cast<MapModule*>(module);
    if (count <= 0) return;
    if (!m.gateIn || !m.resetIn || !m.x0In || !m.y0In || !m.aIn || !m.bIn || !m.xOut || !m.yOut)
        return;

    const float* gate = m.gateIn + offset;
    const float* reset = m.resetIn + offset;
    const float* x0 = m.x0In + offset;
    const float* y0 = m.y0In + offset;
    const float* a = m.aIn + offset;
    const float* b = m.bIn + offset;
    float* xOut = m.xOut + offset;
    float* yOut = m.yOut + offset;

    if (m.loadInitial) {
        m.stateX = m.heldX = x0[0];
        m.stateY = m.heldY = y0[0];
        m.loadInitial = false;
    }

    // The state lives in locals for the whole call: the output stores could
    // alias the object's fields and would force a reload on every sample.
    const int32_t mode = m.mode;
    const bool normalizeOn = m.normalize == 1;
    float heldX = m.heldX, heldY = m.heldY;
    float stateX = m.stateX, stateY = m.stateY;
    float prevGate = m.prevGate, prevReset = m.prevReset;
    bool running = m.running;

    for (int32_t i = 0; i < count; ++i) {
        const float g = gate[i];
        const float r = reset[i];

        // decide: NaN compares false, so it is never a positive sample
        const bool gateRose = g > kEdgeThreshold && !(prevGate > kEdgeThreshold);
        const bool iterate = running && (mode == Continuous || (mode == Gated && gateRose));

        // iterate: double arithmetic, one rounding to float per stored value
        if (iterate) {
            const double x = stateX, y = stateY;
            float nextX = static_cast<float>(
                (y + double{kConstantTerm}) - ((x * x) * double{a[i]}) * double{kQuadraticFactor});
            float nextY = static_cast<float>((x * double{b[i]}) * double{kYFactor});
            if (!(nextX > kLowerBound && nextX < kUpperBound && nextY > kLowerBound &&
                  nextY < kUpperBound)) {
                nextX = 0.0f;
                nextY = 0.0f;
                running = false;
            }
            stateX = heldX = nextX;
            stateY = heldY = nextY;
            if (normalizeOn) {
                heldX = nextX * kNormalizeGain;
                heldY = nextY * kNormalizeGain;
            }
        }

        // reset: overrides an iteration on the same sample
        if (r > kEdgeThreshold && !(prevReset > kEdgeThreshold)) {
            stateX = heldX = x0[i];
            stateY = heldY = y0[i];
            running = true;
        }

        prevGate = g;
        prevReset = r;
        xOut[i] = heldX;
        yOut[i] = heldY;
    }

    m.heldX = heldX;
    m.heldY = heldY;
    m.stateX = stateX;
    m.stateY = stateY;
    m.prevGate = prevGate;
    m.prevReset = prevReset;
    m.running = running;
}

}  // namespace tessel
