// The rendered outputs as one picture: the x-y attractor as a log-scaled
// density plot, and below it x and y over a few milliseconds (from where the
// cycle settled), or over the whole take, with the inputs that move traced
// under them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "verdict/figures.h"

namespace pictures {

class Canvas;

constexpr int kPictureWidth = 1200;
constexpr int kPictureHeight = 1200;  // grown by kInputTraceHeight for each input traced
constexpr int kInputTraceHeight = 116;

using verdict::Bounds;

struct Caption {
    std::string title;     // first line, large
    std::string settings;  // second line
    std::string outcome;   // what happened, shown with the density plot
};

// The samples a picture's strips show: `count` from `start`, where the
// take's cycle settled from sample `settle` (-1: no cycle, or traced whole).
struct StripSpan {
    int64_t start = 0, count = 0, settle = -1;
};

// A signal over the strip's time as the picture draws it: for each column
// of the plot the least and greatest finite sample under it, the last one of
// the column before included, so that jumps between columns show. Kept
// column by column, so a strip as long as any take costs a few kilobytes.
class Trace {
public:
    Trace(const StripSpan& span, int columns);

    // Blocks in order from sample 0; what lies outside the strip is left out.
    void add(int64_t start, const float* samples, int32_t count);
    // False when no finite sample falls under the column.
    bool range(int column, float& low, float& high) const;

private:
    int64_t first, samples;
    std::vector<int64_t> begins, lasts;  // each column's first and last sample
    std::vector<float> lows, highs;
    size_t passed = 0;  // the columns before it have seen their last sample
};

// An input traced under x and y, and the extent of its samples (signal scale).
struct InputTrace {
    std::string name;
    float low, high;
};

class Picture {
public:
    // `bounds` must hold every sample that add() will see, and each input's
    // extent every sample of it; the axes read in volts, `voltsPerUnit` to
    // the signal's 1.0.
    Picture(const Bounds& bounds, const StripSpan& strip, int32_t sampleRate, double voltsPerUnit,
            std::vector<InputTrace> inputs = {});

    // Blocks in order, from sample 0 on; `inputs` holds a block of each input
    // traced, in the order given.
    void add(int64_t start, const float* x, const float* y, const float* const* inputs, int32_t count);

    int height() const;
    // Draws and encodes the picture as an RGB PNG; throws std::runtime_error.
    void writePng(std::FILE* file, const Caption& caption) const;

private:
    // The strips below the attractor, and the time they span.
    struct Strip;
    struct StripTime {
        double start, end;  // in seconds or in milliseconds
        bool inSeconds;
    };
    void drawAttractor(Canvas& canvas) const;
    StripTime drawStripHeading(Canvas& canvas) const;
    std::vector<Strip> stripLayout() const;
    void drawStripPanels(Canvas& canvas) const;

    verdict::View view;  // the bounds with a margin, never of zero extent
    int32_t sampleRate;
    double voltsPerUnit;
    int64_t totalSamples = 0;
    verdict::Density density;  // one count per pixel of the plot area
    StripSpan strip;
    Trace stripX, stripY;
    std::vector<InputTrace> inputs;
    std::vector<Trace> inputStrips;
};

}  // namespace pictures
