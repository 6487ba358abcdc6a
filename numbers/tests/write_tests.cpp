// Numbers written without stdio, against what printf
// writes for them: exact decimals, ties to even, the sign of a negative zero.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "numbers/write.h"

namespace {

std::string fixed(double value, int decimals)
{
    char text[32];
    text[numbers::writeFixed(text, value, decimals)] = '\0';
    return text;
}

std::string printed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

struct FixedCase {
    double value;
    int decimals;
    const char* text;
};

// Exact ties (5512.5, 1/128 at six decimals) go to the even neighbour; a
// value just above a tie goes up, past a power of ten too; subnormals and
// negative zero keep their sign.
const FixedCase kFixed[] = {
    {5512.5, 0, "5512"},
    {5513.5, 0, "5514"},
    {22050.0, 0, "22050"},
    {0.5, 0, "0"},
    {1.5, 0, "2"},
    {0.0078125, 6, "0.007812"},
    {0.0234375, 6, "0.023438"},
    {0.41564090, 6, "0.415641"},
    {-0.0000004, 6, "-0.000000"},
    {-0.0, 6, "-0.000000"},
    {0.0, 0, "0"},
    {4.9e-324, 6, "0.000000"},
    {-12.3456785, 6, "-12.345678"},
    {1e12, 6, "1000000000000.000000"},
    {0.9999995, 6, "1.000000"},
};

class Fixed : public testing::TestWithParam<FixedCase> {};

TEST_P(Fixed, IsWhatPrintfWrites)
{
    const FixedCase& row = GetParam();
    EXPECT_EQ(fixed(row.value, row.decimals), row.text);
    EXPECT_EQ(fixed(row.value, row.decimals), printed(row.value, row.decimals));
}

INSTANTIATE_TEST_SUITE_P(Values, Fixed, testing::ValuesIn(kFixed));

// Doubles of every magnitude the words meet, at random, against printf.
TEST(FixedAtRandom, IsWhatPrintfWrites)
{
    std::mt19937_64 random(20240617);
    std::uniform_real_distribution<double> exponent(-30.0, 20.0);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::ldexp(1.0 + double(random() >> 11) / double(uint64_t{1} << 53),
                                        int(exponent(random)));
        const double signedValue = random() & 1 ? -value : value;
        const int decimals = static_cast<int>(random() % 7);
        ASSERT_EQ(fixed(signedValue, decimals), printed(signedValue, decimals)) << signedValue << " to " << decimals;
    }
}

struct DigitsCase {
    double value;
    const char* text;
};

// A Gate clock's tone to three significant digits, written out in full.
const DigitsCase kDigits[] = {
    {200.0 / 3, "66.7"},     {1000.0, "1000"},   {11025.0, "11000"},   {11050.0, "11000"},
    {11150.0, "11200"},      {11050.5, "11100"}, {999.6, "1000"},      {9.996, "10"},
    {0.1 / 512, "0.000195"}, {0.5, "0.5"},       {125.0, "125"},       {12.25, "12.2"},
    {12.35, "12.3"},         {1.0, "1"},         {384000.0, "384000"},
};

TEST(ThreeDigits, RoundAndWriteInFull)
{
    for (const DigitsCase& row : kDigits) {
        char text[32];
        text[numbers::writeThreeDigits(text, row.value)] = '\0';
        EXPECT_STREQ(text, row.text) << row.value;
    }
}

// Seconds of a take as the report gives them, six significant digits: as printf's "%g".
const double kSeconds[] = {29405.0 / 44100, 57344.0 / 44100, 1.0 / 7,      599.9999996, 9.9999996, 0.5, 3.0,
                           0.00012345678,   123456.5,        100.0 / 48000};

TEST(Significant, SixDigitsAsPrintfG)
{
    for (const double value : kSeconds) {
        char expected[32], text[40];
        std::snprintf(expected, sizeof expected, "%g", value);
        text[numbers::writeSignificant(text, value, 6)] = '\0';
        EXPECT_STREQ(text, expected) << value;
    }
}

struct GeneralCase {
    double value;
    int digits;
    const char* text;
};

// Where "%g" takes an exponent (below 0.0001 or from 10^digits, once
// rounded), exact ties to even, a double's extremes, a negative zero.
const GeneralCase kGeneral[] = {
    {0.0001, 6, "0.0001"},
    {0.000099999999, 6, "0.0001"},
    {0.00009999, 6, "9.999e-05"},
    {999999.5, 6, "1e+06"},
    {999999.4, 6, "999999"},
    {123456789.0, 9, "123456789"},
    {-1e9, 9, "-1e+09"},
    {-0.0, 6, "-0"},
    {0.0, 1, "0"},
    {0.125, 2, "0.12"},
    {0.375, 2, "0.38"},
    {2.5, 1, "2"},
    {1e100, 6, "1e+100"},
    {0.1, 17, "0.10000000000000001"},
    {5e-324, 17, "4.9406564584124654e-324"},
    {1.7976931348623157e308, 17, "1.7976931348623157e+308"},
    {1400.0, 3, "1.4e+03"},
};

std::string general(double value, int digits)
{
    char text[40];
    text[numbers::writeGeneral(text, value, digits)] = '\0';
    return text;
}

std::string printedGeneral(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

TEST(General, IsWhatPrintfWrites)
{
    for (const GeneralCase& row : kGeneral) {
        EXPECT_EQ(general(row.value, row.digits), row.text) << row.value;
        EXPECT_EQ(general(row.value, row.digits), printedGeneral(row.value, row.digits)) << row.value;
    }
}

// Doubles of every magnitude, subnormals included, at random, against printf.
TEST(GeneralAtRandom, IsWhatPrintfWrites)
{
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::bit_cast<double>(uint64_t{random()});
        if (!std::isfinite(value)) continue;
        const int digits = 1 + static_cast<int>(random() % 17);
        ASSERT_EQ(general(value, digits), printedGeneral(value, digits)) << value << " to " << digits;
    }
}

TEST(Whole, WritesEveryInt64)
{
    for (const auto& [value, text] : {std::pair<int64_t, const char*>{0, "0"},
                                      {-42, "-42"},
                                      {3947, "3947"},
                                      {INT64_MIN, "-9223372036854775808"},
                                      {INT64_MAX, "9223372036854775807"}}) {
        char written[32];
        written[numbers::writeWhole(written, value)] = '\0';
        EXPECT_STREQ(written, text);
    }
}

}  // namespace
