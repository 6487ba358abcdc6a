#include "glossary.h"

#include <string_view>

#include "analysis/orbit_analysis.h"
#include "words.h"

namespace verdict {

namespace {

Text periodText()
{
    Text words;
    words << "The orbit repeats every p steps, p being its period. At one step a sample it sounds as a tone of the "
             "sample rate divided by p; in Gated mode, of the Gate clock divided by p. Below ";
    return words.whole(static_cast<int64_t>(kLowestPitchHz)) << " Hz it is heard as a repeating pattern, not a pitch.";
}

Text constantText()
{
    Text words;
    return words << "The orbit settles on one point, a cycle of period 1: x and y hold a level and make no tone.";
}

Text chaosText()
{
    Text words;
    return words << "The orbit never repeats, and the least difference in where it starts grows step by step: "
                    "x and y are noise.";
}

Text lyapunovText()
{
    Text words;
    words << "How fast two nearly equal states drift apart, per step, on average (a natural logarithm): above ";
    words.fixed(analysis::kChaosMargin, 2) << " the orbit is chaos, and the larger, the rougher the noise.";
    return words;
}

Text noiseText()
{
    Text words;
    words << "Rough: chaos whose largest Lyapunov exponent is ";
    words.fixed(kRoughNoise, 1) << " or more per step, nearby states twice as far apart within four steps: a hiss. "
                                   "Smooth: below that, the orbit lingers near its cycles.";
    return words;
}

Text quasiText()
{
    Text words;
    (words << "No cycle up to period ").whole(analysis::kPeriodLimit);
    return words << ", yet not chaos: the orbit winds round a closed curve and never quite repeats, a wavering tone.";
}

Text roundingText()
{
    Text words;
    return words << "The floats fall into a cycle that the map has only as an unstable one, or not at all: another "
                    "start or a reset may give another tone or none. The charts hatch such points.";
}

Text nyquistText()
{
    Text words;
    words << "Half the sample rate, the highest tone a rate can carry: a cycle of period 2 at one step a sample. "
             "Above ";
    return words.whole(static_cast<int64_t>(kTopOfHearingHz / 1000)) << " kHz it is above hearing.";
}

Text stopsText()
{
    Text words;
    return words << "The orbit runs off towards infinity, so the module stops the map: x and y stay exactly 0 "
                    "until a reset, even where the knobs come back.";
}

Text resetText()
{
    Text words;
    return words << "A rising edge on Reset (or the Reset button) restarts the map from x0 and y0.";
}

Text soundsText()
{
    Text words;
    return words << "The settings of a and b, and of x0 and y0, at which the map keeps running and makes a sound; "
                    "beyond them it stops and stays silent until a reset.";
}

struct Row {
    const char* id;
    const char* term;
    const char* phrases;
    Text (*explain)();
};

// Phrases are matched longest first, so "a constant" is not read as a tone's "constant".
constexpr Row kRows[] = {
    {"period", "period and tone", "a cycle of period|a steady tone|repeating pattern|period|tone", periodText},
    {"constant", "a constant", "a constant level|a constant", constantText},
    {"chaos", "chaos", "chaos", chaosText},
    {"lyapunov", "Lyapunov exponent", "largest Lyapunov exponent|Lyapunov exponent", lyapunovText},
    {"noise", "smooth and rough noise", "noise, rough|noise, smooth|rough|smooth|noise", noiseText},
    {"quasi", "quasi-periodic", "quasi-periodic|never quite repeats|quasi", quasiText},
    {"rounding-cycle", "rounding cycle, hatched", "a cycle only the floats' rounding makes|rounding cycle|hatched",
     roundingText},
    {"nyquist", "the Nyquist rate", "the Nyquist rate|above hearing|edge of hearing", nyquistText},
    {"stops", "a stopped map", "stops|stopped", stopsText},
    {"reset", "Reset", "Reset", resetText},
    {"sounds", "where the map sounds", "where the map sounds", soundsText},
};

}  // namespace

bool glossaryEntry(size_t index, GlossaryEntry& entry)
{
    if (index >= sizeof kRows / sizeof kRows[0]) return false;
    const Row& row = kRows[index];
    entry = {row.id, row.term, row.phrases, row.explain()};
    return true;
}

Text glossaryExplanation(const char* id)
{
    for (const Row& row : kRows)
        if (std::string_view(row.id) == id) return row.explain();
    return Text();
}

}  // namespace verdict
