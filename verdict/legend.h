// The chart's colour legend: its entries, their words and swatches, the same
// in tessel-render's chart and on the explorer page (through the WebAssembly
// build). ASCII words: the PNG's font has no other characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colours.h"

namespace verdict {

enum class Swatch { Plain, StopsBar, ChaosBar, Hatched };

struct LegendEntry {
    std::string heading;  // what a group of entries shows, on its first entry only
    std::string before;   // a bar's words at its left end
    std::string words;    // the words after the swatch; lines apart at '\n'
    Swatch swatch = Swatch::Plain;
    Colour colour{};  // a plain or a hatched swatch's colour

    // The swatch's colour `share` of the way across it, before any hatching.
    Colour colourAt(double share) const;
};

// The legend of a chart of `steps` iterates a point, its tones named at `sampleRate`.
std::vector<LegendEntry> legendEntries(int64_t steps, int32_t sampleRate);

}  // namespace verdict
