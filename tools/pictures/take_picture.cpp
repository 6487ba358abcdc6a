#include "take_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "drawing.h"

namespace pictures {

namespace {

constexpr verdict::Colour kZeroLine{52, 52, 64};
constexpr verdict::Colour kXTrace{249, 142, 9};
constexpr verdict::Colour kYTrace{96, 196, 255};

// Layout, in pixels. Every panel shares the left and right edges.
constexpr int kLeft = kPanelLeft;
constexpr int kRight = kPanelRight;
constexpr int kPlotWidth = kRight - kLeft;
constexpr int kDensityHeadingTop = kBelowCaption;
constexpr int kDensityTop = 140;
constexpr int kDensityHeight = 600;
constexpr int kStripHeadingTop = 812;
constexpr int kStripXTop = 840;
constexpr int kStripYTop = 996;
constexpr int kStripHeight = 140;

// Where the colour map starts for a pixel visited once: bright enough to stand
// out from the empty background.
constexpr double kFloor = 0.3;

// A held signal as a staircase: each column spans the samples under it plus
// the previous column's last one, so the jumps between columns are drawn too.
void drawStrip(Canvas& canvas, const std::vector<float>& samples, const Axis& values, double voltsPerUnit, int top,
               verdict::Colour colour)
{
    const size_t count = samples.size();
    if (count == 0) return;
    for (int column = 0; column < kPlotWidth; ++column) {
        const double from = double(column) * count / kPlotWidth;
        const double to = double(column + 1) * count / kPlotWidth;
        const size_t first = std::min(count - 1, static_cast<size_t>(from));
        const size_t last = std::max(first, std::min(count - 1, static_cast<size_t>(std::ceil(to)) - 1));
        size_t begin = first;
        if (column > 0) begin = std::min(begin, std::min(count - 1, static_cast<size_t>(std::ceil(from)) - 1));
        float low = std::numeric_limits<float>::infinity(), high = -low;
        for (size_t i = begin; i <= last; ++i) {
            if (!std::isfinite(samples[i])) continue;
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
        }
        if (low > high) continue;
        auto row = [&](float v) {
            const double pixel = std::floor(values.pixel(v * voltsPerUnit));
            return static_cast<int>(std::clamp(pixel, double(top), double(top + kStripHeight - 2)));
        };
        const int y0 = row(high);
        const int y1 = row(low);
        canvas.fill(kLeft + column, y0, 1, y1 - y0 + 2, colour);
    }
}

}  // namespace

void Bounds::include(const float* x, const float* y, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        if (empty) {
            xLow = xHigh = x[i];
            yLow = yHigh = y[i];
            empty = false;
            continue;
        }
        xLow = std::min(xLow, x[i]);
        xHigh = std::max(xHigh, x[i]);
        yLow = std::min(yLow, y[i]);
        yHigh = std::max(yHigh, y[i]);
    }
}

namespace {

// Widens a range by a margin on each side; a range of about one value gets
// 0.1 V or a thousandth of its size either side, whichever is more.
void pad(double& low, double& high, double voltsPerUnit)
{
    const double span = high - low;
    const double least = std::max(0.1 / voltsPerUnit, 1e-3 * std::max(std::abs(low), std::abs(high)));
    if (span < least) {
        low -= least;
        high += least;
        return;
    }
    low -= span * 0.04;
    high += span * 0.04;
}

}  // namespace

Picture::Picture(const Bounds& bounds, int64_t stripSamples, int32_t sampleRate, double voltsPerUnit)
    : sampleRate(sampleRate), voltsPerUnit(voltsPerUnit), density(size_t(kPlotWidth) * kDensityHeight),
      stripLength(static_cast<size_t>(stripSamples))
{
    if (!bounds.empty) view = {bounds.xLow, bounds.xHigh, bounds.yLow, bounds.yHigh};
    pad(view.xLow, view.xHigh, voltsPerUnit);
    pad(view.yLow, view.yHigh, voltsPerUnit);
    stripX.reserve(stripLength);
    stripY.reserve(stripLength);
}

void Picture::add(int64_t start, const float* x, const float* y, int32_t count)
{
    const double xScale = kPlotWidth / (view.xHigh - view.xLow);
    const double yScale = kDensityHeight / (view.yHigh - view.yLow);
    for (int32_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        const int column = std::clamp(static_cast<int>((x[i] - view.xLow) * xScale), 0, kPlotWidth - 1);
        const int row = std::clamp(static_cast<int>((view.yHigh - y[i]) * yScale), 0, kDensityHeight - 1);
        ++density[size_t(row) * kPlotWidth + column];
    }
    for (int32_t i = 0; i < count && stripX.size() < stripLength; ++i) {
        stripX.push_back(x[i]);
        stripY.push_back(y[i]);
    }
    totalSamples = start + count;
}

static_assert(kPictureWidth == kPageWidth);

