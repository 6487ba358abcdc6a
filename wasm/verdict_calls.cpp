// The chart's judgement of points, and what a verdict says and shows.
#include "analysis/orbit_analysis.h"
#include "calls.h"
#include "host/session/drive.h"
#include "values.h"
#include "verdict/colours.h"
#include "verdict/words.h"

using web::PointJudge;

web::PointJudge* tessel_judge_new(int32_t sampleRate) { return PointJudge::create(sampleRate); }

void tessel_judge_free(PointJudge* judge) { delete judge; }

const web::PointVerdict* tessel_judge_point(PointJudge* judge, float a, float b, float x0, float y0, double steps)
{
    if (!judge || !(steps >= analysis::kLeastStepsToClassify && steps <= host::kMostChartSteps)) return nullptr;
    const auto whole = static_cast<int64_t>(steps);
    if (static_cast<double>(whole) != steps) return nullptr;
    return judge->judge(a, b, x0, y0, whole);
}

float* tessel_judge_batch(PointJudge* judge, int32_t count)
{
    analysis::PointStart* points = judge ? judge->points(count) : nullptr;
    return points ? &points->a : nullptr;
}

const web::PointVerdict* tessel_judge_points(PointJudge* judge, int32_t count, double steps)
{
    if (!judge || !(steps >= analysis::kLeastStepsToClassify && steps <= host::kMostChartSteps)) return nullptr;
    const auto whole = static_cast<int64_t>(steps);
    if (static_cast<double>(whole) != steps) return nullptr;
    return judge->judgeMany(count, whole);
}

// --- what a verdict says and shows ----------------------------------------------

namespace {

bool knownOutcome(int32_t outcome)
{
    return outcome >= static_cast<int32_t>(analysis::Outcome::Stops) &&
           outcome <= static_cast<int32_t>(analysis::Outcome::Chaos);
}

// An orbit as the words and colours take it, from a verdict's fields; the
// outcome is a valid code.
analysis::OrbitClass orbitOf(int32_t outcome, int32_t period, double steps, double settle, double lyapunov,
                             int32_t rounding)
{
    analysis::OrbitClass orbit;
    orbit.outcome = static_cast<analysis::Outcome>(outcome);
    orbit.period = period;
    orbit.steps = static_cast<int64_t>(steps);
    orbit.settle = static_cast<int64_t>(settle);
    orbit.lyapunov = lyapunov;
    orbit.roundingCycle = rounding != 0;
    return orbit;
}

// A verdict in words, exact or in short; null for an unknown outcome.
// `say(orbit, stepsPerSecond, stepping, partials)` gives the words.
template <class Say>
const char* verdictWords(Say say, int32_t outcome, int32_t period, double steps, double settle, double lyapunov,
                         int32_t rounding, double stepsPerSecond, int32_t clocked, const analysis::Partials& partials)
{
    if (!knownOutcome(outcome)) return nullptr;
    static verdict::Text words;
    words = say(orbitOf(outcome, period, steps, settle, lyapunov, rounding), stepsPerSecond,
                clocked ? verdict::Stepping::GateClock : verdict::Stepping::EverySample, partials);
    return words.c_str();
}

}  // namespace

const char* tessel_describe(int32_t outcome, int32_t period, double steps, double settle, double lyapunov,
                            int32_t rounding, double stepsPerSecond, int32_t clocked, int32_t loudest,
                            double fundamentalBelowDb)
{
    return verdictWords(verdict::describeOrbit, outcome, period, steps, settle, lyapunov, rounding, stepsPerSecond,
                        clocked, {loudest, fundamentalBelowDb});
}

const char* tessel_summarize(int32_t outcome, int32_t period, double steps, double settle, double lyapunov,
                             int32_t rounding, double stepsPerSecond, int32_t clocked, int32_t loudest,
                             double fundamentalBelowDb, double resetHz)
{
    const auto restarted = [resetHz](const analysis::OrbitClass& orbit, double perSecond, verdict::Stepping stepping,
                                     const analysis::Partials& partials) {
        return verdict::summarizeOrbit(orbit, perSecond, stepping, partials, resetHz);
    };
    return verdictWords(restarted, outcome, period, steps, settle, lyapunov, rounding, stepsPerSecond, clocked,
                        {loudest, fundamentalBelowDb});
}

const char* tessel_unjudged_path(int32_t inShort)
{
    static verdict::Text words;
    words = verdict::unjudgedPath(inShort != 0);
    return words.c_str();
}

int32_t tessel_is_constant(int32_t outcome, int32_t period)
{
    return knownOutcome(outcome) && orbitOf(outcome, period, 0.0, -1.0, 0.0, 0).constant() ? 1 : 0;
}

uint32_t tessel_chart_colour(int32_t outcome, int32_t period, double steps, double lyapunov, double chartSteps)
{
    if (!knownOutcome(outcome)) return 0;
    const analysis::OrbitClass orbit = orbitOf(outcome, period, steps, -1.0, lyapunov, 0);
    return web::packed(verdict::chartColour(orbit, static_cast<int64_t>(chartSteps)));
}

uint32_t tessel_hatched(uint32_t colour, int32_t column, int32_t row)
{
    return web::packed(verdict::hatched(web::unpacked(colour), column, row));
}

uint32_t tessel_inferno(double t) { return web::packed(verdict::inferno(t)); }
