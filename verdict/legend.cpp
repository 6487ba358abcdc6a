#include "legend.h"

#include "numbers/write.h"
#include "words.h"

namespace verdict {

Colour LegendEntry::colourAt(double share) const
{
    switch (swatch) {
    case Swatch::StopsBar: return stopColour(share);
    case Swatch::ChaosBar: return chaosColour(share);
    case Swatch::Plain:
    case Swatch::Hatched: break;
    }
    return colour;
}

namespace {

std::string tone(int32_t period, int32_t sampleRate) { return toneText(period, sampleRate).c_str(); }

// A whole number as printf writes it, without the C library's stdio.
std::string whole(int64_t value) { return Text().whole(value).c_str(); }

// Periods 1, 2, ... in runs of one colour, each with its tones.
void addCycles(std::vector<LegendEntry>& entries, int32_t sampleRate)
{
    entries.push_back({"cycles:", "", "period 1: a constant", Swatch::Plain, kCycleColours[0]});
    int32_t from = 2;
    for (size_t k = 1; k < kCycleColours.size(); ++k) {
        const int32_t to = kCycleClassEnds[k];
        const std::string periods = from == to ? whole(to) : whole(from) + "-" + whole(to);
        const std::string tones = from == to ? tone(to, sampleRate)
                                             : tone(from, sampleRate) + " to " + tone(to, sampleRate);
        entries.push_back({"", "", "period " + periods + ": " + tones, Swatch::Plain, kCycleColours[k]});
        from = to + 1;
    }
}

}  // namespace

std::vector<LegendEntry> legendEntries(int64_t steps, int32_t sampleRate)
{
    std::vector<LegendEntry> entries;
    entries.push_back({"stops:", "at once", "after " + whole(steps) + " steps (log scale)", Swatch::StopsBar});
    addCycles(entries, sampleRate);
    entries.push_back({"no cycle up to period " + whole(analysis::kPeriodLimit) + ":", "", "quasi (not chaotic)",
                       Swatch::Plain, kQuasi});
    entries.push_back({"", "chaos, Lyapunov exponent " + numbers::fixedText(analysis::kChaosMargin, 2),
                       numbers::fixedText(kMostLyapunov, 2) + " per step", Swatch::ChaosBar});
    entries.push_back({"hatched, a rounding cycle:", "",
                       "the floats fall into a cycle that the map has only as an unstable one,\n"
                       "or not at all: another start or a reset may give another tone or none",
                       Swatch::Hatched, chaosColour(0.5)});
    return entries;
}

}  // namespace verdict
