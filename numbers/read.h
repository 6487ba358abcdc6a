// Numbers read from text, in one place for every host and tool: a whole text
// as one finite decimal number, in the C locale, as strtod reads it.
#pragma once

#include <string>
#include <string_view>

namespace numbers {

// Reads `text` into `value`; an empty result, or what is wrong with it
// ("'x' is not a number", "'1e999' is not a finite number").
std::string readNumber(std::string_view text, double& value);

}  // namespace numbers
