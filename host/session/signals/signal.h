// Signals a host patches into the module's inputs: a constant, an LFO, a ramp
// over the take, a step sequencer, and a Reset clock. Free of the emulator,
// and the signals use nothing of libm, so tessel-render, the Windows build and
// the WebAssembly build compute the same samples.
//
// Grammar (volts, Hz and cycles as decimal numbers):
//   VOLTS                          a constant
//   SHAPE:CENTRE:DEPTH:HZ[:PHASE]  SHAPE one of sine, triangle, square, saw;
//                                  swinging DEPTH volts either side of CENTRE
//                                  (a negative DEPTH inverts the wave), HZ from
//                                  kLeastSignalHz to half the rate, PHASE in
//                                  cycles from 0 to 1 (default 0)
//   ramp:FROM:TO                   FROM at the take's first sample, TO at its
//                                  last, in a straight line
//   steps:V1,V2,...@HZ             each value for 1/HZ s in turn, from V1 at
//                                  sample 0, looping; HZ as for a wave
// Values are not limited to a knob's range; every sample must be a finite
// 32-bit float in the signal scale.
//
// The waves over one cycle, phase p from 0 to 1:
//   sine      rises from CENTRE at p = 0, CENTRE + DEPTH at 1/4, CENTRE - DEPTH at 3/4
//   triangle  the same corners joined by straight lines
//   square    CENTRE + DEPTH for p in [0, 1/2), CENTRE - DEPTH for [1/2, 1)
//   saw       CENTRE - DEPTH at p = 0 rising straight towards CENTRE + DEPTH,
//             so at its jump it is CENTRE - DEPTH
//
// Exactness: a sample is defined from its sample number with integers and
// + - * / of doubles only, so it does not depend on the block it falls in, on
// the samples before it, or on the C library. The phase counts in units of
// 1 / (rate * 2^32) of a cycle; HZ is rounded to a multiple of 2^-32 Hz and
// PHASE to a whole unit, after which the phase at every sample is exact
// integer arithmetic: a 1000 Hz wave at 48000 Hz repeats every 48 samples
// forever. The sine is an odd polynomial of degree 13 on a quarter cycle,
// within 1e-13 of sine; from each multiple of 256 samples of the take, at
// phase p, the sine j samples on, a turn t further, is sin p cos t + cos p
// sin t of the polynomial's values, which costs three operations a sample.
// A wave or a ramp is worked out in the signal scale (CENTRE / 10 + DEPTH /
// 10 times the shape) and rounded once to float; a constant, a sequencer's
// step and a ramp's end are their volts as host::signalFromVolts converts
// them. The Reset clock follows the Gate clock's rule in
// host/session/drive.h, whose one call into libm, fmod, is exact.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

enum class SignalShape { Constant, Sine, Triangle, Square, Saw, Ramp, Steps };

// The grammar in one line, for help texts and error messages.
inline constexpr char kSignalGrammar[] =
    "VOLTS, SHAPE:CENTRE:DEPTH:HZ[:PHASE] with SHAPE sine, triangle, square or saw, ramp:FROM:TO, "
    "or steps:V1,V2,...@HZ";

// A wave's or a sequencer's lowest frequency; the highest is half the rate.
constexpr double kLeastSignalHz = 0.000001;
constexpr int32_t kMostSteps = 1024;

// The take a signal plays over: a ramp needs its length, the rest its rate.
struct SignalTake {
    int32_t sampleRate = 44100;
    int64_t samples = 0;
};

class Signal {
public:
    Signal() = default;  // 0 V

    // The factories take arguments as parseSignal accepts them. A signal
    // whose samples would all be one float is made that constant instead.
    static Signal constant(double volts);
    static Signal wave(SignalShape shape, double centre, double depth, double hz, double phase, int32_t sampleRate);
    static Signal ramp(double from, double to, int64_t takeSamples);
    static Signal steps(const std::vector<double>& volts, double hz, int32_t sampleRate);

    SignalShape shape() const { return form; }

    // Whether the samples differ anywhere: a host announces such an input as
    // streaming for the whole take, any other as static.
    bool moves() const { return form != SignalShape::Constant; }

    // Samples start, start + 1, ... start + count - 1 in the signal scale.
    // Allocates nothing; the same samples whatever the blocks.
    void fill(float* out, int32_t count, int64_t start) const;
    float sampleAt(int64_t sample) const;

private:
    SignalShape form = SignalShape::Constant;
    float level = 0.0f;                // a constant's sample
    double centre = 0.0, depth = 0.0;  // a wave's, in the signal scale
    double from = 0.0, to = 0.0;       // a ramp's volts
    int64_t lastSample = 0;            // a ramp's last sample in the take
    uint64_t unitsPerCycle = 1;        // rate * 2^32
    uint64_t unitsPerSample = 0;       // HZ * 2^32
    uint64_t startUnits = 0;           // PHASE in units
    std::vector<float> stepSamples;    // a sequencer's samples, in order
    // A wave's turn over j samples, j from 0 to a span's length less one: in
    // units, or for a sine as the sine and cosine of its angle.
    std::vector<double> turnUnits, turnSine, turnCosine;

    uint64_t unitsAt(int64_t sample) const;
    double sineAt(uint64_t units) const;
    void fillSine(float* out, int32_t count, int64_t start) const;
    template <class Shape>
    void fillWave(float* out, int32_t count, int64_t start, Shape shapeAt) const;
    void fillRamp(float* out, int32_t count, int64_t start) const;
    void fillSteps(float* out, int32_t count, int64_t start) const;
};

// The name a signal's text gives its shape ("sine"); a constant's is "volts".
const char* signalShapeName(SignalShape shape);

// A wave's fields as its text gives them: volts, Hz and cycles.
struct WaveFields {
    double centre = 0.0, depth = 0.0, hz = 0.0, phase = 0.0;
};

// A parsed signal, or why the text is not one (the caller names the option).
// Never throws, so a build without exceptions can parse.
struct SignalParse {
    Signal signal;
    std::string error;
    SignalShape written = SignalShape::Constant;  // the shape the text names, whatever the samples
    WaveFields wave = {};                         // a wave's fields as written
    bool ok() const { return error.empty(); }
};

SignalParse parseSignal(std::string_view text, const SignalTake& take);

// Reset pulses at a frequency: one sample at host::kResetPulse, as a
// --reset-at pulse is, at each rising edge the Gate clock has at that
// frequency, the first at sample 0; 0 V elsewhere.
class ResetClock {
public:
    ResetClock() = default;
    ResetClock(int32_t sampleRate, double hz) : rate(sampleRate), clockHz(hz) {}

    double hz() const { return clockHz; }
    bool pulsesAt(int64_t sample) const;
    void fill(float* out, int32_t count, int64_t start) const;

private:
    int32_t rate = 44100;
    double clockHz = 1.0;
};

struct ResetClockParse {
    ResetClock clock;
    std::string error;
    bool ok() const { return error.empty(); }
};

// HZ more than 0 and at most half the rate, as for the Gate clock.
ResetClockParse parseResetClock(std::string_view text, int32_t sampleRate);

}  // namespace host
