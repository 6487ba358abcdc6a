// A signal's volts as the shortest text that reads back to the same float,
// as the tools print the inputs they were given.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/volts_text.h"

namespace {

// The shortest "%.*g" text of a signal's volts that reads back to it, as
// printf and strtod make and read it.
std::string printedVolts(float signal)
{
    char text[32];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double{signal} * host::kVoltsPerUnit);
        if (host::signalFromVolts(std::strtod(text, nullptr)) == signal) break;
    }
    return text;
}

// Knob values, a negative zero, tiny and huge signals, and floats at random.
TEST(VoltsText, IsTheShortestPrintfTextThatReadsBack)
{
    for (const auto& [volts, text] :
         {std::pair{1.4, "1.4"}, {0.3, "0.3"}, {-0.0, "-0"}, {0.00005, "5e-05"}, {1e30, "1e+30"}})
        EXPECT_EQ(host::voltsText(host::signalFromVolts(volts)), text);
    std::mt19937 random(35);
    for (int i = 0; i < 20000; ++i) {
        const auto signal = std::bit_cast<float>(static_cast<uint32_t>(random()));
        if (!std::isfinite(signal)) continue;
        ASSERT_EQ(host::voltsText(signal), printedVolts(signal)) << signal;
    }
}

}  // namespace
