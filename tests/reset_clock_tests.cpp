// The Reset clock a host patches in: one pulse sample at each rising edge of
// its square wave, whatever the blocks, and the words for a clock refused.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/signals/signal.h"

using host::parseResetClock;

namespace {

struct Clock {
    std::string hz;
    std::vector<int64_t> pulses;  // within the first 100 samples
    int32_t rate = 44100;
    std::string message = "";  // what a refusal says
};

void PrintTo(const Clock& value, std::ostream* out) { *out << value.hz; }

class ResetClockPulses : public testing::TestWithParam<Clock> {};

TEST_P(ResetClockPulses, OneSampleAtEachRisingGateEdge)
{
    const host::ResetClockParse parse = parseResetClock(GetParam().hz, GetParam().rate);
    if (!GetParam().message.empty()) {
        EXPECT_NE(parse.error.find(GetParam().message), std::string::npos) << parse.error;
        return;
    }
    ASSERT_TRUE(parse.ok()) << parse.error;
    for (int32_t block : {100, 7, 1}) {
        std::vector<float> reset(100);
        for (int32_t start = 0; start < 100; start += block)
            parse.clock.fill(reset.data() + start, std::min(block, 100 - start), start);
        std::vector<int64_t> pulses;
        for (int64_t i = 0; i < 100; ++i) {
            if (reset[i] == host::kResetPulse) pulses.push_back(i);
            else EXPECT_EQ(std::bit_cast<uint32_t>(reset[i]), 0u) << i;
        }
        EXPECT_EQ(pulses, GetParam().pulses) << "blocks of " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ResetClock, ResetClockPulses,
    testing::Values(Clock{"1000", {0, 48, 96}, 48000}, Clock{"1000", {0, 45, 89}}, Clock{"0.5", {0}},
                    Clock{"abc", {}, 44100, "'abc' is not a number"},
                    Clock{"0", {}, 44100, "0 is out of range: give more than 0 and at most half the rate, 22050 Hz"},
                    Clock{"22050.5", {}, 44100, "22050.5 is out of range"},
                    Clock{"inf", {}, 44100, "'inf' is not a finite number"}));

}  // namespace
