#pragma once

#include "framework/module_base.h"
#include "map_pins.h"

namespace tessel {

using sep::ModuleBase;
using sep::ModuleProperties;
using sep::Pin;
using sep::PinProperties;

// The quadratic map x' = 1 + y - a*x^2, y' = b*x, at audio rate, free-running
// or once per rising Gate crossing, restarted by rising Reset crossings.
class MapModule final : public ModuleBase {
public:
    MapModule(sep::HostCallback callback, int32_t hostHandle);
    ~MapModule() override = default;

    void onPlugStateChange(Pin* pin) override;
    void open() override;
    bool getPinProperties(int32_t index, PinProperties* properties) override;

    // Writes the name, identifier and about text into the host's record.
    static bool fillModuleTexts(ModuleProperties* properties);

    // The two process functions; the host calls them through the record.
    static void SEP_ENTRY processMap(void* module, int32_t offset, int32_t count);
    static void SEP_ENTRY processCountdown(void* module, int32_t offset, int32_t count);

    // The audio pins' variables, in pin order: the host writes each buffer's
    // address through the declared variable. Buffers hold 32-bit float
    // samples, 1.0 standing for 10 V; a process call uses them from its offset.
    struct Buffers {
        const float* gateIn = nullptr;
        const float* resetIn = nullptr;
        const float* x0In = nullptr;
        const float* y0In = nullptr;
        const float* aIn = nullptr;
        const float* bIn = nullptr;
        float* xOut = nullptr;
        float* yOut = nullptr;

        bool complete() const { return gateIn && resetIn && x0In && y0In && aIn && bIn && xOut && yOut; }
    };

private:
    // The work of processMap, inlined into both process functions so that
    // processCountdown costs no second entry.
    [[gnu::always_inline]] static inline void generate(MapModule& m, int32_t offset, int32_t count);

    struct PinDeclaration;
    static const PinDeclaration pinDeclarations[MapPinCount];

    // The pin variables, written by the host; the module only reads them.
    Buffers buffers;
    int16_t mode = Continuous;  // any value but Continuous and Gated never iterates
    int16_t normalize = 0;      // exactly 1 scales the outputs

    // Generator state; open arms it and the first process call loads it.
    float heldX = 0.0f;  // written to the x output at every sample, normalised
    float heldY = 0.0f;
    float stateX = 0.0f;  // the map's x(n), never normalised
    float stateY = 0.0f;
    float prevGate = 0.0f;  // last processed Gate sample, exactly (NaN and -0.0 too)
    float prevReset = 0.0f;
    bool loadInitial = false;  // the next process call begins by loading x0 and y0
    bool running = false;      // cleared by the divergence guard
    int32_t countdown = 0;     // samples left before RequestSleep; never wraps upwards
};

}  // namespace tessel
