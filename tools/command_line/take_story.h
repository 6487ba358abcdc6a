// What a take showed, in the words of the report and the picture's caption:
// its settings, where the map stopped, what its orbit or, for a moving a or
// b, its sound window by window did, whether the module asked to sleep, and
// which input files it outlasted.
#pragma once

#include <string>
#include <vector>

#include "host/session/point_judge.h"
#include "options.h"
#include "tools/render/scenario.h"
#include "tools/render/take_orbit.h"

namespace command_line {

// What a take's outputs showed, gathered block by block as they were rendered.
struct TakeSums {
    float peakX = 0.0f, peakY = 0.0f;  // in the signal scale
    render::HostLog log;
};

struct TakeStory {
    std::string stop;                // whether and where the map stopped itself
    std::string summary;             // that orbit as a musician hears it, in short; else empty
    std::string orbit;               // a continuous take's orbit at still a and b; else empty
    std::vector<std::string> sound;  // a continuous take's sound where a or b moves: a heading, then each change
    std::string caption;             // what happened, in short, for the picture
    std::string sleep;               // whether the module asked to sleep
    std::vector<std::string> holds;  // each input file the take outlasts
};

// "continuous, a 1.4 V, b 0.3 V, x0 0 V, y0 0 V, normalize on": the settings
// as given, a file named for the input it drives.
std::string describe(const render::Scenario& scenario, const Arguments& arguments);
// The same with what drives Reset, if anything does.
std::string settingsText(const render::Scenario& scenario, const Arguments& arguments);

// `orbit` is given for a continuous take whose a and b hold still, `windows`
// for one where either moves; neither for a gated take.
TakeStory tell(const render::Scenario& scenario, const Arguments& arguments, const TakeSums& sums,
               const render::TakeOrbit* orbit, const host::TakeWindows* windows);

}  // namespace command_line
