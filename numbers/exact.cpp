#include "exact.h"

#include <algorithm>
#include <bit>

namespace numbers {

namespace {

// A whole number of up to 1280 bits, in 32-bit limbs, lowest first: enough
// for any double's mantissa times 5^350 or times 2^1030.
class Big {
public:
    explicit Big(uint64_t value) : limbs{static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)} {}

    void multiply(uint32_t factor)
    {
        uint64_t carry = 0;
        for (uint32_t& limb : limbs) {
            carry += uint64_t{limb} * factor;
            limb = static_cast<uint32_t>(carry);
            carry >>= 32;
        }
    }

    // Divides in place and returns the remainder.
    uint32_t divide(uint32_t divisor)
    {
        uint64_t rest = 0;
        for (int i = kLimbs - 1; i >= 0; --i) {
            const uint64_t part = rest << 32 | limbs[i];
            limbs[i] = static_cast<uint32_t>(part / divisor);
            rest = part % divisor;
        }
        return static_cast<uint32_t>(rest);
    }

    void shiftLeft(int bits)
    {
        const int whole = bits / 32, part = bits % 32;
        for (int i = kLimbs - 1; i >= 0; --i) {
            const uint32_t high = i >= whole ? limbs[i - whole] : 0;
            const uint32_t low = i > whole ? limbs[i - whole - 1] : 0;
            limbs[i] = part == 0 ? high : high << part | low >> (32 - part);
        }
    }

    bool bit(int at) const { return at < kLimbs * 32 && (limbs[at / 32] >> (at % 32) & 1) != 0; }

    bool anyBelow(int at) const
    {
        for (int i = 0; i < at; ++i)
            if (bit(i)) return true;
        return false;
    }

    // The bits from `at` up, which must fit 64.
    uint64_t from(int at) const
    {
        uint64_t value = 0;
        for (int i = std::min(at + 63, kLimbs * 32 - 1); i >= at; --i) value = value << 1 | (bit(i) ? 1 : 0);
        return value;
    }

private:
    static constexpr int kLimbs = 40;
    uint32_t limbs[kLimbs] = {};
};

}  // namespace

Parts partsOf(double value)
{
    const auto bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0) return {bits >> 63 != 0, fraction, -1074};
    return {bits >> 63 != 0, fraction | uint64_t{1} << 52, biased - 1075};
}

uint64_t rounded(Scaled s)
{
    const bool up = s.rest == Rest::AboveHalf || (s.rest == Rest::Half && (s.whole & 1) != 0);
    return s.whole + (up ? 1 : 0);
}

// m · 2^e · 10^p = m · 5^p · 2^(e + p): the fives multiply or divide, the
// twos shift. One extra bit is shifted in and out again, so that the last
// step is always a split at a bit: its whole part, the bit below it (is the
// rest at least half) and whether anything follows (the fives' remainder
// included).
Scaled scaledByPowerOfTen(const Parts& parts, int power)
{
    Big number(parts.mantissa);
    for (int i = 0; i < power; ++i) number.multiply(5);
    const int twos = parts.exponent + power;
    number.shiftLeft(std::max(twos, 0) + 1);
    bool sticky = false;
    for (int i = 0; i < -power; ++i) sticky = number.divide(5) != 0 || sticky;
    const int split = std::max(-twos, 0) + 1;
    const bool halfBit = number.bit(split - 1);
    const bool more = sticky || number.anyBelow(split - 1);
    const Rest rest = !halfBit ? (more ? Rest::BelowHalf : Rest::None) : more ? Rest::AboveHalf : Rest::Half;
    return {number.from(split), rest};
}

}  // namespace numbers
