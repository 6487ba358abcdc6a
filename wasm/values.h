// What the calls hand JavaScript beside plain numbers, JSON texts and colours
// packed as 0xRRGGBB, and how they read a take's length from it.
#pragma once

#include <cstdint>

#include "verdict/colours.h"
#include "verdict/text.h"

namespace web {

// A text as a JSON string, or null: quotes and backslashes escaped, a line
// break as \n, other control characters as '?'.
void writeString(verdict::Text& json, const char* text);
// A double as JSON, with digits enough to read back to it.
void writeNumber(verdict::Text& json, double value);

// A take's length as JavaScript gives it: a whole number of samples, at least 1.
inline int64_t takeLength(double samples)
{
    return samples >= 1.0 && samples < 9007199254740992.0 ? static_cast<int64_t>(samples) : 1;
}

inline uint32_t packed(verdict::Colour colour) { return uint32_t{colour.r} << 16 | uint32_t{colour.g} << 8 | colour.b; }

inline verdict::Colour unpacked(uint32_t colour)
{
    return {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour)};
}

}  // namespace web
