// A take's orbit judged by the analysis, with the Normalize gain undone and
// the last reset found.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "analysis/partials.h"
#include "scenario.h"

namespace render {

// A continuous take's orbit after its last reset, or from its start, judged
// the same way, with the Normalize gain undone; a and b hold still.
class TakeOrbit {
public:
    explicit TakeOrbit(const Scenario& scenario);

    // Every rendered block, in order.
    void add(int64_t start, const float* x, const float* y, int32_t count);

    int64_t steps() const { return orbitSteps; }
    analysis::OrbitClass result() const { return orbit.result(); }
    // Where the energy of a cycle found is, from its own samples.
    analysis::Partials partials(const analysis::OrbitClass& judged) const
    {
        return analysis::cyclePartials(a, b, x0, y0, judged);
    }

    // The sample from which a cycle found sounds settled, or -1 for none.
    int64_t settledAt(const analysis::OrbitClass& judged) const
    {
        return judged.settle < 0 ? -1 : firstIterate + judged.settle;
    }

private:
    int64_t firstIterate;
    int64_t orbitSteps;
    bool normalized;
    float a, b, x0, y0;  // as the take holds them; the orbit is judged only where they do
    bool wanted = true;
    analysis::OrbitAnalysis orbit;
    std::vector<float> stateX, stateY;
};

}  // namespace render
