// A small 5x9 bitmap font for the picture's titles, tick labels and legends.
#pragma once

#include <cstdint>

namespace pictures {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 9;
constexpr int kGlyphAdvance = 6;  // one blank column between characters

// The rows of a printable ASCII character.
const uint8_t* glyphRows(char character);

}  // namespace pictures
