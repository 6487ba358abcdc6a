// The rendered outputs as one picture: the x-y attractor as a log-scaled
// density plot, and below it x and y over the first milliseconds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pictures {

constexpr int kPictureWidth = 1200;
constexpr int kPictureHeight = 1200;

// The extent of the outputs, in the signal scale; non-finite samples are left out.
struct Bounds {
    float xLow = 0.0f, xHigh = 0.0f, yLow = 0.0f, yHigh = 0.0f;
    bool empty = true;

    void include(const float* x, const float* y, int32_t count);
};

struct Caption {
    std::string title;     // first line, large
    std::string settings;  // second line
    std::string outcome;   // what happened, shown with the density plot
};

class Picture {
public:
    // `bounds` must hold every sample that add() will see; the axes read in
    // volts, `voltsPerUnit` to the signal's 1.0.
    Picture(const Bounds& bounds, int64_t stripSamples, int32_t sampleRate, double voltsPerUnit);

    // Blocks in order, from sample 0 on.
    void add(int64_t start, const float* x, const float* y, int32_t count);

    // Draws and encodes the picture as an RGB PNG; throws std::runtime_error.
    void writePng(std::FILE* file, const Caption& caption) const;

private:
    struct View {
        double xLow = 0.0, xHigh = 0.0, yLow = 0.0, yHigh = 0.0;
    } view;  // the bounds with a margin, never of zero extent
    int32_t sampleRate;
    double voltsPerUnit;
    int64_t totalSamples = 0;
    std::vector<uint32_t> density;  // one count per pixel of the plot area, row 0 on top
    std::vector<float> stripX, stripY;
    size_t stripLength;
};

}  // namespace pictures
