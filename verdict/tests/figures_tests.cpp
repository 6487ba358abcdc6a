// The rules the pictures are drawn by, which tessel-render and the page share:
// ticks, the chart's legend, and the take picture's margins, dots and
// staircases. One table each.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "verdict/figures.h"
#include "verdict/legend.h"

namespace {

TEST(Ticks, TakeTheNearestRoundStepAndItsDecimals)
{
    const struct {
        double low, high;
        int wanted;
        std::vector<std::string> texts;
    } cases[] = {
        {-1.0, 4.0, 7, {"-1", "0", "1", "2", "3", "4"}},
        {-1.0, 1.0, 6, {"-1.0", "-0.5", "0.0", "0.5", "1.0"}},  // 0.33 nearer 0.5 than 0.2
        {0.0, 5.0, 6, {"0", "1", "2", "3", "4", "5"}},
        {1.38, 1.42, 5, {"1.38", "1.39", "1.40", "1.41", "1.42"}},
        {-0.3, 0.3, 4, {"-0.2", "0.0", "0.2"}},                      // no "-0.0"
        {0.0, 2e5, 4, {"0", "5e+04", "1e+05", "1.5e+05", "2e+05"}},  // large values in exponent form
        {1.0, 1.0, 5, {}},
    };
    for (const auto& c : cases) {
        const verdict::Ticks ticks = verdict::ticksFor(c.low, c.high, c.wanted);
        std::vector<std::string> texts;
        for (const double value : ticks.values) texts.push_back(ticks.text(value));
        EXPECT_EQ(texts, c.texts) << c.low << " to " << c.high;
    }
}

TEST(TakePicture, PadsItsViewAndGrowsFewDots)
{
    double low = 0.0, high = 0.0;  // one value: 0.1 V either side
    verdict::padRange(low, high, 10.0);
    EXPECT_EQ(low, -0.01);
    EXPECT_EQ(high, 0.01);
    low = -1.0, high = 1.0;  // a range: 4 % of it either side
    verdict::padRange(low, high, 10.0);
    EXPECT_EQ(low, -1.08);
    EXPECT_EQ(high, 1.08);

    const struct {
        int points;
        int radius;
    } cases[] = {{1, 3}, {199, 3}, {200, 2}, {999, 2}, {1000, 1}, {4999, 1}, {5000, 0}};
    for (const auto& c : cases) {
        const verdict::View view{0.0, 1.0, 0.0, 1.0};
        verdict::Density density(view, 100, 100);
        for (int i = 0; i < c.points; ++i) {
            // From the middle on, each point a pixel of its own.
            const float x = ((i + 50) % 100 + 0.5f) / 100, y = (i / 100 + 50 + 0.5f) / 100;
            density.add(&x, &y, 1);
        }
        int painted = 0;
        EXPECT_EQ(density.paint([&](int, int, verdict::Colour) { ++painted; }), size_t(c.points));
        // A lone dot away from the edges covers a square of its radius.
        if (c.points == 1) {
            EXPECT_EQ(painted, (2 * c.radius + 1) * (2 * c.radius + 1));
        } else if (c.points == 5000) {
            EXPECT_EQ(painted, c.points);
        }
    }
}

TEST(TakePicture, StairsSpanTheColumnBeforeAndStayInTheStrip)
{
    // 10 samples over 4 columns: 0-2, 2-4, 4-7, 7-9, each from the column before's last sample.
    const std::vector<verdict::ColumnSpan> spans{{0, 2}, {2, 4}, {4, 7}, {7, 9}};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(verdict::columnSpan(10, 4, column).begin, spans[size_t(column)].begin) << column;
        EXPECT_EQ(verdict::columnSpan(10, 4, column).last, spans[size_t(column)].last) << column;
    }
    EXPECT_EQ(verdict::rowSpan(0.5f, 0.5f, 0.0, 1.0, 100).top, 50);
    EXPECT_EQ(verdict::rowSpan(0.5f, 0.5f, 0.0, 1.0, 100).count, 2);
    EXPECT_EQ(verdict::rowSpan(-5.0f, 5.0f, 0.0, 1.0, 100).top, 0);  // held to the strip
    EXPECT_EQ(verdict::rowSpan(-5.0f, 5.0f, 0.0, 1.0, 100).count, 100);
    EXPECT_EQ(verdict::zeroRow(-1.0, 1.0, 100), 50);
    EXPECT_EQ(verdict::zeroRow(0.0, 1.0, 100), -1);
}

