// The drawing shared by the take's picture and the chart: colours, a canvas
// with the bitmap font, and axes with ticks in volts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "verdict/figures.h"

namespace pictures {

constexpr verdict::Colour kPage{18, 18, 24};
using verdict::kDimText;
using verdict::kFrame;
using verdict::kPlotBackground;
constexpr verdict::Colour kText{228, 228, 234};
constexpr int kTickLength = 6;

// The page of both pictures: panels between the same left and right edges,
// below a caption of a title and two lines of details.
constexpr int kPageWidth = 1200;
constexpr int kPanelLeft = 150;
constexpr int kPanelRight = kPageWidth - 30;
constexpr int kBelowCaption = 112;

class Canvas {
public:
    Canvas(int width, int height, verdict::Colour background);

    void set(int x, int y, verdict::Colour c);
    void fill(int x, int y, int w, int h, verdict::Colour c);
    void frame(int x, int y, int w, int h, verdict::Colour c);

    static int textWidth(const std::string& text, int scale);
    // Text running past the right edge ends in "..." at the edge.
    void text(int x, int y, std::string text, int scale, verdict::Colour c);
    void textRight(int right, int y, const std::string& s, int scale, verdict::Colour c);
    void textCentred(int centre, int y, const std::string& s, int scale, verdict::Colour c);

    // Encodes the canvas as an RGB PNG; throws std::runtime_error.
    void writePng(std::FILE* file) const;

private:
    int width, height;
    std::vector<uint8_t> rgb;
};

std::string formatNumber(double value, int decimals, bool exponent = false);

// A value range on a pixel span; `flip` puts the low end at the bottom.
struct Axis {
    double low, high;
    int origin, length;
    bool flip;

    double pixel(double v) const;
};

// Ticks and their labels left of a plot whose left edge is `left`.
void drawVerticalAxis(Canvas& canvas, const Axis& axis, int ticks, int left);
// Ticks and labels below `top`, and the axis name centred between `left` and `right`.
void drawHorizontalAxis(Canvas& canvas, const Axis& axis, int top, const std::string& name, int left, int right);

void drawCaption(Canvas& canvas, const std::string& title, const std::string& second, const std::string& third);

// The axis name in the left margin: the signal's name large (a longer one
// less so), the unit below.
void drawSideName(Canvas& canvas, int centreY, const std::string& name, verdict::Colour colour);

}  // namespace pictures
