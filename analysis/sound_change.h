// Where a take's sound changes character, for the host that judges a take
// along its path and the verdict that tells it.
#pragma once

#include <cstdint>

#include "orbit_analysis.h"

namespace analysis {

// From sample `start` on, the sound is the orbit judged there.
struct SoundChange {
    int64_t start;
    OrbitClass orbit;
};

}  // namespace analysis
