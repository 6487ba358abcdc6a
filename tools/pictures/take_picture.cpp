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

constexpr int kInputStripHeight = 100;  // and 16 pixels of gap above it
// The inputs' traces, in the order they are given.
constexpr verdict::Colour kInputColours[] = {{120, 220, 120}, {230, 120, 230}, {230, 220, 110},
                                             {150, 150, 255}, {255, 120, 120}, {120, 230, 230}};

// A held signal as a staircase: each column spans the samples under it plus
// the previous column's last one, so the jumps between columns are drawn too.
void drawStrip(Canvas& canvas, const Trace& trace, const Axis& values, double voltsPerUnit, int top, int height,
               verdict::Colour colour)
{
    for (int column = 0; column < kPlotWidth; ++column) {
        float low = 0.0f, high = 0.0f;
        if (!trace.range(column, low, high)) continue;
        auto row = [&](float v) {
            const double pixel = std::floor(values.pixel(v * voltsPerUnit));
            return static_cast<int>(std::clamp(pixel, double(top), double(top + height - 2)));
        };
        const int y0 = row(high);
        const int y1 = row(low);
        canvas.fill(kLeft + column, y0, 1, y1 - y0 + 2, colour);
    }
}

}  // namespace

Trace::Trace(int64_t samples, int columns)
    : samples(samples), begins(size_t(columns)), lasts(size_t(columns)),
      lows(size_t(columns), std::numeric_limits<float>::infinity()),
      highs(size_t(columns), -std::numeric_limits<float>::infinity())
{
    if (samples < 1) return;
    const auto count = static_cast<size_t>(samples);
    for (int column = 0; column < columns; ++column) {
        const double from = double(column) * count / columns;
        const double to = double(column + 1) * count / columns;
        const size_t first = std::min(count - 1, static_cast<size_t>(from));
        size_t begin = first;
        if (column > 0) begin = std::min(begin, std::min(count - 1, static_cast<size_t>(std::ceil(from)) - 1));
        begins[size_t(column)] = static_cast<int64_t>(begin);
        lasts[size_t(column)] =
            static_cast<int64_t>(std::max(first, std::min(count - 1, static_cast<size_t>(std::ceil(to)) - 1)));
    }
}

void Trace::add(int64_t start, const float* values, int32_t count)
{
    for (int32_t i = 0; i < count && start + i < samples; ++i) {
        const int64_t sample = start + i;
        while (passed < lasts.size() && lasts[passed] < sample) ++passed;
        if (!std::isfinite(values[i])) continue;
        for (size_t column = passed; column < begins.size() && begins[column] <= sample; ++column) {
            lows[column] = std::min(lows[column], values[i]);
            highs[column] = std::max(highs[column], values[i]);
        }
    }
}

bool Trace::range(int column, float& low, float& high) const
{
    low = lows[size_t(column)];
    high = highs[size_t(column)];
    return low <= high;
}

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

Picture::Picture(const Bounds& bounds, int64_t stripSamples, int32_t sampleRate, double voltsPerUnit,
                 std::vector<InputTrace> traced)
    : sampleRate(sampleRate), voltsPerUnit(voltsPerUnit), density(size_t(kPlotWidth) * kDensityHeight),
      stripSamples(stripSamples), stripX(stripSamples, kPlotWidth), stripY(stripSamples, kPlotWidth),
      inputs(std::move(traced)), inputStrips(inputs.size(), Trace(stripSamples, kPlotWidth))
{
    if (!bounds.empty) view = {bounds.xLow, bounds.xHigh, bounds.yLow, bounds.yHigh};
    pad(view.xLow, view.xHigh, voltsPerUnit);
    pad(view.yLow, view.yHigh, voltsPerUnit);
}

int Picture::height() const { return kPictureHeight + kInputTraceHeight * static_cast<int>(inputs.size()); }

void Picture::add(int64_t start, const float* x, const float* y, const float* const* traced, int32_t count)
{
    const double xScale = kPlotWidth / (view.xHigh - view.xLow);
    const double yScale = kDensityHeight / (view.yHigh - view.yLow);
    for (int32_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        const int column = std::clamp(static_cast<int>((x[i] - view.xLow) * xScale), 0, kPlotWidth - 1);
        const int row = std::clamp(static_cast<int>((view.yHigh - y[i]) * yScale), 0, kDensityHeight - 1);
        ++density[size_t(row) * kPlotWidth + column];
    }
    stripX.add(start, x, count);
    stripY.add(start, y, count);
    for (size_t input = 0; input < inputStrips.size(); ++input) inputStrips[input].add(start, traced[input], count);
    totalSamples = start + count;
}

static_assert(kPictureWidth == kPageWidth);

void Picture::writePng(std::FILE* file, const Caption& caption) const
{
    Canvas canvas(kPictureWidth, height(), kPage);
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

    // --- the first milliseconds, or the whole take ------------------------------
    const auto shown = std::min(stripSamples, totalSamples);
    const double stripMs = 1000.0 * double(shown) / sampleRate;
    const bool inSeconds = stripMs >= 2000.0;
    const double stripTime = inSeconds ? stripMs / 1000.0 : stripMs;
    const std::string span = inputs.empty() || shown < totalSamples ? " over the first " : " over the whole take, ";
    canvas.text(kLeft, kStripHeadingTop,
                std::string(inputs.empty() ? "x and y" : "x, y and the inputs that move") + span +
                    formatNumber(stripTime, stripTime < 10 ? 1 : 0) + (inSeconds ? " s (" : " ms (") +
                    std::to_string(shown) + " samples)",
                2, kText);
    struct Strip {
        const Trace& trace;
        int top, height;
        double low, high;
        std::string name;
        verdict::Colour colour;
    };
    std::vector<Strip> strips{{stripX, kStripXTop, kStripHeight, view.xLow, view.xHigh, "x", kXTrace},
                              {stripY, kStripYTop, kStripHeight, view.yLow, view.yHigh, "y", kYTrace}};
    for (size_t input = 0; input < inputs.size(); ++input) {
        double low = inputs[input].low, high = inputs[input].high;
        pad(low, high, voltsPerUnit);
        const int top = kStripYTop + kStripHeight + kInputTraceHeight * static_cast<int>(input) +
                        (kInputTraceHeight - kInputStripHeight);
        strips.push_back({inputStrips[input], top, kInputStripHeight, low, high, inputs[input].name,
                          kInputColours[input % std::size(kInputColours)]});
    }
    for (const Strip& strip : strips) {
        canvas.fill(kLeft, strip.top, kPlotWidth, strip.height, kPlotBackground);
        const Axis values{strip.low * voltsPerUnit, strip.high * voltsPerUnit, strip.top, strip.height, true};
        if (strip.low < 0.0 && strip.high > 0.0)
            canvas.fill(kLeft, static_cast<int>(std::lround(values.pixel(0.0))), kPlotWidth, 1, kZeroLine);
        drawStrip(canvas, strip.trace, values, voltsPerUnit, strip.top, strip.height, strip.colour);
        canvas.frame(kLeft, strip.top, kPlotWidth, strip.height, kFrame);
        drawVerticalAxis(canvas, values, strip.height >= kStripHeight ? 4 : 3, kLeft);
        drawSideName(canvas, strip.top + strip.height / 2, strip.name, strip.colour);
    }
    drawHorizontalAxis(canvas, Axis{0.0, stripTime, kLeft, kPlotWidth, false}, strips.back().top + strips.back().height,
                       inSeconds ? "time (s)" : "time (ms)", kLeft, kRight);

    canvas.writePng(file);
}

}  // namespace pictures
