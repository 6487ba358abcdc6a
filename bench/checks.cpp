#include "checks.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/instance.h"

namespace bench {

namespace {

using namespace tessel;

bool sameBits(const float* a, const float* b, int32_t count) { return std::memcmp(a, b, sizeof(float) * count) == 0; }

// The recurrence floor must compute exactly what the module writes, whole
// blocks or pieces, or it is no floor of that computation.
bool floorMatchesModule(float b, bool inPieces)
{
    Instance map(Continuous, b);
    RecurrenceBuffers floor(b);
    for (int block = 0; block < 64; ++block) {
        inPieces ? map.pieces() : map.block();
        floor.block();
        if (!sameBits(map.buffer(XPin), floor.x.data(), kBlock) || !sameBits(map.buffer(YPin), floor.y.data(), kBlock))
            return false;
    }
    return true;
}

// Share of the y outputs, over many blocks, that are subnormal floats.
double subnormalShare(float b)
{
    Instance map(Continuous, b);
    int64_t subnormal = 0, total = 0;
    for (int block = 0; block < 64; ++block) {
        map.block();
        for (int32_t i = 0; i < kBlock; ++i) {
            subnormal += std::fpclassify(map.buffer(YPin)[i]) == FP_SUBNORMAL;
            ++total;
        }
    }
    return static_cast<double>(subnormal) / total;
}

}  // namespace

bool checkSetup()
{
    bool ok = true;
    for (const float b : {kUsualB, kTinyB})
        for (const bool inPieces : {false, true})
            if (!floorMatchesModule(b, inPieces)) {
                std::fprintf(stderr, "the recurrence floor differs from the module (b = %g%s)\n", b,
                             inPieces ? ", pieces" : "");
                ok = false;
            }
    const double share = subnormalShare(kTinyB);
    std::fprintf(stderr, "subnormal run: %.1f%% of the y states are subnormal floats\n", 100 * share);
    if (share < 0.9) {
        std::fprintf(stderr, "the subnormal run does not pass through subnormal values\n");
        ok = false;
    }
    if (subnormalShare(kUsualB) != 0.0) {
        std::fprintf(stderr, "the normal run passes through subnormal values\n");
        ok = false;
    }
    return ok;
}

bool hostCallsKept()
{
    const std::vector<host::HostCallViolation> violations = host::takeHostCallViolations();
    if (violations.empty()) return true;
    std::printf("error: %s (%zu host calls broke the host interface)\n", violations.front().describe().c_str(),
                violations.size());
    return false;
}

}  // namespace bench
