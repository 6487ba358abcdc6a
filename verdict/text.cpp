#include "text.h"

#include <bit>

namespace verdict {

namespace {

constexpr uint32_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// An unsigned number of 128 bits.
struct Wide {
    uint64_t high, low;
};

bool below(Wide a, Wide b) { return a.high != b.high ? a.high < b.high : a.low < b.low; }
bool same(Wide a, Wide b) { return a.high == b.high && a.low == b.low; }

Wide times(uint64_t value, uint32_t factor)
{
    const uint64_t lowPart = (value & 0xFFFFFFFFu) * factor;
    const uint64_t highPart = (value >> 32) * factor;
    const uint64_t low = lowPart + (highPart << 32);
    return {(highPart >> 32) + (low < lowPart ? 1u : 0u), low};
}

Wide shiftedRight(Wide w, int bits)
{
    if (bits == 0) return w;
    if (bits >= 128) return {0, 0};
    if (bits >= 64) return {0, w.high >> (bits - 64)};
    return {w.high >> bits, (w.low >> bits) | (w.high << (64 - bits))};
}

Wide shiftedLeft(Wide w, int bits)
{
    if (bits == 0) return w;
    if (bits >= 128) return {0, 0};
    if (bits >= 64) return {w.low << (bits - 64), 0};
    return {(w.high << bits) | (w.low >> (64 - bits)), w.low << bits};
}

Wide minus(Wide a, Wide b) { return {a.high - b.high - (a.low < b.low ? 1u : 0u), a.low - b.low}; }

// A finite double as sign · mantissa · 2^exponent, the mantissa a whole number below 2^53.
struct Parts {
    bool negative;
    uint64_t mantissa;
    int exponent;
};

Parts partsOf(double value)
{
    const auto bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0) return {bits >> 63 != 0, fraction, -1074};
    return {bits >> 63 != 0, fraction | uint64_t{1} << 52, biased - 1075};
}

// mantissa · 2^exponent · 10^decimals split into its whole part (which must
// fit 64 bits) and how the rest compares with one half.
enum class Rest { None, BelowHalf, Half, AboveHalf };

struct Scaled {
    uint64_t whole;
    Rest rest;
};

Scaled scaled(const Parts& parts, int decimals)
{
    const Wide product = times(parts.mantissa, kPowersOfTen[decimals]);
    if (parts.exponent >= 0) return {shiftedLeft(product, parts.exponent).low, Rest::None};
    const int bits = -parts.exponent;
    const Wide whole = shiftedRight(product, bits);
    const Wide rest = minus(product, shiftedLeft(whole, bits));
    if (same(rest, {0, 0})) return {whole.low, Rest::None};
    if (bits > 128) return {whole.low, Rest::BelowHalf};  // half is 2^(bits-1), beyond any product
    const Wide half = shiftedLeft({0, 1}, bits - 1);
    return {whole.low, below(rest, half) ? Rest::BelowHalf : same(rest, half) ? Rest::Half : Rest::AboveHalf};
}

// Rounded to the nearest whole number, ties to even.
uint64_t rounded(Scaled s)
{
    const bool up = s.rest == Rest::AboveHalf || (s.rest == Rest::Half && (s.whole & 1) != 0);
    return s.whole + (up ? 1 : 0);
}

// The decimal digits of `value`, at least `least` of them (zeros in front).
size_t writeDigits(char* out, uint64_t value, int least = 1)
{
    char reversed[24];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 || count < least);
    for (int i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
    return static_cast<size_t>(count);
}

size_t digitCount(uint64_t value)
{
    size_t count = 1;
    for (; value >= 10; value /= 10) ++count;
    return count;
}

// `value` / 10^decimals, with exactly `decimals` decimals.
size_t writeScaled(char* out, uint64_t value, int decimals)
{
    size_t length = writeDigits(out, value / kPowersOfTen[decimals]);
    if (decimals == 0) return length;
    out[length++] = '.';
    return length + writeDigits(out + length, value % kPowersOfTen[decimals], decimals);
}

size_t writeWords(char* out, const char* words)
{
    size_t length = 0;
    for (; words[length]; ++length) out[length] = words[length];
    return length;
}

}  // namespace

size_t writeWhole(char* out, int64_t value)
{
    size_t length = 0;
    if (value < 0) out[length++] = '-';
    const uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
    return length + writeDigits(out + length, magnitude);
}

size_t writeFixed(char* out, double value, int decimals)
{
    const Parts parts = partsOf(value);
    size_t length = 0;
    if (parts.negative) out[length++] = '-';
    if (value != value) return length + writeWords(out + length, "nan");
    if (value - value != 0.0) return length + writeWords(out + length, "inf");
    decimals = decimals < 0 ? 0 : decimals > 6 ? 6 : decimals;
    return length + writeScaled(out + length, rounded(scaled(parts, decimals)), decimals);
}

size_t writeThreeDigits(char* out, double value) { return writeSignificant(out, value, 3); }

size_t writeSignificant(char* out, double value, int digits)
{
    const Parts parts = partsOf(value);
    // The decimal exponent: 10^power <= value < 10^(power + 1).
    const Scaled integer = scaled(parts, 0);
    int power = static_cast<int>(digitCount(integer.whole)) - 1;
    if (integer.whole == 0) {
        power = -1;
        while (power > digits - 10 && scaled(parts, -power).whole < 1) --power;
    }
    const int decimals = digits - 1 - power;
    if (decimals >= 0) {
        size_t length = writeScaled(out, rounded(scaled(parts, decimals)), decimals);
        while (decimals > 0 && out[length - 1] == '0') --length;
        if (out[length - 1] == '.') --length;
        return length;
    }
    // The whole part and whether anything follows it, rounded at 10^-decimals.
    const uint64_t unit = kPowersOfTen[-decimals];
    const uint64_t rest = integer.whole % unit;
    const bool exactHalf = 2 * rest == unit && integer.rest == Rest::None;
    const Scaled leading{integer.whole / unit, 2 * rest < unit ? Rest::BelowHalf
                                               : exactHalf      ? Rest::Half
                                                                : Rest::AboveHalf};
    size_t length = writeDigits(out, rounded(leading));
    for (int zero = 0; zero < -decimals; ++zero) out[length++] = '0';
    return length;
}

Text& Text::append(const char* characters, size_t count)
{
    for (size_t i = 0; i < count && length < kCapacity; ++i) text[length++] = characters[i];
    text[length] = '\0';
    return *this;
}

Text& Text::operator<<(const char* words)
{
    size_t count = 0;
    while (words[count]) ++count;
    return append(words, count);
}

Text& Text::whole(int64_t value)
{
    char digits[32];
    return append(digits, writeWhole(digits, value));
}

Text& Text::fixed(double value, int decimals)
{
    char digits[32];
    return append(digits, writeFixed(digits, value, decimals));
}

Text& Text::significant(double value, int digits)
{
    char written[40];
    return append(written, writeSignificant(written, value, digits));
}

Text& Text::threeDigits(double value)
{
    char digits[32];
    return append(digits, writeThreeDigits(digits, value));
}

}  // namespace verdict