void Picture::writePng(std::FILE* file, const Caption& caption) const
{
    Canvas canvas(kPictureWidth, kPictureHeight, kPage);
    drawCaption(canvas, caption.title, caption.settings, caption.outcome);

    // --- the attractor -------------------------------------------------------
    canvas.text(kLeft, kDensityHeadingTop,
                "the attractor: y against x, " + std::to_string(totalSamples) + " samples", 2, kText);
    const int barWidth = 120;
    const int barLeft = kRight - barWidth - Canvas::textWidth("often", 2) - 8;
    canvas.textRight(barLeft - 8, kDensityHeadingTop, "log density: rare", 2, kDimText);
    for (int i = 0; i < barWidth; ++i) canvas.fill(barLeft + i, kDensityHeadingTop, 1, 14, verdict::inferno(kFloor + (1.0 - kFloor) * i / (barWidth - 1)));
    canvas.text(barLeft + barWidth + 8, kDensityHeadingTop, "often", 2, kDimText);

    canvas.fill(kLeft, kDensityTop, kPlotWidth, kDensityHeight, kPlotBackground);
    std::vector<std::pair<uint32_t, size_t>> visited;  // count, pixel
    for (size_t pixel = 0; pixel < density.size(); ++pixel)
        if (density[pixel] > 0) visited.emplace_back(density[pixel], pixel);
    std::sort(visited.begin(), visited.end());
    const double logMost = !visited.empty() && visited.back().first > 1 ? std::log(double(visited.back().first)) : 1.0;
    // Few visited pixels (a gated render, a map that stops early) would be lost
    // as single dots, so they grow; the densest are drawn last, on top.
    const size_t n = visited.size();
    const int radius = n < 200 ? 3 : n < 1000 ? 2 : n < 5000 ? 1 : 0;
    for (const auto& [count, pixel] : visited) {
        const int row = static_cast<int>(pixel / kPlotWidth);
        const int column = static_cast<int>(pixel % kPlotWidth);
        const verdict::Colour colour = verdict::inferno(kFloor + (1.0 - kFloor) * std::log(double(count)) / logMost);
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx)
                if (row + dy >= 0 && row + dy < kDensityHeight && column + dx >= 0 && column + dx < kPlotWidth)
                    canvas.set(kLeft + column + dx, kDensityTop + row + dy, colour);
    }
    canvas.frame(kLeft, kDensityTop, kPlotWidth, kDensityHeight, kFrame);
    const Axis densityX{view.xLow * voltsPerUnit, view.xHigh * voltsPerUnit, kLeft, kPlotWidth, false};
    const Axis densityY{view.yLow * voltsPerUnit, view.yHigh * voltsPerUnit, kDensityTop, kDensityHeight, true};
    drawVerticalAxis(canvas, densityY, 8, kLeft);
    drawHorizontalAxis(canvas, densityX, kDensityTop + kDensityHeight, "x (V)", kLeft, kRight);
    drawSideName(canvas, kDensityTop + kDensityHeight / 2, "y", kText);

    // --- the first milliseconds ----------------------------------------------
    const double stripMs = 1000.0 * stripX.size() / sampleRate;
    canvas.text(kLeft, kStripHeadingTop,
                "x and y over the first " + formatNumber(stripMs, stripMs < 10 ? 1 : 0) + " ms (" +
                    std::to_string(stripX.size()) + " samples)",
                2, kText);
    const struct {
        const std::vector<float>& samples;
        int top;
        double low, high;
        const char* name;
        verdict::Colour colour;
    } strips[] = {{stripX, kStripXTop, view.xLow, view.xHigh, "x", kXTrace},
                  {stripY, kStripYTop, view.yLow, view.yHigh, "y", kYTrace}};
    for (const auto& strip : strips) {
        canvas.fill(kLeft, strip.top, kPlotWidth, kStripHeight, kPlotBackground);
        const Axis values{strip.low * voltsPerUnit, strip.high * voltsPerUnit, strip.top, kStripHeight, true};
        if (strip.low < 0.0 && strip.high > 0.0)
            canvas.fill(kLeft, static_cast<int>(std::lround(values.pixel(0.0))), kPlotWidth, 1, kZeroLine);
        drawStrip(canvas, strip.samples, values, voltsPerUnit, strip.top, strip.colour);
        canvas.frame(kLeft, strip.top, kPlotWidth, kStripHeight, kFrame);
        drawVerticalAxis(canvas, values, 4, kLeft);
        drawSideName(canvas, strip.top + kStripHeight / 2, strip.name, strip.colour);
    }
    drawHorizontalAxis(canvas, Axis{0.0, stripMs, kLeft, kPlotWidth, false}, kStripYTop + kStripHeight, "time (ms)",
                       kLeft, kRight);

    canvas.writePng(file);
}

}  // namespace pictures
