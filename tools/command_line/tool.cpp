#include "tool.h"

#include <cstdio>

namespace command_line {

void say(const std::string& line) { std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str()); }

}  // namespace command_line
