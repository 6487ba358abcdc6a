#include "take_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "drawing.h"

namespace pictures {

namespace {

using verdict::kInputColours;
using verdict::kXTrace;
using verdict::kYTrace;

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

constexpr int kInputStripHeight = 100;  // and 16 pixels of gap above it

// A held signal as a staircase: each column spans the samples under it plus
// the previous column's last one, so the jumps between columns are drawn too.
void drawStrip(Canvas& canvas, const Trace& trace, double viewLow, double viewHigh, int top, int height,
               verdict::Colour colour)
{
    for (int column = 0; column < kPlotWidth; ++column) {
        float low = 0.0f, high = 0.0f;
        if (!trace.range(column, low, high)) continue;
        const verdict::RowSpan rows = verdict::rowSpan(low, high, viewLow, viewHigh, height);
        canvas.fill(kLeft + column, top + rows.top, 1, rows.count, colour);
    }
}

}  // namespace

Trace::Trace(const StripSpan& span, int columns)
    : first(span.start),
      samples(span.count),
      begins(size_t(columns)),
      lasts(size_t(columns)),
      lows(size_t(columns), std::numeric_limits<float>::infinity()),
      highs(size_t(columns), -std::numeric_limits<float>::infinity())
{
    if (samples < 1) return;
    for (int column = 0; column < columns; ++column) {
        const verdict::ColumnSpan span = verdict::columnSpan(samples, columns, column);
        begins[size_t(column)] = span.begin;
        lasts[size_t(column)] = span.last;
    }
}

void Trace::add(int64_t start, const float* values, int32_t count)
{
    const auto skipped = static_cast<int32_t>(std::clamp<int64_t>(first - start, 0, count));  // before the strip
    for (int32_t i = skipped; i < count && start + i - first < samples; ++i) {
        const int64_t sample = start + i - first;
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

Picture::Picture(const Bounds& bounds, const StripSpan& strip, int32_t sampleRate, double voltsPerUnit,
                 std::vector<InputTrace> traced)
    : view(verdict::viewOf(bounds, voltsPerUnit)),
      sampleRate(sampleRate),
      voltsPerUnit(voltsPerUnit),
      density(view, kPlotWidth, kDensityHeight),
      strip(strip),
      stripX(strip, kPlotWidth),
      stripY(strip, kPlotWidth),
      inputs(std::move(traced)),
      inputStrips(inputs.size(), Trace(strip, kPlotWidth))
{
}

int Picture::height() const { return kPictureHeight + kInputTraceHeight * static_cast<int>(inputs.size()); }

void Picture::add(int64_t start, const float* x, const float* y, const float* const* traced, int32_t count)
{
    density.add(x, y, count);
    stripX.add(start, x, count);
    stripY.add(start, y, count);
    for (size_t input = 0; input < inputStrips.size(); ++input) inputStrips[input].add(start, traced[input], count);
    totalSamples = start + count;
}

static_assert(kPictureWidth == kPageWidth);

// The attractor's density plot, its heading and log-density bar, and its axes.
void Picture::drawAttractor(Canvas& canvas) const
{
    canvas.text(kLeft, kDensityHeadingTop, "the attractor: y against x, " + std::to_string(totalSamples) + " samples",
                2, kText);
    const int barWidth = 120;
    const int barLeft = kRight - barWidth - Canvas::textWidth("often", 2) - 8;
    canvas.textRight(barLeft - 8, kDensityHeadingTop, "log density: rare", 2, kDimText);
    for (int i = 0; i < barWidth; ++i)
        canvas.fill(barLeft + i, kDensityHeadingTop, 1, 14,
                    verdict::inferno(verdict::kDensityFloor + (1.0 - verdict::kDensityFloor) * i / (barWidth - 1)));
    canvas.text(barLeft + barWidth + 8, kDensityHeadingTop, "often", 2, kDimText);

    canvas.fill(kLeft, kDensityTop, kPlotWidth, kDensityHeight, kPlotBackground);
    density.paint(
        [&](int column, int row, verdict::Colour colour) { canvas.set(kLeft + column, kDensityTop + row, colour); });
    canvas.frame(kLeft, kDensityTop, kPlotWidth, kDensityHeight, kFrame);
    const Axis densityX{view.xLow * voltsPerUnit, view.xHigh * voltsPerUnit, kLeft, kPlotWidth, false};
    const Axis densityY{view.yLow * voltsPerUnit, view.yHigh * voltsPerUnit, kDensityTop, kDensityHeight, true};
    drawVerticalAxis(canvas, densityY, 8, kLeft);
    drawHorizontalAxis(canvas, densityX, kDensityTop + kDensityHeight, "x (V)", kLeft, kRight);
    drawSideName(canvas, kDensityTop + kDensityHeight / 2, "y", kText);
}

// The strips' heading: what they show over a few milliseconds, or the whole take.
Picture::StripTime Picture::drawStripHeading(Canvas& canvas) const
{
    const auto shown = std::min(strip.count, totalSamples - strip.start);
    const double stripMs = 1000.0 * double(shown) / sampleRate;
    const bool inSeconds = stripMs >= 2000.0;
    const double toTime = inSeconds ? 1.0 / sampleRate : 1000.0 / sampleRate;
    const double stripTime = double(shown) * toTime;
    const std::string time = formatNumber(stripTime, stripTime < 10 ? 1 : 0) + (inSeconds ? " s" : " ms");
    const std::string heading = !inputs.empty()
                                    ? "x, y and the inputs that move over " +
                                          std::string(shown < totalSamples ? "the first " : "the whole take, ") + time +
                                          " (" + std::to_string(shown) + " samples)"
                                    : "x and y over " + time + ": " +
                                          verdict::traceSpanText(strip.start, shown, strip.settle);
    canvas.text(kLeft, kStripHeadingTop, heading, 2, kText);
    const double startTime = double(strip.start) * toTime;
    return {startTime, startTime + stripTime, inSeconds};
}

struct Picture::Strip {
    const Trace& trace;
    int top, height;
    double low, high;
    std::string name;
    verdict::Colour colour;
};

// x and y, then each input traced, from the top down.
std::vector<Picture::Strip> Picture::stripLayout() const
{
    std::vector<Strip> strips{{stripX, kStripXTop, kStripHeight, view.xLow, view.xHigh, "x", kXTrace},
                              {stripY, kStripYTop, kStripHeight, view.yLow, view.yHigh, "y", kYTrace}};
    for (size_t input = 0; input < inputs.size(); ++input) {
        double low = inputs[input].low, high = inputs[input].high;
        verdict::padRange(low, high, voltsPerUnit);
        const int top = kStripYTop + kStripHeight + kInputTraceHeight * static_cast<int>(input) +
                        (kInputTraceHeight - kInputStripHeight);
        strips.push_back({inputStrips[input], top, kInputStripHeight, low, high, inputs[input].name,
                          kInputColours[input % std::size(kInputColours)]});
    }
    return strips;
}

void Picture::drawStripPanels(Canvas& canvas) const
{
    const StripTime time = drawStripHeading(canvas);
    const std::vector<Strip> strips = stripLayout();
    for (const Strip& panel : strips) {
        canvas.fill(kLeft, panel.top, kPlotWidth, panel.height, kPlotBackground);
        const Axis values{panel.low * voltsPerUnit, panel.high * voltsPerUnit, panel.top, panel.height, true};
        if (const int zero = verdict::zeroRow(panel.low, panel.high, panel.height); zero >= 0)
            canvas.fill(kLeft, panel.top + zero, kPlotWidth, 1, verdict::kZeroLine);
        drawStrip(canvas, panel.trace, panel.low, panel.high, panel.top, panel.height, panel.colour);
        canvas.frame(kLeft, panel.top, kPlotWidth, panel.height, kFrame);
        drawVerticalAxis(canvas, values, panel.height >= kStripHeight ? 4 : 3, kLeft);
        drawSideName(canvas, panel.top + panel.height / 2, panel.name, panel.colour);
    }
    const Strip& bottom = strips.back();
    drawHorizontalAxis(canvas, Axis{time.start, time.end, kLeft, kPlotWidth, false}, bottom.top + bottom.height,
                       time.inSeconds ? "time (s)" : "time (ms)", kLeft, kRight);
}

void Picture::writePng(std::FILE* file, const Caption& caption) const
{
    Canvas canvas(kPictureWidth, height(), kPage);
    drawCaption(canvas, caption.title, caption.settings, caption.outcome);
    drawAttractor(canvas);
    drawStripPanels(canvas);
    canvas.writePng(file);
}

}  // namespace pictures
