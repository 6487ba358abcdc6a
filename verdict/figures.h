// The rules the pictures are drawn by, the same in tessel-render's PNGs and on
// the explorer page (through the WebAssembly build): ticks at round values,
// the take picture's view and colours, its log density painted as dots, and
// the columns a trace's staircase spans.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colours.h"

namespace verdict {

constexpr Colour kPlotBackground{0, 0, 4};
constexpr Colour kFrame{96, 96, 108};
constexpr Colour kDimText{160, 160, 172};
constexpr Colour kZeroLine{52, 52, 64};
constexpr Colour kXTrace{249, 142, 9};
constexpr Colour kYTrace{96, 196, 255};
// The inputs' traces, in the order they are given.
constexpr Colour kInputColours[] = {{120, 220, 120}, {230, 120, 230}, {230, 220, 110},
                                    {150, 150, 255}, {255, 120, 120}, {120, 230, 230}};
// Where the colour map starts for a pixel visited once: bright enough to stand
// out from the empty background.
constexpr double kDensityFloor = 0.3;

// Tick values at a step of 1, 2 or 5 times a power of ten, the nearest to
// `wanted` of them over [low, high]; each written with the decimals the step
// needs, or in exponent form for values too large for plain digits.
struct Ticks {
    std::vector<double> values;
    int decimals = 0;
    bool exponent = false;

    std::string text(double value) const;
};
Ticks ticksFor(double low, double high, int wanted);

// A range of samples widened by a margin on each side; a range of about one
// value gets 0.1 V or a thousandth of its size either side, whichever is more.
void padRange(double& low, double& high, double voltsPerUnit);

// The extent of the outputs, in the signal scale; non-finite samples are left out.
struct Bounds {
    float xLow = 0.0f, xHigh = 0.0f, yLow = 0.0f, yHigh = 0.0f;
    bool empty = true;

    void include(const float* x, const float* y, int64_t count);
};

// What the attractor shows: the outputs' extent with a margin (signal scale).
struct View {
    double xLow = 0.0, xHigh = 0.0, yLow = 0.0, yHigh = 0.0;
};
// The view of those bounds, never of zero extent; of a take with no finite sample, around 0.
View viewOf(const Bounds& bounds, double voltsPerUnit);

// Visits per pixel of a plot `width` wide and `height` tall within a view,
// row 0 on top.
class Density {
public:
    Density(const View& view, int width, int height);
    void add(const float* x, const float* y, int64_t count);
    // Each visited pixel as a dot of its colour, the densest drawn last, on
    // top: set(column, row, colour). Few visited pixels (a gated take, a map
    // that stops early) would be lost as single dots, so they grow. Returns
    // how many pixels were visited.
    template <class Set>
    size_t paint(Set set) const;

private:
    View view;
    int width, height;
    std::vector<uint32_t> counts;

    std::vector<size_t> visitedInOrder(int& radius) const;
    static double colourScale(uint32_t most);
    static Colour colourOf(uint32_t count, double logMost);
};

// The samples a take's traces show of its `samples`: 5 ms, and in Gated mode
// at least 16 periods of a clock of `gateHz` (0 in Continuous mode), so that
// its steps are seen; at least 1.
int64_t traceSamples(double gateHz, double sampleRate, int64_t samples);

// Where a take's `traced` samples of traces start: at the step its cycle
// settled from (`settle`, a sample; -1 for none, or for a take traced whole), so that
// they show the tone its words name rather than its attack; earlier where the
// take ends first, and 0 where it has no cycle.
int64_t traceStart(int64_t settle, int64_t traced, int64_t samples);
// What those traces show, for their heading: "the first 221 samples", "221
// samples from sample 383, where the cycle has settled", "the last 221
// samples, the cycle settling from sample 9000".
std::string traceSpanText(int64_t start, int64_t count, int64_t settle);

// The samples a column of a trace `columns` wide spans over `samples`: those
// under it and the last of the column before, so that jumps between columns
// show.
struct ColumnSpan {
    int64_t begin, last;
};
ColumnSpan columnSpan(int64_t samples, int columns, int column);
// The least and greatest finite of `count` samples; false where none is finite.
bool finiteRange(const float* samples, int64_t count, float& low, float& high);

// The rows a trace's column from `low` to `high` covers in a strip `height`
// tall showing [viewLow, viewHigh], from its top: {top, count}.
struct RowSpan {
    int top, count;
};
RowSpan rowSpan(float low, float high, double viewLow, double viewHigh, int height);
// The row of the value 0 in such a strip, or -1 where 0 lies at or beyond its edges.
int zeroRow(double viewLow, double viewHigh, int height);

template <class Set>
size_t Density::paint(Set set) const
{
    int radius = 0;
    const std::vector<size_t> visited = visitedInOrder(radius);
    uint32_t most = 1;
    for (const size_t pixel : visited) most = counts[pixel] > most ? counts[pixel] : most;
    const double logMost = colourScale(most);
    for (const size_t pixel : visited) {
        const int row = static_cast<int>(pixel / size_t(width));
        const int column = static_cast<int>(pixel % size_t(width));
        const Colour colour = colourOf(counts[pixel], logMost);
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx)
                if (row + dy >= 0 && row + dy < height && column + dx >= 0 && column + dx < width)
                    set(column + dx, row + dy, colour);
    }
    return visited.size();
}

}  // namespace verdict
