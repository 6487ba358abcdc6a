#include "tool.h"

#include <cstdio>

namespace command_line {

void say(const std::string& line) { std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str()); }

std::string shortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace command_line