TEST(TakePicture, TracesShowFiveMillisecondsOrSixteenTicks)
{
    struct Row {
        double gateHz, rate;
        int64_t samples, traced;
    };
    for (const Row& row : {Row{0.0, 44100, 88200, 221}, Row{0.0, 48000, 96000, 240}, Row{500.0, 44100, 88200, 1412},
                           Row{1000.0, 44100, 88200, 706}, Row{8.0, 44100, 176400, 88200}, Row{1.0, 44100, 1000, 1000},
                           Row{0.0, 44100, 0, 1}})
        EXPECT_EQ(verdict::traceSamples(row.gateHz, row.rate, row.samples), row.traced)
            << row.gateHz << " " << row.rate;
}

// Traces start where the cycle settled, so they show the tone named, not the
// attack; a transient too long for the take leaves its last samples, and the
// heading says which part is shown.
TEST(TakePicture, TracesShowTheSettledCycleAndSaySo)
{
    struct Row {
        int64_t settle, traced, samples, start;
        const char* words;
    };
    for (const Row& row :
         {Row{383, 221, 88200, 383, "221 samples from sample 383, where the cycle has settled"},
          Row{-1, 221, 88200, 0, "the first 221 samples"}, Row{0, 221, 88200, 0, "the first 221 samples"},
          Row{88100, 221, 88200, 87979, "the last 221 samples, the cycle settling from sample 88100"},
          Row{300, 400, 400, 0, "the first 400 samples, the cycle settling from sample 300"}}) {
        const int64_t start = verdict::traceStart(row.settle, row.traced, row.samples);
        EXPECT_EQ(start, row.start) << row.settle;
        EXPECT_EQ(verdict::traceSpanText(start, row.traced, row.settle), row.words) << row.settle;
    }
}

TEST(Legend, NamesEveryPeriodOnceWithItsTonesAtTheRate)
{
    for (const int32_t rate : {44100, 48000}) {
        const std::vector<verdict::LegendEntry> entries = verdict::legendEntries(8192, rate);
        std::vector<std::string> cycles;
        for (const verdict::LegendEntry& entry : entries)
            if (entry.words.rfind("period ", 0) == 0) cycles.push_back(entry.words);
        const std::vector<std::string> expected = rate == 44100
                                                      ? std::vector<std::string>{"period 1: a constant",
                                                                                 "period 2: 22050 Hz",
                                                                                 "period 3: 14700 Hz",
                                                                                 "period 4: 11025 Hz",
                                                                                 "period 5-8: 8820 Hz to 5512 Hz",
                                                                                 "period 9-16: 4900 Hz to 2756 Hz",
                                                                                 "period 17-32: 2594 Hz to 1378 Hz",
                                                                                 "period 33-512: 1336 Hz to 86 Hz"}
                                                      : std::vector<std::string>{"period 1: a constant",
                                                                                 "period 2: 24000 Hz",
                                                                                 "period 3: 16000 Hz",
                                                                                 "period 4: 12000 Hz",
                                                                                 "period 5-8: 9600 Hz to 6000 Hz",
                                                                                 "period 9-16: 5333 Hz to 3000 Hz",
                                                                                 "period 17-32: 2824 Hz to 1500 Hz",
                                                                                 "period 33-512: 1455 Hz to 94 Hz"};
        EXPECT_EQ(cycles, expected);
        EXPECT_EQ(entries.front().words, "after 8192 steps (log scale)");
        for (const verdict::LegendEntry& entry : entries)
            for (const char c : entry.heading + entry.before + entry.words)
                EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << "not ASCII: " << entry.words;
    }
}

}  // namespace
