#include "write.h"

#include <bit>

#include "exact.h"

namespace numbers {

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

// mantissa · 2^exponent · 10^decimals, for 0 to 9 decimals, in 128 bits.
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

// floor(log10(2^bits)), give or take one, for bits within a double's range.
int decimalPowerNear(int bits) { return (bits * 78913) >> 18; }

uint64_t tenToThe(int power)
{
    uint64_t value = 1;
    for (int i = 0; i < power; ++i) value *= 10;
    return value;
}

size_t copyFigures(char* out, const char* figures, int count)
{
    for (int i = 0; i < count; ++i) out[i] = figures[i];
    return static_cast<size_t>(count);
}

// `figures` (the first significant digit first, `kept` of them, none of
// them a trailing zero) of a value whose first figure stands for
// 10^power, as "%g" lays them out.
size_t layOutGeneral(char* out, const char* figures, int kept, int power, int digits)
{
    size_t length = 0;
    if (power < -4 || power >= digits) {
        out[length++] = figures[0];
        if (kept > 1) {
            out[length++] = '.';
            length += copyFigures(out + length, figures + 1, kept - 1);
        }
        out[length++] = 'e';
        out[length++] = power < 0 ? '-' : '+';
        return length + writeDigits(out + length, static_cast<uint64_t>(power < 0 ? -power : power), 2);
    }
    if (power < 0) {
        out[length++] = '0';
        out[length++] = '.';
        for (int zero = 1; zero < -power; ++zero) out[length++] = '0';
        return length + copyFigures(out + length, figures, kept);
    }
    const int whole = power + 1;
    length += copyFigures(out, figures, kept < whole ? kept : whole);
    for (int zero = kept; zero < whole; ++zero) out[length++] = '0';
    if (kept > whole) {
        out[length++] = '.';
        length += copyFigures(out + length, figures + whole, kept - whole);
    }
    return length;
}

size_t writeWords(char* out, const char* words)
{
    size_t length = 0;
    for (; words[length]; ++length) out[length] = words[length];
    return length;
}

// What a value without digits is written as, after its sign; null for a finite one.
const char* nonFiniteWord(double value)
{
    if (value != value) return "nan";
    return value - value != 0.0 ? "inf" : nullptr;
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
    if (const char* word = nonFiniteWord(value)) return length + writeWords(out + length, word);
    decimals = decimals < 0 ? 0 : decimals > 6 ? 6 : decimals;
    return length + writeScaled(out + length, rounded(scaled(parts, decimals)), decimals);
}

size_t writeGeneral(char* out, double value, int digits)
{
    const Parts parts = partsOf(value);
    size_t length = 0;
    if (parts.negative) out[length++] = '-';
    if (const char* word = nonFiniteWord(value)) return length + writeWords(out + length, word);
    if (parts.mantissa == 0) {
        out[length++] = '0';
        return length;
    }
    digits = digits < 1 ? 1 : digits > 17 ? 17 : digits;
    const uint64_t least = tenToThe(digits - 1), most = least * 10;
    // 10^power <= the value rounded to `digits` figures < 10^(power + 1).
    int power = decimalPowerNear(63 - std::countl_zero(parts.mantissa) + parts.exponent);
    uint64_t figures = rounded(scaledByPowerOfTen(parts, digits - 1 - power));
    while (figures >= most || figures < least) {
        power += figures >= most ? 1 : -1;
        figures = rounded(scaledByPowerOfTen(parts, digits - 1 - power));
    }
    char written[24];
    writeDigits(written, figures);
    int kept = digits;
    while (kept > 1 && written[kept - 1] == '0') --kept;
    return length + layOutGeneral(out + length, written, kept, power, digits);
}

std::string generalText(double value)
{
    char text[40];
    return std::string(text, writeGeneral(text, value, 6));
}

std::string fixedText(double value, int decimals)
{
    char text[40];
    return std::string(text, writeFixed(text, value, decimals));
}

std::string decimalText(double value)
{
    std::string decimals = fixedText(value, 6);
    decimals.erase(decimals.find_last_not_of('0') + 1);
    if (decimals.back() == '.') decimals.pop_back();
    return decimals;
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
                                               : exactHalf     ? Rest::Half
                                                               : Rest::AboveHalf};
    size_t length = writeDigits(out, rounded(leading));
    for (int zero = 0; zero < -decimals; ++zero) out[length++] = '0';
    return length;
}

}  // namespace numbers
