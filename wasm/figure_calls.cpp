// The pictures: ticks, the chart's legend, and the take's attractor and
// staircases drawn from the samples JavaScript writes here.
#include <cstdint>
#include <string>
#include <vector>

#include "calls.h"
#include "host/session/drive.h"
#include "values.h"
#include "verdict/figures.h"
#include "verdict/legend.h"

namespace {

const char* swatchName(verdict::Swatch swatch)
{
    switch (swatch) {
    case verdict::Swatch::StopsBar: return "stops";
    case verdict::Swatch::ChaosBar: return "chaos";
    case verdict::Swatch::Hatched: return "hatched";
    case verdict::Swatch::Plain: break;
    }
    return "plain";
}

// The samples of the take drawn: x, then y.
std::vector<float> takeSamples;
int32_t takeCount = 0;
// The last attractor's view, and how many pixels it visited.
double viewAndVisited[5];

}  // namespace

const char* tessel_ticks(double low, double high, int32_t wanted)
{
    const verdict::Ticks ticks = verdict::ticksFor(low, high, wanted);
    static verdict::Text json;
    json = {};
    json << "[";
    for (const double value : ticks.values) {
        json << (value == ticks.values.front() ? "{\"value\":" : ",{\"value\":");
        web::writeNumber(json, value);
        json << ",\"text\":";
        web::writeString(json, ticks.text(value).c_str());
        json << "}";
    }
    json << "]";
    return json.c_str();
}

const char* tessel_legend_entry(double steps, int32_t sampleRate, int32_t index)
{
    const std::vector<verdict::LegendEntry> entries = verdict::legendEntries(static_cast<int64_t>(steps), sampleRate);
    if (index < 0 || static_cast<size_t>(index) >= entries.size()) return nullptr;
    const verdict::LegendEntry& entry = entries[size_t(index)];
    static verdict::Text json;
    json = {};
    json << "{\"heading\":";
    web::writeString(json, entry.heading.c_str());
    json << ",\"before\":";
    web::writeString(json, entry.before.c_str());
    json << ",\"words\":";
    web::writeString(json, entry.words.c_str());
    json << ",\"swatch\":\"" << swatchName(entry.swatch) << "\"}";
    return json.c_str();
}

uint32_t tessel_legend_colour(double steps, int32_t sampleRate, int32_t index, double share)
{
    const std::vector<verdict::LegendEntry> entries = verdict::legendEntries(static_cast<int64_t>(steps), sampleRate);
    if (index < 0 || static_cast<size_t>(index) >= entries.size()) return 0;
    return web::packed(entries[size_t(index)].colourAt(share));
}

float* tessel_take_samples(int32_t count)
{
    if (count < 1) return nullptr;
    takeSamples.assign(2 * size_t(count), 0.0f);
    takeCount = count;
    return takeSamples.data();
}

const uint32_t* tessel_attractor(int32_t width, int32_t height)
{
    static std::vector<uint32_t> rgba;
    if (width < 1 || height < 1 || takeCount < 1) return nullptr;
    const float* x = takeSamples.data();
    const float* y = x + takeCount;
    verdict::Bounds bounds;
    bounds.include(x, y, takeCount);
    const verdict::View view = verdict::viewOf(bounds, host::kVoltsPerUnit);
    verdict::Density density(view, width, height);
    density.add(x, y, takeCount);
    auto rgbaOf = [](verdict::Colour c) { return 0xFF000000u | uint32_t{c.b} << 16 | uint32_t{c.g} << 8 | c.r; };
    rgba.assign(size_t(width) * size_t(height), rgbaOf(verdict::kPlotBackground));
    const size_t visited = density.paint([&](int column, int row, verdict::Colour colour) {
        rgba[size_t(row) * size_t(width) + size_t(column)] = rgbaOf(colour);
    });
    viewAndVisited[0] = view.xLow;
    viewAndVisited[1] = view.xHigh;
    viewAndVisited[2] = view.yLow;
    viewAndVisited[3] = view.yHigh;
    viewAndVisited[4] = static_cast<double>(visited);
    return rgba.data();
}

const double* tessel_attractor_view() { return viewAndVisited; }

double tessel_trace_samples(double gateHz, int32_t sampleRate, double samples)
{
    return static_cast<double>(verdict::traceSamples(gateHz, sampleRate, static_cast<int64_t>(samples)));
}

double tessel_trace_start(double settle, double traced, double samples)
{
    return static_cast<double>(
        verdict::traceStart(static_cast<int64_t>(settle), static_cast<int64_t>(traced), static_cast<int64_t>(samples)));
}

const char* tessel_trace_words(double start, double count, double settle)
{
    static std::string words;
    words = verdict::traceSpanText(static_cast<int64_t>(start), static_cast<int64_t>(count),
                                   static_cast<int64_t>(settle));
    return words.c_str();
}

const int32_t* tessel_trace(int32_t output, double start, int32_t count, int32_t columns, int32_t height, double low,
                            double high)
{
    static std::vector<int32_t> rows;
    if (output < 0 || output > 1 || count < 1 || columns < 1 || height < 2) return nullptr;
    if (!(start >= 0.0) || start > double(takeCount - count)) return nullptr;
    const float* samples = takeSamples.data() + size_t(output) * size_t(takeCount) + static_cast<size_t>(start);
    rows.assign(2 * size_t(columns) + 1, 0);
    for (int32_t column = 0; column < columns; ++column) {
        const verdict::ColumnSpan span = verdict::columnSpan(count, columns, column);
        float least = 0.0f, most = 0.0f;
        if (!verdict::finiteRange(samples + span.begin, span.last - span.begin + 1, least, most)) continue;
        const verdict::RowSpan covered = verdict::rowSpan(least, most, low, high, height);
        rows[2 * size_t(column)] = covered.top;
        rows[2 * size_t(column) + 1] = covered.count;
    }
    rows.back() = verdict::zeroRow(low, high, height);
    return rows.data();
}
