#include "figures.h"

#include <algorithm>
#include <cmath>

#include "numbers/write.h"

namespace verdict {

std::string Ticks::text(double value) const
{
    char out[32];
    const size_t length = exponent ? numbers::writeGeneral(out, value, 3) : numbers::writeFixed(out, value, decimals);
    return std::string(out, length);
}

Ticks ticksFor(double low, double high, int wanted)
{
    const double rough = (high - low) / wanted;
    if (!(rough > 0.0) || !std::isfinite(rough)) return {};
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double factor : {2.0, 5.0, 10.0})
        if (std::abs(std::log(power * factor / rough)) < std::abs(std::log(step / rough))) step = power * factor;
    Ticks ticks;
    ticks.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    ticks.exponent = std::max(std::abs(low), std::abs(high)) >= 1e5 || ticks.decimals > 4;
    const double first = std::ceil(low / step - 1e-9);
    for (int i = 0; i <= 2 * wanted + 2; ++i) {
        const double v = (first + i) * step;
        if (v > high + step * 1e-9) break;
        ticks.values.push_back(std::abs(v) < step * 1e-6 ? 0.0 : v);
    }
    return ticks;
}

void padRange(double& low, double& high, double voltsPerUnit)
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

void Bounds::include(const float* x, const float* y, int64_t count)
{
    for (int64_t i = 0; i < count; ++i) {
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

View viewOf(const Bounds& bounds, double voltsPerUnit)
{
    View view;
    if (!bounds.empty) view = {bounds.xLow, bounds.xHigh, bounds.yLow, bounds.yHigh};
    padRange(view.xLow, view.xHigh, voltsPerUnit);
    padRange(view.yLow, view.yHigh, voltsPerUnit);
    return view;
}

Density::Density(const View& view, int width, int height)
    : view(view), width(width), height(height), counts(size_t(width) * size_t(height))
{
}

void Density::add(const float* x, const float* y, int64_t count)
{
    const double xScale = width / (view.xHigh - view.xLow);
    const double yScale = height / (view.yHigh - view.yLow);
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        const int column = std::clamp(static_cast<int>((x[i] - view.xLow) * xScale), 0, width - 1);
        const int row = std::clamp(static_cast<int>((view.yHigh - y[i]) * yScale), 0, height - 1);
        ++counts[size_t(row) * size_t(width) + size_t(column)];
    }
}

std::vector<size_t> Density::visitedInOrder(int& radius) const
{
    std::vector<size_t> visited;
    for (size_t pixel = 0; pixel < counts.size(); ++pixel)
        if (counts[pixel] > 0) visited.push_back(pixel);
    const size_t n = visited.size();
    radius = n < 200 ? 3 : n < 1000 ? 2 : n < 5000 ? 1 : 0;
    // Single pixels cover none of their neighbours, so only dots need an order.
    if (radius > 0)
        std::stable_sort(visited.begin(), visited.end(), [this](size_t p, size_t q) { return counts[p] < counts[q]; });
    return visited;
}

double Density::colourScale(uint32_t most) { return most > 1 ? std::log(double(most)) : 1.0; }

Colour Density::colourOf(uint32_t count, double logMost)
{
    return inferno(kDensityFloor + (1.0 - kDensityFloor) * std::log(double(count)) / logMost);
}

int64_t traceSamples(double gateHz, double sampleRate, int64_t samples)
{
    constexpr double kTraceSeconds = 0.005;
    constexpr double kTracePeriods = 16.0;
    double seconds = kTraceSeconds;
    if (gateHz > 0.0) seconds = std::max(seconds, kTracePeriods / gateHz);
    const auto wanted = static_cast<int64_t>(std::ceil(seconds * sampleRate));
    return std::clamp<int64_t>(wanted, 1, std::max<int64_t>(samples, 1));
}

int64_t traceStart(int64_t settle, int64_t traced, int64_t samples)
{
    return std::clamp<int64_t>(settle, 0, std::max<int64_t>(samples - traced, 0));
}

std::string traceSpanText(int64_t start, int64_t count, int64_t settle)
{
    const std::string samples = std::to_string(count) + " samples";
    if (start > 0 && start == settle)
        return samples + " from sample " + std::to_string(start) + ", where the cycle has settled";
    const std::string settling = ", the cycle settling from sample " + std::to_string(settle);
    if (start > 0) return "the last " + samples + settling;
    return "the first " + samples + (settle > 0 ? settling : "");
}

ColumnSpan columnSpan(int64_t samples, int columns, int column)
{
    const auto count = static_cast<size_t>(samples);
    const double from = double(column) * count / columns;
    const double to = double(column + 1) * count / columns;
    const size_t first = std::min(count - 1, static_cast<size_t>(from));
    size_t begin = first;
    if (column > 0) begin = std::min(begin, std::min(count - 1, static_cast<size_t>(std::ceil(from)) - 1));
    const size_t last = std::max(first, std::min(count - 1, static_cast<size_t>(std::ceil(to)) - 1));
    return {static_cast<int64_t>(begin), static_cast<int64_t>(last)};
}

bool finiteRange(const float* samples, int64_t count, float& low, float& high)
{
    bool any = false;
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) continue;
        low = any ? std::min(low, samples[i]) : samples[i];
        high = any ? std::max(high, samples[i]) : samples[i];
        any = true;
    }
    return any;
}

namespace {

double rowOf(double value, double viewLow, double viewHigh, int height)
{
    return height - (value - viewLow) / (viewHigh - viewLow) * height;
}

}  // namespace

RowSpan rowSpan(float low, float high, double viewLow, double viewHigh, int height)
{
    auto row = [&](float v) {
        const double pixel = std::floor(rowOf(v, viewLow, viewHigh, height));
        return static_cast<int>(std::clamp(pixel, 0.0, double(height - 2)));
    };
    const int top = row(high);
    return {top, row(low) - top + 2};
}

int zeroRow(double viewLow, double viewHigh, int height)
{
    if (!(viewLow < 0.0 && viewHigh > 0.0)) return -1;
    return static_cast<int>(std::lround(rowOf(0.0, viewLow, viewHigh, height)));
}

}  // namespace verdict
